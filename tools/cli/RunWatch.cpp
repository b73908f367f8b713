#include "RunWatch.h"

#include <signal.h>

#include <cstdio>

#include "PortRun.h"
#include "app/LinkRecovery.h"
#include "app/MainLoop.h"
#include "app/MainWindow.h"
#include "base/StringOps.h"
#include "comm/CommGlobals.h"
#include "comm/PortRequests.h"
#include "script/ScriptState.h"

namespace posbench::cli {

namespace {

// A reply that has not come after this long is pointed out, with the way to stop waiting.
constexpr auto kReplyHintAfter = std::chrono::seconds(10);

const char* SignalName(int signal) {
    return signal == SIGINT ? "interrupt" : signal == SIGTERM ? "SIGTERM" : "SIGHUP";
}

std::string RecoveryState(const LinkRecovery& timers, int16_t port) {
    if (timers.InProgress(port)) return timers.LinkClosed(port) ? "reopening" : "closing";
    return timers.LinkClosed(port) ? "given up" : "open";
}

}  // namespace

bool PortJob::Valid() const { return port >= 1 && port <= kMaxPorts; }

std::string MediumName(const std::string& entry) {
    const std::string kind = UCase(Left(entry, 3));
    if (kind == "COM" || kind == "LPT") return UCase(Left(entry, 4));
    return kind;
}

RunWatch::RunWatch(const CliOptions& options, MainWindow& window, LinkRecovery& timers,
                   CliOutput& output, std::atomic<bool>& cancelPosted,
                   const std::atomic<int>& signalSeen)
    : options_(options), window_(window), timers_(timers), output_(output),
      cancelPosted_(cancelPosted), signalSeen_(signalSeen), started_(Clock::now()) {}

void RunWatch::Cancel(const std::string& why) {
    std::fprintf(stderr, "posbench-cli: %s\n", why.c_str());
    window_.btnCancel_Click();
    cancelled_ = true;
}

void RunWatch::TakeCancel() {
    if (cancelPosted_.exchange(false))
        Cancel(std::string(SignalName(signalSeen_.load())) + ": cancelled (again to end at once)");
    if (options_.timeoutSeconds > 0 && !timedOut_ &&
        Clock::now() - started_ >= std::chrono::seconds(options_.timeoutSeconds)) {
        timedOut_ = true;
        Cancel("not done after " + std::to_string(options_.timeoutSeconds) +
               " s (--timeout): cancelled");
    }
}

void RunWatch::Watch(PortJob& job) {
    if (!job.Valid()) return;
    ShowRecovery(job);
    HintSilence(job);
}

// Recovery shows nothing until the link is back, which takes seconds: the state as it changes,
// and once what is waited for.
void RunWatch::ShowRecovery(PortJob& job) {
    const int16_t port = job.port;
    const std::string state = RecoveryState(timers_, port);
    if (state != job.recoveryState && (!job.recoveryState.empty() || state != "open")) {
        output_.Recovery(port, state, timers_.MsLeft(port) / 1000.0);
        if (!output_.Json() && state == "closing" && !job.recoveryNoted) {
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
}

// A read waits for as long as the printer stays silent; say so once.
void RunWatch::HintSilence(PortJob& job) {
    const int16_t port = job.port;
    const auto now = Clock::now();
    const bool waitingForReply = gbReadPending(port) || AwaitingReply(job);
    if (!waitingForReply || gPortState(port).RcvdCount != job.lastRcvdCount) {
        job.lastRcvdCount = gPortState(port).RcvdCount;
        job.quietSince = now;
    } else if (!job.hinted && !cancelled_ && now - job.quietSince >= kReplyHintAfter) {
        job.hinted = true;
        std::fprintf(stderr,
                     "posbench-cli: port %d: no reply from the printer for %lld s; still "
                     "waiting (Ctrl-C cancels, --timeout S bounds the wait)\n",
                     port, static_cast<long long>(kReplyHintAfter.count()));
    }
}

// A command with a count is done once that many bytes have come back (or the port stops).
bool RunWatch::AwaitingReply(const PortJob& job) const {
    return job.current && options_.commandMode && job.count > 0 && !gbStop(job.port) &&
           gPortState(job.port).RcvdCount - job.receivedBefore < job.count;
}

bool RunWatch::Busy(const PortJob& job) const {
    if (!job.Valid()) return false;
    // After a cancel (Ctrl-C, a signal, --timeout) or a failure a link recovery under way is
    // not waited out: the port's outcome cannot change any more.
    return PortHasWork(job.port) || (!cancelled_ && AwaitingReply(job)) ||
           (!cancelled_ && !gbPortFailed(job.port) && timers_.InProgress(job.port));
}

int RunWatch::Outcome(const std::vector<PortJob>& jobs, bool configCompleted,
                      std::vector<PortResult>& results) const {
    bool allOk = true;
    for (const PortJob& job : jobs) {
        // The engine's own record of the port's work: a failed request, a download that did
        // not complete, a port stopped by an error. A configuration report counts only when
        // it ran to its end.
        const bool ok = job.Valid() && job.sent && !cancelled_ && !gbPortFailed(job.port) &&
                        configCompleted;
        allOk = allOk && ok;
        const bool defined = job.Valid() && job.port <= giNumPorts;
        results.push_back({job.port, defined ? MediumName(gsPortTable(job.port)) : "", ok});
    }
    return allOk ? kExitOk : kExitFailed;
}

}  // namespace posbench::cli
