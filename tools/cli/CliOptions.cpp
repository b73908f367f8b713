#include "CliOptions.h"

#include <algorithm>
#include <cctype>
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

// "--opt=value" as two arguments; everything after "--" is left alone.
std::vector<std::string> SplitAssignments(const std::vector<std::string>& args) {
    std::vector<std::string> out;
    bool optionsEnded = false;
    for (const std::string& arg : args) {
        const std::size_t equals = arg.find('=');
        if (!optionsEnded && arg.rfind("--", 0) == 0 && arg.size() > 2 &&
            equals != std::string::npos) {
            out.push_back(arg.substr(0, equals));
            out.push_back(arg.substr(equals + 1));
        } else {
            if (arg == "--") optionsEnded = true;
            out.push_back(arg);
        }
    }
    return out;
}

// One item of --port: a port number or a medium name, upper-cased; empty when it is neither.
std::string PortItem(const std::string& text) {
    std::string item;
    for (char c : text) item += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    long number = 0;
    if (ParseNumber(item, 1, 6, number)) return item;
    if (item == "USB" || item == "TCP" || item == "ALL") return item;
    const bool com = item.rfind("COM", 0) == 0, lpt = item.rfind("LPT", 0) == 0;
    if ((com || lpt) && ParseNumber(item.substr(3), 1, com ? 8 : 3, number)) return item;
    return {};
}

bool AddPorts(const std::string& value, std::vector<std::string>& ports, std::string& error) {
    std::size_t from = 0;
    for (;;) {
        const std::size_t comma = value.find(',', from);
        const std::string item = PortItem(value.substr(from, comma - from));
        if (item.empty()) {
            error = "--port takes port numbers 1 to 6, medium names (COM1, LPT2, USB, TCP) "
                    "separated by commas, or all";
            return false;
        }
        ports.push_back(item);
        if (comma == std::string::npos) return true;
        from = comma + 1;
    }
}

// The options that take a value: value into options; false with error set.
bool TakeValue(const std::string& arg, const std::string& value, CliOptions& options,
               std::string& error) {
    if (arg == "--dir" || arg == "--trace") {
        (arg == "--dir" ? options.dir : options.traceFile) = value;
        if (value.empty())
            error = arg + (arg == "--dir" ? " needs a directory" : " needs a file name");
    } else if (arg == "--port") {
        AddPorts(value, options.ports, error);
    } else if (arg == "--command") {
        options.commandMode = true;
        options.commands.push_back({value, 0});
        if (value.empty()) error = "--command needs a data line such as \"1B 40\"";
    } else if (arg == "--count") {
        long count = 0;
        if (!ParseNumber(value, 0, 2147483647L, count))
            error = "--count takes a number of reply bytes (0 or more)";
        else if (options.commands.empty())
            error = "--count goes after the --command whose reply it counts";
        else
            options.commands.back().count = static_cast<int32_t>(count);
    } else if (arg == "--timeout") {
        long seconds = 0;
        if (ParseNumber(value, 1, 86400, seconds))
            options.timeoutSeconds = static_cast<int32_t>(seconds);
        else
            error = "--timeout takes a number of seconds from 1 to 86400";
    } else {  // --image, --tags, --micr
        options.tiffOption = arg;
        options.tiffFile = value;
    }
    return error.empty();
}

// The argument at args[i] into options (an option's value too, moving i past it) or into files.
// 1 when taken, 0 at "--" (every argument after it is a FILE, added), -1 with error set.
int TakeArgument(const std::vector<std::string>& args, std::size_t& i, CliOptions& options,
                 std::vector<std::string>& files, std::string& error) {
    const std::string& arg = args[i];
    const bool takesValue = arg == "--dir" || arg == "--port" || arg == "--command" ||
                            arg == "--count" || arg == "--timeout" || arg == "--trace" ||
                            IsTiffOption(arg);
    if (takesValue) {
        if (i + 1 >= args.size()) {
            error = arg + " needs a value";
            return -1;
        }
        return TakeValue(arg, args[++i], options, error) ? 1 : -1;
    }
    bool* flag = arg == "--help" || arg == "-h" ? &options.help
                 : arg == "--version"           ? &options.version
                 : arg == "--list-ports"        ? &options.listPorts
                 : arg == "--json"              ? &options.json
                 : arg == "--hex"               ? &options.hex
                                                : nullptr;
    if (flag) {
        *flag = true;
        return 1;
    }
    if (arg == "--") {
        files.insert(files.end(), args.begin() + static_cast<long>(i) + 1, args.end());
        return 0;
    }
    if (const int taken = ParseConfigOption(args, i, options.config, error); taken != 0)
        return taken;
    if (arg.size() > 1 && arg[0] == '-') {
        error = "unknown option " + arg;
        return -1;
    }
    files.push_back(arg);
    return 1;
}

// A configuration report: one port, nothing else to do.
bool CheckConfigRun(const CliOptions& options, const std::vector<std::string>& files,
                    std::string& error) {
    if (!files.empty() || options.commandMode || !options.tiffOption.empty() || options.listPorts)
        error = "a configuration report takes no FILE, --command, --list-ports or image option";
    // The report is one printer's: several ports at once would interleave their lines.
    else if (options.ports.size() > 1 ||
             (options.ports.size() == 1 && options.ports.front() == "ALL"))
        error = "--get-config reads the configuration of one port; give one --port";
    return error.empty();
}

