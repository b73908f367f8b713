#include "CliOptions.h"

#include <charconv>

namespace posbench::cli {
namespace {

bool ParseNumber(const std::string& text, long low, long high, long& value) {
    const char* first = text.data();
    const char* last = first + text.size();
    const auto [end, ec] = std::from_chars(first, last, value);
    return ec == std::errc() && end == last && !text.empty() && value >= low && value <= high;
}

bool IsTiffOption(const std::string& arg) {
    return arg == "--image" || arg == "--tags" || arg == "--micr";
}

}  // namespace

bool ParseOptions(const std::vector<std::string>& args, CliOptions& options, std::string& error) {
    bool countGiven = false;
    std::vector<std::string> files;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool takesValue =
            arg == "--dir" || arg == "--port" || arg == "--command" || arg == "--count" ||
            arg == "--timeout" || IsTiffOption(arg);
        if (takesValue && i + 1 >= args.size()) {
            error = arg + " needs a value";
            return false;
        }
        if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--dir") {
            options.dir = args[++i];
            if (options.dir.empty()) {
                error = "--dir needs a directory";
                return false;
            }
        } else if (arg == "--port") {
            long port = 0;
            if (!ParseNumber(args[++i], 1, 6, port)) {
                error = "--port takes a port number from 1 to 6";
                return false;
            }
            options.port = static_cast<int16_t>(port);
        } else if (arg == "--command") {
            options.commandMode = true;
            options.command = args[++i];
        } else if (arg == "--count") {
            long count = 0;
            if (!ParseNumber(args[++i], 0, 2147483647L, count)) {
                error = "--count takes a number of reply bytes (0 or more)";
                return false;
            }
            options.count = static_cast<int32_t>(count);
            countGiven = true;
        } else if (arg == "--timeout") {
            long seconds = 0;
            if (!ParseNumber(args[++i], 1, 86400, seconds)) {
                error = "--timeout takes a number of seconds from 1 to 86400";
                return false;
            }
            options.timeoutSeconds = static_cast<int32_t>(seconds);
        } else if (IsTiffOption(arg)) {
            options.tiffOption = arg;
            options.tiffFile = args[++i];
        } else if (arg == "--") {
            files.insert(files.end(), args.begin() + static_cast<long>(i) + 1, args.end());
            break;
        } else if (const int taken = ParseConfigOption(args, i, options.config, error); taken != 0) {
            if (taken < 0) return false;
        } else if (arg.size() > 1 && arg[0] == '-') {
            error = "unknown option " + arg;
            return false;
        } else {
            files.push_back(arg);
        }
    }
    if (options.help) return true;
    if (!CheckConfigOptions(options.config, error)) return false;
    if (options.config.Active()) {
        if (!files.empty() || options.commandMode || countGiven || !options.tiffOption.empty()) {
            error = "a configuration report takes no FILE, --command or image option";
            return false;
        }
        return true;
    }
    if (!options.tiffOption.empty()) {
        if (options.commandMode || !files.empty()) error = options.tiffOption + " takes no FILE or --command";
        return error.empty();
    }
    if (options.commandMode) {
        if (!files.empty()) {
            error = "give either a FILE or --command, not both";
            return false;
        }
        if (options.command.empty()) {
            error = "--command needs a data line such as \"1B 40\"";
            return false;
        }
        return true;
    }
    if (countGiven) {
        error = "--count goes with --command";
        return false;
    }
    if (files.size() != 1) {
        error = files.empty() ? "no FILE to send" : "only one FILE can be sent";
        return false;
    }
    options.file = files.front();
    return true;
}

std::string UsageText() {
    return R"(Usage: posbench-cli [--dir DIR] [--port N] [--timeout S] FILE
       posbench-cli [--dir DIR] [--port N] [--timeout S] --command "DATA" [--count N]
       posbench-cli --image FILE.tif | --tags FILE.tif | --micr FILE.tif

Sends FILE, or one command, to a printer port exactly as the main window's Send does, prints
every status line as it is added (lines of at most 55 characters), then the response text
("Response: ...") when the printer answered anything.

  FILE            sent by its type: TXT and AXI run as scripts; BIN (flash firmware),
                  PBT (boot code), LGO (logo), BMP (bitmap), IB1 and IB2 (imager banks)
                  are downloaded; any other type is not sent.
  --command DATA  a data line: hex pairs ("1B 40") or quoted text ("\"Hello\"")
  --count N       after the command, read N reply bytes (default 0: no read)
  --port N        the port: the Nth entry of the port table built from Startup.ini
                  (default 1)
  --timeout S     when the work has not ended after S seconds, cancel it as Ctrl-C does
                  and end (exit status 1), without waiting for a link recovery
  --dir DIR       the program directory holding Startup.ini; without it $POSBENCH_HOME,
                  else $XDG_CONFIG_HOME/posbench, else ~/.config/posbench. The directory is
                  created when missing and sample files it lacks are copied in.
  --image F.tif   convert the check image F.tif to a bitmap ("temp1.bmp" beside it) and
                  print the bitmap's path; no port is opened
  --tags F.tif    print the tag list of F.tif's first directory
  --micr F.tif    print the MICR text of F.tif
                  (these three exit 0, or 1 with the reason on standard error)
  --help          this text

The ports come from Startup.ini in the program directory, for example:
  [Communication]
  TCP=192.168.1.50, ON           (a printer at 192.168.1.50:9001; ADDRESS:PORT also works)
  COM1=115200, DTR, ON
  [Devices]
  COM1=/dev/ttyUSB0              (where each medium is found; COMn is /dev/ttyS(n-1) without it)

The program runs until the port's work is done (no script, download, read, write or delay
left) and, when the printer was reset, until its link has been closed and reopened (or given
up). A reply that never arrives is waited for until Ctrl-C, as in the window: after 10 silent
seconds standard error says so once; --timeout bounds the wait.
Download progress is shown on standard error when it is a terminal.

Ctrl-C, SIGTERM and SIGHUP are the Cancel button: every port stops and the work ends as it
does on cancel (a download runs its abort), without waiting for a link recovery. A second one
exits at once. A closed standard output (| head) stops the output, not the work.

Exit status: 0 the work ended normally; 1 it was cancelled, or the port's work failed: a
request that failed, a lost link, a script ended by an error, a download that did not
complete, a port that would not open (or was not ready) or a link that could not be
re-established; 2 wrong usage; 130 a second Ctrl-C. The end by --timeout counts as a
cancel (1).
)" + ConfigUsageText();
}

}  // namespace posbench::cli
