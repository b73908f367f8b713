#include "PrinterOptions.h"

#include <cerrno>
#include <cstdlib>

namespace posbench::sim {

namespace {

// A whole decimal number (or 0x.. hexadecimal) within [lo, hi].
bool ReadNumber(const std::string& text, long lo, long hi, long& out) {
    if (text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 0);
    if (errno != 0 || end == nullptr || *end != '\0' || v < lo || v > hi) return false;
    out = v;
    return true;
}

bool ReadFault(const std::string& text, PrinterOptions& o) {
    const auto eq = text.find('=');
    const std::string name = text.substr(0, eq);
    const std::string value = eq == std::string::npos ? "" : text.substr(eq + 1);
    long n = 0;
    if (name == "nak-bank" && eq == std::string::npos) {
        o.protocol.nakBank = true;
        return true;
    }
    if (!ReadNumber(value, 0, 1L << 30, n)) return false;
    if (name == "nak-block" && n > 0) o.protocol.nakBlock = n;
    else if (name == "drop-after") o.dropAfter = n;
    else if (name == "silent-after") o.silentAfter = n;
    else if (name == "stall-after") o.stallAfter = n;
    else if (name == "kill-after") o.killAfter = n;
    else if (name == "delay-ms") o.delayMs = n;
    else return false;
    return true;
}

bool PrintableVersion(const std::string& v) {
    if (v.empty() || v.size() > 4) return false;
    for (unsigned char c : v)
        if (c < 0x20 || c > 0x7E) return false;
    return true;
}

}  // namespace

std::optional<PrinterOptions> ParsePrinterOptions(const std::vector<std::string>& args,
                                                  std::string& error) {
    PrinterOptions o;
    std::optional<std::string> version;
    int media = 0;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            o.help = true;
            continue;
        }
        if (a == "--version") {
            // The program's version; the firmware version it answers with is --firmware.
            if (i + 1 < args.size()) {
                error = "--version takes no value (the firmware version is --firmware V)";
                return std::nullopt;
            }
            o.version = true;
            continue;
        }
        if (i + 1 >= args.size()) {
            error = a.rfind("--", 0) == 0 ? "option " + a + " needs a value"
                                          : "unexpected argument " + a;
            return std::nullopt;
        }
        const std::string& v = args[++i];
        long n = 0;
        if (a == "--listen" || a == "--connect" || a == "--pty" || a == "--fifo") {
            ++media;
            o.medium = a == "--listen"    ? MediumKind::Listen
                       : a == "--connect" ? MediumKind::Connect
                       : a == "--pty"     ? MediumKind::Pty
                                          : MediumKind::Fifo;
            o.where = v;
        } else if (a == "--model") {
            o.protocol.model = v;
        } else if (a == "--firmware") {
            if (!PrintableVersion(v)) {
                error = "--firmware takes 1 to 4 printable characters, such as 4.40";
                return std::nullopt;
            }
            version = v;
        } else if (a == "--top-sector") {
            if (!ReadNumber(v, 0, 255, n)) {
                error = "--top-sector takes a byte value, such as 0x0F or 15";
                return std::nullopt;
            }
            o.protocol.topSector = static_cast<uint8_t>(n);
        } else if (a == "--reset-ms" || a == "--idle-ms") {
            if (!ReadNumber(v, a == "--idle-ms" ? 1 : 0, 600000, n)) {
                error = a + " takes a number of milliseconds";
                return std::nullopt;
            }
            (a == "--reset-ms" ? o.resetMs : o.protocol.idleMs) = n;
        } else if (a == "--fault") {
            if (!ReadFault(v, o)) {
                error = "unknown fault " + v;
                return std::nullopt;
            }
        } else if (a == "--flash") { o.flashFile = v;
        } else if (a == "--store") { o.storeDir = v;
        } else if (a == "--image") { o.imageFile = v;
        } else if (a == "--nvram") { o.nvramFile = v;
        } else if (a == "--paper") { o.paperFile = v;
        } else if (a == "--capture") { o.captureFile = v;
        } else if (a == "--log") { o.logFile = v;
        } else if (a == "--ready-file") { o.readyFile = v;
        } else {
            error = "unknown option " + a;
            return std::nullopt;
        }
        if (v.empty()) {
            error = "option " + a + " needs a value";
            return std::nullopt;
        }
    }
    if (media > 1) {
        error = "choose one of --listen, --connect, --pty, --fifo";
        return std::nullopt;
    }
    o.protocol.version = version ? *version : RequiredVersion(o.protocol.model);
    return o;
}

