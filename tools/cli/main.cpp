// posbench-cli: the engine without windows. It starts as the desktop program does (program
// directory, Startup.ini, the ports), sends one file or command through the main window's
// Send, and drives the state machine and the 500 ms timer until the work is done.
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "CliImage.h"
#include "CliOptions.h"
#include "CliViews.h"
#include "app/LinkRecovery.h"
#include "app/MainLoop.h"
#include "app/ProgramDir.h"
#include "app/SendDispatcher.h"
#include "base/Events.h"
#include "base/Numbers.h"
#include "base/StringOps.h"
#include "base/Views.h"
#include "comm/CommGlobals.h"
#include "comm/PortRequests.h"
#include "comm/PortTable.h"
#include "download/Downloads.h"
#include "imaging/Imaging.h"
#include "script/ScriptState.h"

namespace posbench::cli {
namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitInterrupted = 130;
// A reply that has not come after this long is pointed out, with the way to stop waiting.
constexpr auto kReplyHintAfter = std::chrono::seconds(10);

std::atomic<int> gInterrupts{0};
std::atomic<bool> gCancelPosted{false};
std::atomic<int> gSignal{0};

// Ctrl-C, SIGTERM and SIGHUP (a closing terminal, `timeout`, a service manager) arrive on a
// thread of their own (blocked everywhere else), so the engine only ever sees them as a notice
// on its own thread: the first is the Cancel button, whose abort paths end a download cleanly,
// the second ends at once.
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

// The file types that Send passes to a port; any other (INI included: catalogues and
// configuration definitions belong to the desktop program) is quietly not sent.
bool SentByType(const std::string& fileName) {
    static const char* const kSent[] = {"TXT", "AXI", "BIN", "PBT", "LGO", "BMP", "IB1", "IB2"};
    const std::string type = UCase(Right(fileName, 3));
    for (const char* known : kSent)
        if (type == known) return true;
    return false;
}

std::string ExecutablePath(const char* argv0) {
    std::error_code ec;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec) return self.string();
    return argv0 ? std::string(argv0) : std::string();
}

