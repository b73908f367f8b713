#pragma once
// Runs posbench-cli as a user would, with its output collected, signals sent on cue and a bound
// on how long it may take (killed after kRunLimit: status -1).
#include <signal.h>

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

namespace posbench::test {

class Pty;

struct CliResult {
    int status = -1;  // exit status, or -1 when it had to be killed or died of a signal
    std::string out;  // standard output
    std::string err;  // standard error (or what the terminal got)
    std::chrono::milliseconds took{0};
};

inline constexpr auto kRunLimit = std::chrono::seconds(60);

struct CliRunOptions {
    std::string signalAfter;   // send `signal` once stdout holds this text
    int signal = SIGINT;
    Pty* terminal = nullptr;   // stderr on this pseudo-terminal instead of a pipe
    std::size_t closeOutAfterLines = 0;  // stop reading stdout (close it) after this many lines
    std::chrono::milliseconds limit = kRunLimit;
    std::vector<std::string> env;  // NAME=VALUE settings added to the program's environment
};

CliResult RunCli(const std::vector<std::string>& args, const CliRunOptions& how = {});

std::string ReadAll(const std::string& path);

// The text split at line feeds (a last piece without one is left out).
std::vector<std::string> LinesOf(const std::string& text);

}  // namespace posbench::test
