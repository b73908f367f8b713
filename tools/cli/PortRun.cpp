#include "PortRun.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "CliImage.h"
#include "CliOutput.h"
#include "CliViews.h"
#include "app/LinkRecovery.h"
#include "app/MainLoop.h"
#include "app/ProgramDir.h"
#include "app/MainWindow.h"
#include "base/Events.h"
#include "base/Numbers.h"
#include "base/StringOps.h"
#include "base/Views.h"
#include "comm/CommGlobals.h"
#include "comm/PortRequests.h"
#include "comm/PortTable.h"
#include "comm/PortTrace.h"
#include "download/Downloads.h"
#include "imaging/Imaging.h"
#include "script/ScriptState.h"

namespace posbench::cli {
namespace {

using Clock = std::chrono::steady_clock;

// A reply that has not come after this long is pointed out, with the way to stop waiting.
constexpr auto kReplyHintAfter = std::chrono::seconds(10);

// The device key of a port-table entry as the user names it: COM1, LPT2, USB, TCP.
std::string MediumName(const std::string& entry) {
    const std::string kind = UCase(Left(entry, 3));
    if (kind == "COM" || kind == "LPT") return UCase(Left(entry, 4));
    return kind;
}

// The port numbers --port names, in the order given, each once. Names are looked up in the
// port table; false with the reason when one is not defined.
bool ResolvePorts(const std::vector<std::string>& items, std::vector<int16_t>& ports,
                  std::string& error) {
    auto add = [&ports](int16_t port) {
        if (std::find(ports.begin(), ports.end(), port) == ports.end()) ports.push_back(port);
    };
    if (items.empty()) add(1);
    for (const std::string& item : items) {
        if (item == "ALL") {
            for (int16_t p = 1; p <= giNumPorts && p <= kMaxPorts; ++p) add(p);
            if (giNumPorts == 0) add(1);  // Send then says "No Active Ports"
            continue;
        }
        if (std::isdigit(static_cast<unsigned char>(item[0]))) {
            add(static_cast<int16_t>(std::stoi(item)));
            continue;
        }
        int16_t found = 0;
        for (int16_t p = 1; p <= giNumPorts && p <= kMaxPorts && found == 0; ++p)
            if (MediumName(gsPortTable(p)) == item) found = p;
        if (found == 0) {
            error = "--port " + item + ": Startup.ini defines no such port";
            return false;
        }
        add(found);
    }
    return true;
}

// One port's run: its queue of commands (or its file) and what was seen of it.
struct PortJob {
    int16_t port = 0;
    std::size_t nextCommand = 0;  // the command to send once the current one is done
    int32_t count = 0;            // reply bytes the current command reads
    int32_t receivedBefore = 0;
    bool sent = true;             // every Send on the port was accepted
    bool current = false;         // a command or the file is under way
    bool hinted = false;
    bool recoveryNoted = false;
    std::string recoveryState;
    int32_t lastRcvdCount = 0;
    Clock::time_point quietSince;
};

std::string RecoveryState(const LinkRecovery& timers, int16_t port) {
    if (timers.InProgress(port)) return timers.LinkClosed(port) ? "reopening" : "closing";
    return timers.LinkClosed(port) ? "given up" : "open";
}

}  // namespace

bool PrepareRunDir(const CliOptions& options, const char* argv0) {
    std::string error;
    const std::string samples =
        FindSamplesDir(SampleCandidates(ExecutablePath(argv0), POSBENCH_SAMPLES_DIR));
    if (SetUpProgramDir(options.dir, samples, error)) return true;
    std::fprintf(stderr, "posbench-cli: %s\n", error.c_str());
    return false;
}

int RunOnPorts(const CliOptions& options, std::atomic<bool>& cancelPosted,
               const std::atomic<int>& signalSeen) {
    const bool severalPorts = options.ports.size() > 1 ||
                              (options.ports.size() == 1 && options.ports.front() == "ALL");
    CliOutput output(options.json, options.hex, severalPorts);
    PrintingStatusList status(output);
    TerminalProgress progress(!options.json && isatty(STDERR_FILENO) == 1, output);
    status.SetProgress(&progress);
    CliMainWindowView view;
    LinkRecovery timers;
    MainWindow window(view, timers);
    SetStatusList(&status);
    SetResponseBox(&view.responses);
    SetProgress(&progress);
    SetPortList(&window);
    SetEngineHost(&window);
    if (options.config.reportOnly) return RunConfigReport(options.config);
    if (!options.traceFile.empty()) {
        std::string error;
        if (!StartPortTrace(options.traceFile, error)) {
            std::fprintf(stderr, "posbench-cli: %s\n", error.c_str());
            return kExitFailed;
        }
    }
    InstallTimerPump(&timers);
    RegisterDownloads();
    RegisterImaging();
    PrintingImagingViews imaging;
    SetImagingViews(&imaging);

    ClearStartGlobals();
    RunStartup([&] {
        view.SetPortListIndex(0);
        window.UpdatePortDisp();
    });

    std::vector<int16_t> ports;
    std::string error;
    if (!ResolvePorts(options.ports, ports, error)) {
        std::fprintf(stderr, "posbench-cli: %s\nsee posbench-cli --help\n", error.c_str());
        return kExitUsage;
    }

    std::vector<PortJob> jobs;
    for (int16_t port : ports) {
        jobs.emplace_back();
        jobs.back().port = port;
    }

    std::string fileName;
    // --get-config runs the configuration window's flow on the port instead of Send.
    std::optional<GetConfigRun> config;
    if (options.config.Active()) {
        config.emplace(options.config);
    } else if (!options.commandMode) {
        std::error_code ec;
        fileName = std::filesystem::absolute(options.file, ec).string();
        if (ec) fileName = options.file;
    }

    bool cancelled = false;
    bool timedOut = false;
    // The clock runs from the first line on: Send already runs the script's first pass.
    const auto started = Clock::now();
    // Run from every event pump, the waits inside a line included (a port clear, a TCP reopen,
    // a download's pauses), as the window's Cancel button is: the cancel lands where it would.
    auto takeCancel = [&] {
        if (cancelPosted.exchange(false)) {
            const int signal = signalSeen.load();
            std::fprintf(stderr, "posbench-cli: %s: cancelled (again to end at once)\n",
                         signal == SIGINT ? "interrupt" : signal == SIGTERM ? "SIGTERM" : "SIGHUP");
            window.btnCancel_Click();
            cancelled = true;
        }
        if (options.timeoutSeconds > 0 && !timedOut &&
            Clock::now() - started >= std::chrono::seconds(options.timeoutSeconds)) {
            std::fprintf(stderr, "posbench-cli: not done after %d s (--timeout): cancelled\n",
                         options.timeoutSeconds);
            window.btnCancel_Click();
            cancelled = true;
            timedOut = true;
        }
    };
    InstallTimerPump(&timers, takeCancel);

    // Send as the window does: the port chosen in the list, then the button.
    auto sendOn = [&](PortJob& job) {
        // A port the table does not hold cannot be chosen in the list: nothing is selected.
        view.SetPortListIndex(job.port <= view.PortListCount() ? job.port - 1 : -1);
        view.commandPanel = options.commandMode;
        if (options.commandMode) {
            const CliCommand& command = options.commands[job.nextCommand++];
            window.btnClearResponse_Click();  // each reply is shown on its own
            view.responses.Clear(job.port);
            view.command = command.data;
            view.inCount = CStr(command.count);
            job.count = command.count;
        } else {
            view.fileName = fileName;
        }
        job.receivedBefore = job.port >= 1 && job.port <= kMaxPorts ? gPortState(job.port).RcvdCount : 0;
        job.lastRcvdCount = job.receivedBefore;
        job.quietSince = Clock::now();
        job.current = true;
        if (!(config ? config->Start(job.port, options.config.model) : window.Send())) {
            job.sent = false;
            job.current = false;
        }
    };
    for (PortJob& job : jobs) sendOn(job);

    // A configuration report prints its own lines; the printer's raw reply is not one of them.
    auto showResponse = [&](const PortJob& job) {
        if (config || job.port < 1 || job.port > kMaxPorts) return;
        if (const std::string text = view.responses.Text(job.port); !text.empty())
            output.Response(job.port, text, gbHexDisplay(job.port));
    };

    // A command with a count is done once that many bytes have come back (or the port stops).
    auto awaitingReply = [&](const PortJob& job) {
        return job.current && options.commandMode && job.count > 0 && !gbStop(job.port) &&
               gPortState(job.port).RcvdCount - job.receivedBefore < job.count;
    };
    auto portBusy = [&](const PortJob& job) {
        if (job.port < 1 || job.port > kMaxPorts) return false;
        // After a cancel (Ctrl-C, a signal, --timeout) or a failure a link recovery under way
        // is not waited out: the port's outcome cannot change any more.
        return PortHasWork(job.port) || (!cancelled && awaitingReply(job)) ||
               (!cancelled && !gbPortFailed(job.port) && timers.InProgress(job.port));
    };

    // Called at least once per 500 ms tick, so the deadline and the hints are never late by more.
    RunMainLoop(timers, [&] {
        takeCancel();
        const auto now = Clock::now();
        bool anyBusy = false;
        for (PortJob& job : jobs) {
            if (job.port < 1 || job.port > kMaxPorts) continue;
            const int16_t port = job.port;
            const std::string state = RecoveryState(timers, port);
            if (state != job.recoveryState && (!job.recoveryState.empty() || state != "open")) {
                output.Recovery(port, state, timers.MsLeft(port) / 1000.0);
                // Recovery shows nothing until the link is back, which takes seconds.
                if (!output.Json() && state == "closing" && !job.recoveryNoted) {
                    job.recoveryNoted = true;
                    std::fprintf(stderr,
                                 "posbench-cli: port %d: waiting for its link to be closed and "
                                 "reopened (%ld s settle time, then up to %d retries %ld s "
                                 "apart); Ctrl-C cancels\n",
                                 port, SettleTimeMs(UCase(Left(gsPortTable(port), 3))) / 1000,
                                 kMaxRetries, kRetryMs / 1000);
                }
            }
            job.recoveryState = state;

            // A read waits for as long as the printer stays silent; say so once.
            const bool waitingForReply = gbReadPending(port) || awaitingReply(job);
            if (!waitingForReply || gPortState(port).RcvdCount != job.lastRcvdCount) {
                job.lastRcvdCount = gPortState(port).RcvdCount;
                job.quietSince = now;
            } else if (!job.hinted && !cancelled && now - job.quietSince >= kReplyHintAfter) {
                job.hinted = true;
                std::fprintf(stderr,
                             "posbench-cli: port %d: no reply from the printer for %lld s; still "
                             "waiting (Ctrl-C cancels, --timeout S bounds the wait)\n",
                             port, static_cast<long long>(kReplyHintAfter.count()));
            }

            if (portBusy(job)) {
                anyBusy = true;
                continue;
            }
            if (!job.current) continue;
            // The port's current work is over: its reply, then the next command if any.
            job.current = false;
            if (options.commandMode) showResponse(job);
            if (options.commandMode && !cancelled && job.sent &&
                job.nextCommand < options.commands.size()) {
                sendOn(job);
                anyBusy = true;
            }
        }
        return anyBusy;
    });

    if (!options.commandMode)
        for (const PortJob& job : jobs) showResponse(job);
    InstallTimerPump(nullptr);
    StopPortTrace();

    std::vector<PortResult> results;
    bool allOk = true;
    for (const PortJob& job : jobs) {
        const bool valid = job.port >= 1 && job.port <= kMaxPorts;
        // The engine's own record of the port's work: a failed request, a download that did
        // not complete, a port stopped by an error.
        // A configuration report counts only when it ran to its end.
        const bool ok = valid && job.sent && !cancelled && !gbPortFailed(job.port) &&
                        (!config || config->Completed());
        allOk = allOk && ok;
        results.push_back(
            {job.port, valid && job.port <= giNumPorts ? MediumName(gsPortTable(job.port)) : "", ok});
    }
    const int exitStatus = allOk ? kExitOk : kExitFailed;
    output.End(exitStatus, results);
    std::fflush(stdout);
    return exitStatus;
}

}  // namespace posbench::cli
