#include "gui/StateMachineDriver.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <algorithm>
#include <vector>

#include "base/Events.h"
#include "script/StateMachine.h"

namespace posbench::gui {

namespace {
int gPumpDepth = 0;     // window pumps in progress on the stack (engine waits)
uint64_t gPasses = 0;
}  // namespace

StateMachineDriver::StateMachineDriver(QObject* parent) : QObject(parent) {
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, [this] { Step(); });
}

StateMachineDriver::~StateMachineDriver() {
    SetInputWatchObserver(nullptr);
    SetWindowPump(nullptr);
    SetWindowSlice(std::chrono::milliseconds{0});
}

void StateMachineDriver::Start() {
    SetWindowPump([] {
        ++gPumpDepth;
        QCoreApplication::processEvents();
        --gPumpDepth;
        // The passes wait for the engine's wait to end; the other ports go on meanwhile.
        ServeOtherPorts();
    });
    // The engine's own waits see the window's events only through the pump.
    SetWindowSlice(kEngineWaitSlice);
    const int pumpFd = EventPumpFd();
    if (pumpFd >= 0 && !pumpNotifier_) {
        pumpNotifier_ = new QSocketNotifier(pumpFd, QSocketNotifier::Read, this);
        connect(pumpNotifier_, &QSocketNotifier::activated, this, [this] {
            if (gPumpDepth > 0) {
                // Stays readable until the next pass drains it: quiet until then.
                pumpNotifier_->setEnabled(false);
                Defer();
                return;
            }
            Step();
        });
    }
    SetInputWatchObserver([this] { MirrorWatches(); });
    MirrorWatches();
    timer_.start(0);
}

uint64_t StateMachineDriver::PassesRun() { return gPasses; }

void StateMachineDriver::Defer() {
    if (!timer_.isActive()) timer_.start(kIdleBeat);
}

void StateMachineDriver::Step() {
    if (gPumpDepth > 0) {
        Defer();
        return;
    }
    timer_.stop();
    DrainEventPumpFd();  // before the notices: one posted from now on wakes the loop again
    DoEvents();          // device notices first: a reader's data is then seen by this pass
    const bool busy = StateMachinePass();
    ++gPasses;
    // Without the pump's descriptor nothing ends the sleep early: poll a read instead.
    std::chrono::milliseconds wait = pumpNotifier_ ? StateMachineInputWait() : StateMachineIdleWait();
    if (!busy) wait = std::max(wait, kIdleBeat);
    // Notifiers silenced while an engine wait was pumping listen again.
    if (pumpNotifier_) pumpNotifier_->setEnabled(true);
    for (auto& [fd, notifier] : inputNotifiers_) notifier->setEnabled(true);
    timer_.start(wait);
}

void StateMachineDriver::InputArrived(int fd, QSocketNotifier* notifier) {
    // One wake-up per watch: bytes nobody collects must not fire again and again.
    notifier->setEnabled(false);
    if (gPumpDepth > 0) {
        Defer();  // the engine's wait polls the line itself and keeps its watch
        return;
    }
    UnwatchInput(fd);  // the reader arms it again once it has collected and still waits
    Step();
}

void StateMachineDriver::MirrorWatches() {
    const std::vector<int> watched = WatchedInputs();
    for (auto it = inputNotifiers_.begin(); it != inputNotifiers_.end();) {
        if (std::find(watched.begin(), watched.end(), it->first) == watched.end()) {
            // Possibly inside its own signal, and the descriptor may be closed next.
            it->second->setEnabled(false);
            it->second->deleteLater();
            it = inputNotifiers_.erase(it);
        } else {
            ++it;
        }
    }
    for (int fd : watched) {
        if (inputNotifiers_.contains(fd)) continue;
        auto* notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
        connect(notifier, &QSocketNotifier::activated, this,
                [this, fd, notifier] { InputArrived(fd, notifier); });
        inputNotifiers_.emplace(fd, notifier);
    }
}

}  // namespace posbench::gui
