// posbench-cli: the engine without windows. It starts as the desktop program does (program
// directory, Startup.ini, the ports), sends a file or commands through the main window's Send
// on one port or several at once, and drives the state machine and the 500 ms timer until the
// work is done.
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "CliImage.h"
#include "CliOptions.h"
#include "ListPorts.h"
#include "PortRun.h"
#include "UsageChecks.h"
#include "app/MainWindow.h"
#include "base/Events.h"
#include "posbench/Version.h"

namespace posbench::cli {
namespace {

std::atomic<int> gInterrupts{0};
std::atomic<bool> gCancelPosted{false};
std::atomic<int> gSignal{0};

// Ctrl-C, SIGTERM and SIGHUP (a closing terminal, `timeout`, a service manager) arrive on a
// thread of their own (blocked everywhere else), so the engine only ever sees them as a notice
// on its own thread: the first is the Cancel button, whose abort paths end a download cleanly,
// the second ends at once, whatever the engine is doing: that is what it is for.
void WatchInterrupts(sigset_t set) {
    for (;;) {
        int signal = 0;
        if (sigwait(&set, &signal) != 0) continue;
        if (gInterrupts.fetch_add(1) >= 1) _exit(kExitInterrupted);
        gSignal.store(signal);
        gCancelPosted.store(true);
        WakeEvents();
    }
}

int UsageError(const std::string& error) {
    std::fprintf(stderr, "posbench-cli: %s\nsee posbench-cli --help\n", error.c_str());
    return kExitUsage;
}

}  // namespace
}  // namespace posbench::cli

int main(int argc, char** argv) {
    using namespace posbench::cli;
    std::vector<std::string> args(argv + 1, argv + argc);
    CliOptions options;
    std::string error;
    if (!ParseOptions(args, options, error)) return UsageError(error);
    if (options.help) {
        std::fputs(UsageText().c_str(), stdout);
        return kExitOk;
    }
    if (options.version) {
        std::puts("posbench-cli " POSBENCH_VERSION);
        return kExitOk;
    }
    if (!options.tiffOption.empty()) return RunTiffOption(options.tiffOption, options.tiffFile);
    const char* argv0 = argc > 0 ? argv[0] : nullptr;
    // The directory first: FILE may be one of the samples it is seeded with.
    if (!PrepareRunDir(options, argv0)) return kExitFailed;
    // What the command line names is checked before any port is opened.
    if (!CheckBeforeOpening(options, error)) return UsageError(error);
    if (!options.commandMode && !options.listPorts && !options.config.Active() &&
        !posbench::SentToPort(options.file)) {
        std::fprintf(stderr, "posbench-cli: %s\n", NotSentText(options.file).c_str());
        return kExitFailed;
    }
    if (options.listPorts) return ListPorts(options);

    // Blocked before any thread exists, so every device reader thread inherits the mask.
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    // A reader of the output that goes away (`| head`) stops the output, not the work: a
    // download cut off there would leave the printer half flashed.
    signal(SIGPIPE, SIG_IGN);
    std::thread(WatchInterrupts, set).detach();

    // The engine's shutdown has stopped every reader thread and closed every port: the
    // program ends as any other, its destructors (and the coverage counters) run.
    return RunOnPorts(options, gCancelPosted, gSignal);
}
