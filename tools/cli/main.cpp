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
#include "app/MainWindow.h"
#include "app/PlainMainWindowView.h"
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

// What a run watches while the engine works, each once per pump or main-loop pass: a cancel (a
// signal or --timeout), a reply that does not come, and a link recovery under way.
class RunWatch {
public:
    RunWatch(const CliOptions& options, MainWindow& window, LinkRecovery& timers)
        : options_(options), window_(window), timers_(timers), port_(options.port) {}

    // Called before Send: the clock runs from the first line on, as Send already runs the
    // script's first pass, and a command's reply is counted from here.
    void Start() {
        started_ = std::chrono::steady_clock::now();
        receivedBefore_ = gPortState(port_).RcvdCount;
    }
    // After Send: the printer's silence is measured from here.
    void Sent(bool sent) {
        sent_ = sent;
        quietSince_ = std::chrono::steady_clock::now();
        lastRcvdCount_ = gPortState(port_).RcvdCount;
    }

    // Run from every event pump, the waits inside a line included (a port clear, a TCP reopen,
    // a download's pauses), as the window's Cancel button is: the cancel lands where it would.
    void TakeCancel() {
        if (gCancelPosted.exchange(false)) {
            const int signal = gSignal.load();
            std::fprintf(stderr, "posbench-cli: %s: cancelled (again to end at once)\n",
                         signal == SIGINT ? "interrupt" : signal == SIGTERM ? "SIGTERM" : "SIGHUP");
            window_.btnCancel_Click();
            cancelled_ = true;
        }
        if (options_.timeoutSeconds > 0 && !timedOut_ &&
            std::chrono::steady_clock::now() - started_ >=
                std::chrono::seconds(options_.timeoutSeconds)) {
            std::fprintf(stderr, "posbench-cli: not done after %d s (--timeout): cancelled\n",
                         options_.timeoutSeconds);
            window_.btnCancel_Click();
            cancelled_ = true;
            timedOut_ = true;
        }
    }

    // The main loop's test, called at least once per 500 ms tick, so the deadline and the hint
    // are never late by more.
    bool KeepRunning() {
        TakeCancel();
        HintSilence();
        if (PortHasWork(port_) || (!cancelled_ && AwaitingReply())) return true;
        // After a cancel (Ctrl-C, a signal, --timeout) or a failure a link recovery under way
        // is not waited out: the run is over, and its outcome cannot change any more.
        if (cancelled_ || gbPortFailed(port_) || !timers_.AnyInProgress()) return false;
        NoteRecovery();
        return true;
    }

    bool Cancelled() const { return cancelled_; }

private:
    // A command with a count is done once that many bytes have come back (or the port stops).
    bool AwaitingReply() const {
        return sent_ && options_.commandMode && options_.count > 0 && !gbStop(port_) &&
               gPortState(port_).RcvdCount - receivedBefore_ < options_.count;
    }

    // A read waits for as long as the printer stays silent; say so once.
    void HintSilence() {
        const auto now = std::chrono::steady_clock::now();
        const bool waitingForReply = gbReadPending(port_) || AwaitingReply();
        if (!waitingForReply || gPortState(port_).RcvdCount != lastRcvdCount_) {
            lastRcvdCount_ = gPortState(port_).RcvdCount;
            quietSince_ = now;
        } else if (!hinted_ && !cancelled_ && now - quietSince_ >= kReplyHintAfter) {
            hinted_ = true;
            std::fprintf(stderr,
                         "posbench-cli: port %d: no reply from the printer for %lld s; still "
                         "waiting (Ctrl-C cancels, --timeout S bounds the wait)\n",
                         port_, static_cast<long long>(kReplyHintAfter.count()));
        }
    }

    // Recovery shows nothing until the link is back, which takes seconds: say what is waited for.
    void NoteRecovery() {
        if (recoveryNoted_) return;
        recoveryNoted_ = true;
        for (int16_t p = 1; p <= giNumPorts; ++p) {
            if (!timers_.InProgress(p)) continue;
            std::fprintf(stderr,
                         "posbench-cli: port %d: waiting for its link to be closed and "
                         "reopened (%ld s settle time, then up to %d retries %ld s apart); "
                         "Ctrl-C cancels\n",
                         p, SettleTimeMs(UCase(Left(gsPortTable(p), 3))) / 1000, kMaxRetries,
                         kRetryMs / 1000);
        }
    }

    const CliOptions& options_;
    MainWindow& window_;
    LinkRecovery& timers_;
    const int16_t port_;
    std::chrono::steady_clock::time_point started_{};
    std::chrono::steady_clock::time_point quietSince_{};
    int32_t receivedBefore_ = 0;
    int32_t lastRcvdCount_ = 0;
    bool sent_ = false;
    bool cancelled_ = false;
    bool timedOut_ = false;
    bool hinted_ = false;
    bool recoveryNoted_ = false;
};

// The main window's panel and input as the options give them.
void FillView(const CliOptions& options, PlainMainWindowView& view) {
    view.commandPanel = options.commandMode;
    if (options.commandMode) {
        view.command = options.command;
        view.inCount = CStr(options.count);
        return;
    }
    std::error_code ec;
    view.fileName = std::filesystem::absolute(options.file, ec).string();
    if (ec) view.fileName = options.file;
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
    PlainMainWindowView view;
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

    FillView(options, view);
    RunWatch watch(options, window, timers);
    watch.Start();
    SetWindowPump([&] {
        timers.Poll();
        watch.TakeCancel();
    });
    std::optional<GetConfigRun> config;
    if (options.config.Active()) config.emplace(options.config);
    const bool sent = config ? config->Start(options.port, options.config.model) : window.Send();
    watch.Sent(sent);
    // Send takes such a file without a word; for a runner that is a failure to report.
    const bool typeNotSent =
        sent && !config && !options.commandMode && !SentToPort(view.fileName);
    if (typeNotSent)
        std::fprintf(stderr,
                     "posbench-cli: %s: nothing sent: only TXT and AXI (scripts) and BIN, PBT, "
                     "LGO, BMP, IB1, IB2 (downloads) are sent\n",
                     options.file.c_str());

    RunMainLoop(timers, [&] { return watch.KeepRunning(); });

    if (const std::string response = view.response.Text(); !response.empty() && !config)
        std::printf("Response: %s\n", response.c_str());
    std::fflush(stdout);
    InstallTimerPump(nullptr);
    // The engine's own record of the port's work: a failed request, a download that did not
    // complete, a port stopped by an error.
    const bool failed = !sent || typeNotSent || watch.Cancelled() || gbPortFailed(options.port) ||
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
