#pragma once
// Command line of posbench-printer, its help text, and the built-in NVRAM dump.
#include <optional>
#include <string>
#include <vector>

#include "PrinterProtocol.h"

namespace posbench::sim {

enum class MediumKind { Listen, Connect, Pty, Fifo };

struct PrinterOptions {
    MediumKind medium = MediumKind::Listen;
    std::string where = "127.0.0.1:9001";  // HOST:PORT, or the pty link path, or the FIFO dir
    ProtocolSettings protocol;
    long resetMs = 2000;
    long dropAfter = -1;      // received bytes after which the link drops once (-1: never)
    long silentAfter = -1;    // received bytes after which nothing is answered (-1: never)
    long killAfter = -1;      // received bytes after which the printer dies (-1: never)
    long stallAfter = -1;     // received bytes after which the link is no longer read (-1: never)
    long delayMs = 0;         // every answer leaves this much later
    std::string flashFile, storeDir, imageFile, nvramFile;
    std::string paperFile, captureFile, logFile, readyFile;
    bool help = false;
    bool version = false;  // --version: print the program's version and end
};

// Parses argv[1..]; on a mistake returns nothing and leaves a one-line reason in error.
std::optional<PrinterOptions> ParsePrinterOptions(const std::vector<std::string>& args,
                                                  std::string& error);

std::string PrinterHelpText();

// The model's NVRAM as the printer sends it (NvramDump.cpp; the layout is in docs/printer.md):
// 522 bytes (3-byte header, bank 0, 5 spare, bank 1, CR LF), or 546 for the imaging models
// Q350 and Q360 (a 27-byte header with the serial number and date of manufacture).
Bytes BuiltInNvram(const std::string& model, const std::string& version, uint8_t topSector);

}  // namespace posbench::sim
