#pragma once
// The command line of posbench-cli.
#include <cstdint>
#include <string>
#include <vector>

#include "ConfigCommand.h"

namespace posbench::cli {

// One --command and the --count given after it.
struct CliCommand {
    std::string data;   // a data line ("1B 40", "\"text\"")
    int32_t count = 0;  // reply bytes to read after it
};

struct CliOptions {
    std::string dir;          // --dir: the program directory (empty: the usual search)
    // --port: what each value named, split at commas: "1".."6", "COM1".."COM8", "LPT1".."LPT3",
    // "USB", "TCP" (upper-cased) or "ALL". Empty: port 1.
    std::vector<std::string> ports;
    std::string file;         // the file to send (file mode)
    bool commandMode = false; // --command given
    std::vector<CliCommand> commands;  // in the order given; run one after the other
    int32_t timeoutSeconds = 0;  // --timeout: cancel when not done by then (0: wait on)
    std::string traceFile;    // --trace: every byte of every port to this file
    bool json = false;        // --json: JSON Lines events on stdout
    bool hex = false;         // --hex: responses as hex bytes
    bool listPorts = false;   // --list-ports
    bool help = false;
    bool version = false;
    std::string tiffOption;   // --image, --tags or --micr: work on tiffFile, open no port
    std::string tiffFile;
    ConfigOptions config;     // --get-config, --config-report, --save, --print
};

// Parses argv[1..]; "--opt=value" is taken as "--opt value". False with a one-line reason in
// error for wrong usage.
bool ParseOptions(const std::vector<std::string>& args, CliOptions& options, std::string& error);

// The text of --help.
std::string UsageText();

}  // namespace posbench::cli
