#pragma once
// The command line of posbench-cli.
#include <cstdint>
#include <string>
#include <vector>

#include "ConfigCommand.h"

namespace posbench::cli {

struct CliOptions {
    std::string dir;          // --dir: the program directory (empty: the usual search)
    int16_t port = 1;         // --port: 1..6
    std::string file;         // the file to send (file mode)
    bool commandMode = false; // --command given
    std::string command;      // --command: a data line ("1B 40", "\"text\"")
    int32_t count = 0;        // --count: reply bytes to read after the command
    int32_t timeoutSeconds = 0;  // --timeout: cancel when not done by then (0: wait on)
    bool help = false;
    std::string tiffOption;   // --image, --tags or --micr: work on tiffFile, open no port
    std::string tiffFile;
    ConfigOptions config;     // --get-config, --config-report, --save, --print
};

// Parses argv[1..]. False with a one-line reason in error for wrong usage.
bool ParseOptions(const std::vector<std::string>& args, CliOptions& options, std::string& error);

// The text of --help.
std::string UsageText();

}  // namespace posbench::cli