std::string PrinterHelpText() {
    return R"(posbench-printer: a simulated printer of the family, for tests, scripts and demos.

Usage: posbench-printer [MEDIUM] [OPTIONS]

Medium (one; default --listen 127.0.0.1:9001):
  --listen HOST:PORT   TCP printer; one connection at a time, the next after a drop.
                       Port 0 picks a free port (reported in the ready line).
  --connect HOST:PORT  connects to the tool's TCP server; reconnects 250 ms after a drop.
  --pty PATH           serial printer: a raw pseudo-terminal; PATH is a symbolic link to its
                       slave side ([Devices] COM1=PATH).
  --fifo DIR           USB printer: FIFOs DIR/to-printer (tool writes) and DIR/from-printer
                       (tool reads) ([Devices] USB=DIR/to-printer,DIR/from-printer).

Printer:
  --model NAME         model named in the identification answer (default Q310)
  --firmware V         firmware version, 1 to 4 characters (default: the version the tool
                       requires of the model: Q310 4.40, Q320 1.00, Q330 1.22, W340 1.00,
                       Q350 3.38, Q360 1.00; other models 1.00)
  --top-sector B       answer to 1D 01 (default 0x0F)
  --reset-ms MS        how long the link stays down after 1D FF (default 2000)
  --idle-ms MS         idle gap that ends a bank or a logo (default 500)
  --flash FILE         flash memory image: sector s at offset s*65536, unwritten bytes FF;
                       1D 0E empties it
  --store DIR          image banks, logos, bitmaps and boot code are kept here
  --image FILE         image served to the image request (default: a built-in check,
                       1728 x 800, Group 3 TIFF, MICR line in tag 65002)
  --nvram FILE         bytes served to the NVRAM request (default: the model's built-in dump)

Output:
  --ready-file FILE    written atomically with the ready line once the medium is up
  --paper FILE         printable text (20..7E) and line feeds, as the receipt reads; appended
  --capture FILE       every received byte, raw; appended
  --log FILE           per received chunk: "MS COUNT HEX..." (MS since start, HEX pairs
                       separated by blanks); events: "MS # TEXT"

Faults (--fault may repeat):
  nak-block=N          the Nth flash data block after an erase is answered 15
  nak-bank             image banks end with 15 instead of 00
  drop-after=N         the link drops once, after N received bytes (the rest of that chunk
                       is lost)
  silent-after=N       after N received bytes nothing more is answered (printing goes on)
  stall-after=N        after N received bytes the link is no longer read (the rest of that
                       chunk is lost); the connection stays up
  kill-after=N         after N received bytes the printer kills itself (SIGKILL), as a power
                       cut would: nothing more is answered, flushed or removed
  delay-ms=M           every answer leaves M ms late

  --version            the program's version (alone)
  --help               this text

On start the printer prints "ready KIND ENDPOINT" on stdout (KIND tcp, tcp-connect, pty or
fifo; ENDPOINT HOST:PORT or the path). SIGTERM or SIGINT ends it with exit status 0 after
removing the pty link and the FIFOs it created.

Answers (hex):
  1D 49 40 27          17 bytes: the model name padded with blanks to 16, then 00
  1D 49 40 A3          6 bytes: 02, the version padded to 4, 03 (shown by the tool as
                       " (02) 4.40 (03) ", the version at characters 7 to 10)
  1D 04 n, 10 04 n     one status byte 12
  1D FF                restart: TCP closes the connection and stops listening, the pty hangs
                       up (the link is re-pointed at a new pty at once), the FIFO stops
                       answering; after --reset-ms the printer answers again. Bytes received
                       meanwhile are lost.
  1B 5B 7D             download mode (until restart); no answer. The commands marked [D]
                       act only in download mode and are ignored otherwise.
  [D] 1D 01            the top sector byte
  [D] 1D 0E            erase the flash: 06
  [D] 1D 02 s          select sector s: 06, or 15 when s is above the top sector
  [D] 1D 11 oL oH lL lH + l bytes
                       write l bytes at offset o of the sector: 06 after the data; 15 when
                       no sector is selected, the block passes the sector's end, or l is 0
  [D] 1D 16 b          select image bank b: 06 (15 unless b is 1 or 2); every byte until an
                       idle gap of --idle-ms is the bank (kept as bank-B.bin); then 00, or 15
                       when it is shorter than 256 bytes or longer than 16 MiB
  1D 23 id [1B] DATA   logo (kept as logo-ID.bin) or, with the 1B marker, bitmap (kept as
                       bitmap-ID.bin); ID two hex digits; DATA ends at an idle gap; no answer
  1B 5B 42 L0 L1 L2 L3 R + L bytes
                       boot code: the 3 and 5 bytes the tool sends first are this header, L
                       the body length (least significant first, at most 16 MiB), R ignored;
                       the body is kept as boot.bin; no answer
  [D] 1F 0A A3 01 00 00 00 00 A0 A9 01
                       USB printer-class mode: 06
  1F 0B 4E 1F 43 00    USB native mode: no answer. Either mode is stored and taken at the
                       next 1D FF restart (logged "USB interface after restart: ...")
  1D 69 49 nL nH       image request: the 14-byte header 1D 69 49, seven 00, the size (4
                       bytes, least significant first), then the image (--image or the
                       built-in check). With n = 0
                       all at once; otherwise the header and the first n bytes, then n bytes
                       after each 06 from the tool (the last block is not waited for; any
                       other byte ends the transfer and is read as a command)
  1D 69 4E             NVRAM request: the bytes of --nvram, or the built-in dump of the
                       model (522 bytes; 546 for Q350 and Q360), laid out in docs/printer.md
  anything else        printed; ESC and GS sequences are left off the paper; a partial
                       command is dropped after an idle gap
)";
}

}  // namespace posbench::sim