int Run(const CliOptions& options, const char* argv0) {
    std::string error;
    const std::string samples =
        FindSamplesDir(SampleCandidates(ExecutablePath(argv0), POSBENCH_SAMPLES_DIR));
    if (!SetUpProgramDir(options.dir, samples, error)) {
        std::fprintf(stderr, "posbench-cli: %s\n", error.c_str());
        return kExitFailed;
    }

    PrintingStatusList status;
    TerminalProgress progress(isatty(STDERR_FILENO) == 1);
    status.SetProgress(&progress);
    CliMainWindowView view;
    LinkRecovery timers;
    MainWindow window(view, timers);
    SetStatusList(&status);
    SetResponseBox(&view.response);
    SetProgress(&progress);
    SetPortList(&window);
    SetEngineHost(&window);
    if (options.config.reportOnly) return RunConfigReport(options.config);
    InstallTimerPump(&timers);
    RegisterDownloads();
    RegisterImaging();
    PrintingImagingViews imaging;
    SetImagingViews(&imaging);

    ClearStartGlobals();
    RunStartup([&] {
        view.SetPortListIndex(options.port - 1);
        window.UpdatePortDisp();
    });

    const int16_t port = options.port;
    view.commandPanel = options.commandMode;
    if (options.commandMode) {
        view.command = options.command;
        view.inCount = CStr(options.count);
    } else {
        std::error_code ec;
        view.fileName = std::filesystem::absolute(options.file, ec).string();
        if (ec) view.fileName = options.file;
    }
    bool cancelled = false;
    bool timedOut = false;
    // The clock runs from the first line on: Send already runs the script's first pass.
    const auto started = std::chrono::steady_clock::now();
    // Run from every event pump, the waits inside a line included (a port clear, a TCP reopen,
    // a download's pauses), as the window's Cancel button is: the cancel lands where it would.
    auto takeCancel = [&] {
        if (gCancelPosted.exchange(false)) {
            const int signal = gSignal.load();
            std::fprintf(stderr, "posbench-cli: %s: cancelled (again to end at once)\n",
                         signal == SIGINT ? "interrupt" : signal == SIGTERM ? "SIGTERM" : "SIGHUP");
            window.btnCancel_Click();
            cancelled = true;
        }
        if (options.timeoutSeconds > 0 && !timedOut &&
            std::chrono::steady_clock::now() - started >=
                std::chrono::seconds(options.timeoutSeconds)) {
            std::fprintf(stderr, "posbench-cli: not done after %d s (--timeout): cancelled\n",
                         options.timeoutSeconds);
            window.btnCancel_Click();
            cancelled = true;
            timedOut = true;
        }
    };
    SetWindowPump([&] {
        timers.Poll();
        takeCancel();
    });

    const int32_t receivedBefore = gPortState(port).RcvdCount;
    std::optional<GetConfigRun> config;
    if (options.config.Active()) config.emplace(options.config);
    const bool sent = config ? config->Start(port, options.config.model) : window.Send();
    // Send takes such a file without a word; for a runner that is a failure to report.
    const bool typeNotSent = sent && !config && !options.commandMode && !SentByType(view.fileName);
    if (typeNotSent)
        std::fprintf(stderr,
                     "posbench-cli: %s: nothing sent: only TXT and AXI (scripts) and BIN, PBT, "
                     "LGO, BMP, IB1, IB2 (downloads) are sent\n",
                     options.file.c_str());

    bool hinted = false;
    bool recoveryNoted = false;
    auto quietSince = std::chrono::steady_clock::now();
    int32_t lastRcvdCount = gPortState(port).RcvdCount;
    // A command with a count is done once that many bytes have come back (or the port stops).
    auto awaitingReply = [&] {
        return sent && options.commandMode && options.count > 0 && !gbStop(port) &&
               gPortState(port).RcvdCount - receivedBefore < options.count;
    };
    // Called at least once per 500 ms tick, so the deadline and the hint are never late by more.
    RunMainLoop(timers, [&] {
        takeCancel();
        // A read waits for as long as the printer stays silent; say so once.
        const auto now = std::chrono::steady_clock::now();
        const bool waitingForReply = gbReadPending(port) || awaitingReply();
        if (!waitingForReply || gPortState(port).RcvdCount != lastRcvdCount) {
            lastRcvdCount = gPortState(port).RcvdCount;
            quietSince = now;
        } else if (!hinted && !cancelled && now - quietSince >= kReplyHintAfter) {
            hinted = true;
            std::fprintf(stderr,
                         "posbench-cli: port %d: no reply from the printer for %lld s; still "
                         "waiting (Ctrl-C cancels, --timeout S bounds the wait)\n",
                         port, static_cast<long long>(kReplyHintAfter.count()));
        }
        if (PortHasWork(port) || (!cancelled && awaitingReply())) return true;
        // After a cancel (Ctrl-C, a signal, --timeout) or a failure a link recovery under way
        // is not waited out: the run is over, and its outcome cannot change any more.
        if (cancelled || gbPortFailed(port) || !timers.AnyInProgress()) return false;
        if (!recoveryNoted) {
            // Recovery shows nothing until the link is back, which takes seconds.
            recoveryNoted = true;
            for (int16_t p = 1; p <= giNumPorts; ++p) {
                if (!timers.InProgress(p)) continue;
                std::fprintf(stderr,
                             "posbench-cli: port %d: waiting for its link to be closed and "
                             "reopened (%ld s settle time, then up to %d retries %ld s apart); "
                             "Ctrl-C cancels\n",
                             p, SettleTimeMs(UCase(Left(gsPortTable(p), 3))) / 1000, kMaxRetries,
                             kRetryMs / 1000);
            }
        }
        return true;
    });

    if (const std::string response = view.response.Text(); !response.empty() && !config)
        std::printf("Response: %s\n", response.c_str());
    std::fflush(stdout);
    InstallTimerPump(nullptr);
    // The engine's own record of the port's work: a failed request, a download that did not
    // complete, a port stopped by an error.
    const bool failed = !sent || typeNotSent || cancelled || gbPortFailed(port) ||
                        (config && !config->Completed());
    return failed ? kExitFailed : kExitOk;
}

}  // namespace
}  // namespace posbench::cli

int main(int argc, char** argv) {
    using namespace posbench::cli;
    std::vector<std::string> args(argv + 1, argv + argc);
    CliOptions options;
    std::string error;
    if (!ParseOptions(args, options, error)) {
        std::fprintf(stderr, "posbench-cli: %s\n\n%s", error.c_str(), UsageText().c_str());
        return kExitUsage;
    }
    if (options.help) {
        std::fputs(UsageText().c_str(), stdout);
        return kExitOk;
    }
    if (!options.tiffOption.empty()) return RunTiffOption(options.tiffOption, options.tiffFile);

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

    const int status = Run(options, argc > 0 ? argv[0] : nullptr);
    std::fflush(stdout);
    // Device reader threads may still block in their reads: end without unwinding them.
    _exit(status);
}
