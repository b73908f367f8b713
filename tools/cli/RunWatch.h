#pragma once
// What posbench-cli watches while the engine works on its ports: a cancel (Ctrl-C, SIGTERM,
// SIGHUP or --timeout), a printer that stays silent, a link recovery under way; and, once the
// work is over, each port's outcome and the exit status.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "CliOptions.h"
#include "CliOutput.h"

namespace posbench {
class LinkRecovery;
class MainWindow;
}  // namespace posbench

namespace posbench::cli {

using Clock = std::chrono::steady_clock;

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

    bool Valid() const;  // a port number the engine has (1..6)
};

class RunWatch {
public:
    // cancelPosted is set (from any thread) for the Cancel button, with the signal that asked
    // for it in signalSeen. The --timeout clock starts here.
    RunWatch(const CliOptions& options, MainWindow& window, LinkRecovery& timers,
             CliOutput& output, std::atomic<bool>& cancelPosted,
             const std::atomic<int>& signalSeen);

    // Run from every event pump, the waits inside a line included (a port clear, a TCP
    // reopen, a download's pauses), as the window's Cancel button is: the cancel lands where
    // it would.
    void TakeCancel();
    // Once per main-loop pass for each port: its link recovery shown, a silence pointed out.
    void Watch(PortJob& job);
    // True while the port's work can still change its outcome.
    bool Busy(const PortJob& job) const;
    bool Cancelled() const { return cancelled_; }
    // Each port's result into results, and the exit status: 0 when every port succeeded, 1
    // otherwise. configCompleted: --get-config ran to its end (true without it).
    int Outcome(const std::vector<PortJob>& jobs, bool configCompleted,
                std::vector<PortResult>& results) const;

private:
    void Cancel(const std::string& why);
    bool AwaitingReply(const PortJob& job) const;
    void ShowRecovery(PortJob& job);
    void HintSilence(PortJob& job);

    const CliOptions& options_;
    MainWindow& window_;
    LinkRecovery& timers_;
    CliOutput& output_;
    std::atomic<bool>& cancelPosted_;
    const std::atomic<int>& signalSeen_;
    const Clock::time_point started_;
    bool cancelled_ = false;
    bool timedOut_ = false;
};

// The device key of a port-table entry as the user names it: COM1, LPT2, USB, TCP.
std::string MediumName(const std::string& entry);

}  // namespace posbench::cli
