#include "PortRun.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "CliImage.h"
#include "CliOutput.h"
#include "CliViews.h"
#include "ConfigCommand.h"
#include "RunWatch.h"
#include "app/Engine.h"
#include "app/LinkRecovery.h"
#include "app/MainLoop.h"
#include "app/MainWindow.h"
#include "base/Numbers.h"
#include "comm/CommGlobals.h"
#include "comm/PortTrace.h"
#include "script/ScriptState.h"

namespace posbench::cli {
namespace {

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

// What the run shows the engine through: status lines and replies printed, progress on a
// terminal's stderr, check images as lines.
struct RunViews {
    explicit RunViews(const CliOptions& options)
        : output(options.json, options.hex,
                 options.ports.size() > 1 ||
                     (options.ports.size() == 1 && options.ports.front() == "ALL")),
          status(output), progress(!options.json && isatty(STDERR_FILENO) == 1, output) {
        status.SetProgress(&progress);
    }

    CliOutput output;
    PrintingStatusList status;
    TerminalProgress progress;
    CliMainWindowView view;
    PrintingImagingViews imaging;
};

// Sends on a port as the window does: the port chosen in the list, the panel filled, then the
// button; for --get-config the configuration window's flow instead.
class PortSender {
public:
    PortSender(const CliOptions& options, RunViews& views, MainWindow& window)
        : options_(options), views_(views), window_(window) {
        if (options.config.Active()) {
            config_.emplace(options.config);
        } else if (!options.commandMode) {
            std::error_code ec;
            fileName_ = std::filesystem::absolute(options.file, ec).string();
            if (ec) fileName_ = options.file;
        }
    }

    void Send(PortJob& job);
    // After the port's current work: the next command, when there is one and it may go.
    bool SendNext(PortJob& job, bool cancelled) {
        if (!options_.commandMode || cancelled || !job.sent ||
            job.nextCommand >= options_.commands.size())
            return false;
        Send(job);
        return true;
    }
    // The printer's reply as the response box holds it; a configuration report prints its own
    // lines, so not for --get-config.
    void ShowResponse(const PortJob& job) {
        if (config_ || !job.Valid()) return;
        if (const std::string text = views_.view.responses.Text(job.port); !text.empty())
            views_.output.Response(job.port, text, gbHexDisplay(job.port));
    }
    bool ConfigCompleted() const { return !config_ || config_->Completed(); }

private:
    void FillPanel(PortJob& job);

    const CliOptions& options_;
    RunViews& views_;
    MainWindow& window_;
    std::optional<GetConfigRun> config_;
    std::string fileName_;
};

void PortSender::FillPanel(PortJob& job) {
    CliMainWindowView& view = views_.view;
    // A port the table does not hold cannot be chosen in the list: nothing is selected.
    view.SetPortListIndex(job.port <= view.PortListCount() ? job.port - 1 : -1);
    view.commandPanel = options_.commandMode;
    if (!options_.commandMode) {
        view.fileName = fileName_;
        return;
    }
    const CliCommand& command = options_.commands[job.nextCommand++];
    window_.btnClearResponse_Click();  // each reply is shown on its own
    view.responses.Clear(job.port);
    view.command = command.data;
    view.inCount = CStr(command.count);
    job.count = command.count;
}

void PortSender::Send(PortJob& job) {
    FillPanel(job);
    job.receivedBefore = job.Valid() ? gPortState(job.port).RcvdCount : 0;
    job.lastRcvdCount = job.receivedBefore;
    job.quietSince = Clock::now();
    job.current = true;
    if (!(config_ ? config_->Start(job.port, options_.config.model) : window_.Send())) {
        job.sent = false;
        job.current = false;
    }
}

// Every port's work from the first Send to its end; the exit status.
int RunJobs(const CliOptions& options, RunViews& views, MainWindow& window, LinkRecovery& timers,
            RunWatch& watch, const std::vector<int16_t>& ports) {
    PortSender sender(options, views, window);
    std::vector<PortJob> jobs(ports.size());
    for (std::size_t i = 0; i < ports.size(); ++i) {
        jobs[i].port = ports[i];
        sender.Send(jobs[i]);
    }
    // Called at least once per 500 ms tick, so the deadline and the hints are never late by more.
    RunMainLoop(timers, [&] {
        watch.TakeCancel();
        bool anyBusy = false;
        for (PortJob& job : jobs) {
            watch.Watch(job);
            if (watch.Busy(job)) {
                anyBusy = true;
            } else if (job.current) {
                // The port's current work is over: its reply, then the next command if any.
                job.current = false;
                if (options.commandMode) sender.ShowResponse(job);
                anyBusy = sender.SendNext(job, watch.Cancelled()) || anyBusy;
            }
        }
        return anyBusy;
    });
    if (!options.commandMode)
        for (const PortJob& job : jobs) sender.ShowResponse(job);

    std::vector<PortResult> results;
    const int status = watch.Outcome(jobs, sender.ConfigCompleted(), results);
    views.output.End(status, results);
    return status;
}

bool StartTrace(const CliOptions& options) {
    std::string error;
    if (options.traceFile.empty() || StartPortTrace(options.traceFile, error)) return true;
    std::fprintf(stderr, "posbench-cli: %s\n", error.c_str());
    return false;
}

// The run once the engine is wired: the ports started, the work done.
int Run(const CliOptions& options, Engine& engine, RunViews& views, MainWindow& window,
        LinkRecovery& timers, std::atomic<bool>& cancelPosted, const std::atomic<int>& signalSeen) {
    if (options.config.reportOnly) return RunConfigReport(options.config);
    if (!StartTrace(options)) return kExitFailed;
    InstallTimerPump(&timers);
    engine.Start([&] {
        views.view.SetPortListIndex(0);
        window.UpdatePortDisp();
    });
    std::vector<int16_t> ports;
    std::string error;
    if (!ResolvePorts(options.ports, ports, error)) {
        std::fprintf(stderr, "posbench-cli: %s\nsee posbench-cli --help\n", error.c_str());
        return kExitUsage;
    }
    // The clock runs from the first line on: Send already runs the script's first pass.
    RunWatch watch(options, window, timers, views.output, cancelPosted, signalSeen);
    InstallTimerPump(&timers, [&watch] { watch.TakeCancel(); });
    const int status = RunJobs(options, views, window, timers, watch, ports);
    InstallTimerPump(nullptr);
    StopPortTrace();
    return status;
}

}  // namespace

bool PrepareRunDir(const CliOptions& options, const char* argv0) {
    std::string error;
    if (SetUpProgramDirFor(options.dir, argv0, error)) return true;
    std::fprintf(stderr, "posbench-cli: %s\n", error.c_str());
    return false;
}

int RunOnPorts(const CliOptions& options, std::atomic<bool>& cancelPosted,
               const std::atomic<int>& signalSeen) {
    Engine engine;
    RunViews views(options);
    LinkRecovery timers;
    MainWindow window(views.view, timers);
    AttachViews({&views.status, &views.view.responses, &views.progress, &window, &window,
                 &views.imaging});
    const int status = Run(options, engine, views, window, timers, cancelPosted, signalSeen);
    std::fflush(stdout);
    return engine.Shutdown(status);
}

}  // namespace posbench::cli
