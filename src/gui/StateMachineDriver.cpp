#include "gui/StateMachineDriver.h"

#include <QCoreApplication>
#include <algorithm>

#include "base/Events.h"
#include "script/StateMachine.h"

namespace posbench::gui {

namespace {
int gPumpDepth = 0;  // window pumps in progress on the stack (engine waits)
}

StateMachineDriver::StateMachineDriver(QObject* parent) : QObject(parent) {
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, [this] { Step(); });
}

StateMachineDriver::~StateMachineDriver() { SetWindowPump(nullptr); }

void StateMachineDriver::Start() {
    SetWindowPump([] {
        ++gPumpDepth;
        QCoreApplication::processEvents();
        --gPumpDepth;
    });
    timer_.start(0);
}

void StateMachineDriver::Step() {
    if (gPumpDepth > 0) {
        timer_.start(kIdleBeat);
        return;
    }
    DoEvents();  // device notices first: a reader's data is then seen by this pass
    const bool busy = StateMachinePass();
    std::chrono::milliseconds wait = StateMachineIdleWait();
    if (!busy) wait = std::max(wait, kIdleBeat);
    timer_.start(wait);
}

}  // namespace posbench::gui