// What the options ask for, as one thing to do: false with error set when they ask for
// several or none; the FILE taken into options.
bool CheckCombination(CliOptions& options, const std::vector<std::string>& files,
                      std::string& error) {
    if (!CheckConfigOptions(options.config, error)) return false;
    if (options.config.Active()) return CheckConfigRun(options, files, error);
    if (!options.tiffOption.empty()) {
        if (options.commandMode || !files.empty())
            error = options.tiffOption + " takes no FILE or --command";
        return error.empty();
    }
    if (std::find(options.ports.begin(), options.ports.end(), "ALL") != options.ports.end() &&
        options.ports.size() > 1)
        error = "--port all names every port; give it alone";
    else if (options.listPorts && (!files.empty() || options.commandMode))
        error = "--list-ports takes no FILE or --command";
    else if (options.commandMode && !files.empty())
        error = "give either a FILE or --command, not both";
    else if (!options.listPorts && !options.commandMode && files.size() != 1)
        error = files.empty() ? "no FILE to send" : "only one FILE can be sent";
    else if (!options.listPorts && !options.commandMode)
        options.file = files.front();
    return error.empty();
}

}  // namespace

bool ParseOptions(const std::vector<std::string>& rawArgs, CliOptions& options,
                  std::string& error) {
    const std::vector<std::string> args = SplitAssignments(rawArgs);
    std::vector<std::string> files;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const int taken = TakeArgument(args, i, options, files, error);
        if (taken < 0) return false;
        if (taken == 0) break;
    }
    if (options.help || options.version) return true;
    return CheckCombination(options, files, error);
}

namespace {

// --help: what the program does and its options, then how it runs and ends.
constexpr const char* kUsageOptions = R"(Usage: posbench-cli [OPTIONS] FILE
  or:  posbench-cli [OPTIONS] --command "DATA" [--count N] [--command "DATA" [--count N]]...
  or:  posbench-cli --list-ports [--json] [--dir DIR]
  or:  posbench-cli --image FILE.tif | --tags FILE.tif | --micr FILE.tif

Sends FILE, or commands, to printer ports exactly as the main window's Send does, prints
every status line as it is added (lines of at most 55 characters), then the response text
("Response: ...") when the printer answered anything.

  FILE            sent by its type: TXT and AXI run as scripts; BIN (flash firmware),
                  PBT (boot code), LGO (logo), BMP (bitmap), IB1 and IB2 (imager banks)
                  are downloaded; any other type is not sent (exit status 1).
  --command DATA  a data line: hex pairs ("1B 40") or quoted text ("\"Hello\""); may
                  repeat: the commands run in order on the same open port
  --count N       after the command before it, read N reply bytes (default 0: no read)
  --port PORTS    a port number (the Nth entry of the port table built from Startup.ini),
                  a medium name (COM1..COM8, LPT1..LPT3, USB, TCP), a list of them
                  separated by commas, or all (default 1). With several ports FILE or the
                  commands run on all of them at once; every status line starts with its
                  port ("[2] ..."), and a closing line names the ports that failed.
  --timeout S     when the work has not ended after S seconds, cancel it as Ctrl-C does
                  and end (exit status 1), without waiting for a link recovery
  --json          JSON Lines on standard output, one object per event: "status" (port,
                  time, text), "response" (port, hex, text), "progress" (port, file, bytes,
                  total, blocks, blocks_total), "recovery" (port, state, seconds_left), and
                  last "exit" (status, ports: port, name, ok)
  --hex           responses as hex bytes instead of text with (HH) for other bytes
  --trace FILE    append every byte sent and received on every port to FILE: one line per
                  write or read with the seconds since the trace began, the port, the
                  device, sent or received, the count, the bytes in hex and as text
  --list-ports    the serial lines and USB printers of this machine (owner group and
                  whether you may open each) and the ports Startup.ini defines
  --dir DIR       the program directory holding Startup.ini; without it $POSBENCH_HOME,
                  else $XDG_CONFIG_HOME/posbench, else ~/.config/posbench. The directory is
                  created when missing and sample files it lacks are copied in.
  --image F.tif   convert the check image F.tif to a bitmap ("temp1.bmp" beside it) and
                  print the bitmap's path; no port is opened
  --tags F.tif    print the tag list of F.tif's first directory
  --micr F.tif    print the MICR text of F.tif
                  (these three exit 0, or 1 with the reason on standard error)
  --version       the program's version
  --help          this text

)";

constexpr const char* kUsageNotes = R"(Options take their value as --opt VALUE or --opt=VALUE. The data of every --command and
FILE are checked before any port is opened.

The ports come from Startup.ini in the program directory, for example:
  [Communication]
  TCP=192.168.1.50, ON           (a printer at 192.168.1.50:9001; ADDRESS:PORT also works)
  COM1=115200, DTR, ON
  [Devices]
  COM1=/dev/ttyUSB0              (where each medium is found; COMn is /dev/ttyS(n-1) without it)

The program runs until the ports' work is done (no script, download, read, write or delay
left) and, when a printer was reset, until its link has been closed and reopened (or given
up). A reply that never arrives is waited for until Ctrl-C, as in the window: after 10 silent
seconds standard error says so once; --timeout bounds the wait.
Download progress is shown on standard error when it is a terminal.

Ctrl-C, SIGTERM and SIGHUP are the Cancel button: every port stops and the work ends as it
does on cancel (a download runs its abort), without waiting for a link recovery. A second one
exits at once. A closed standard output (| head) stops the output, not the work.

Exit status: 0 the work ended normally on every port; 1 it was cancelled, FILE is of a type
not sent, or a port's work failed: a request that failed, a lost link, a script ended by an
error, a download that did not complete, a configuration report that did not complete, a port
that would not open (or was not ready) or a link that could not be re-established; 2 wrong
usage; 130 a second Ctrl-C. The end by --timeout counts as a cancel (1).
)";

}  // namespace

std::string UsageText() {
    return std::string(kUsageOptions) + kUsageNotes + ConfigUsageText();
}

}  // namespace posbench::cli
