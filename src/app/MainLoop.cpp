#include "app/MainLoop.h"

#include <algorithm>
#include <chrono>

#include "app/LinkRecovery.h"
#include "app/MainWindow.h"
#include "base/Display.h"
#include "base/Events.h"
#include "base/File.h"
#include "comm/CommGlobals.h"
#include "comm/PortRequests.h"
#include "comm/PortTable.h"
#include "comm/StartupConfig.h"
#include "script/ScriptState.h"
#include "script/StateMachine.h"

namespace posbench {

void ClearStartGlobals() {
    glCaptureCounter = 0;
    gbCounterSet = false;
    gsFileName.clear();
    gbCmdChosen = false;
}

bool RunStartup(const std::function<void()>& createMainWindow) {
    giMaxPorts = 1;
    bool ok = Startup();
    if (ok) ok = ConfigureDevices();
    if (createMainWindow) createMainWindow();
    for (const std::string& note : gsStartupNotes) Display(note);
    if (!ok) Display(gsCommErr);
    giEventPasses = 10;
    StateMachineInit();
    return ok;
}

bool PortHasWork(int16_t port) {
    return PortIsActive(port) || gbIBankDl(port) || gbSendPending(port) || gbReadAfterWrite(port) ||
           gbReadPending(port) || gbDelay(port) || gbConfigPending(port) || !WriteDrained(port);
}

void InstallTimerPump(LinkRecovery* timers, std::function<void()> alsoEachPump) {
    if (timers == nullptr) {
        SetWindowPump(nullptr);
        SetTimerDue(nullptr);
        return;
    }
    SetWindowPump([timers, also = std::move(alsoEachPump)] {
        timers->Poll();
        ServeOtherPorts();
        if (also) also();
    });
    SetTimerDue([timers] {
        return std::min(std::chrono::milliseconds(timers->UntilDue()), OtherPortsWait());
    });
}

void RunMainLoop(LinkRecovery& timers, const std::function<bool()>& keepRunning) {
    while (keepRunning()) {
        StateMachinePass();
        timers.Poll();
        const auto wait = std::min(StateMachineInputWait(),
                                   std::chrono::milliseconds(timers.UntilDue()));
        if (wait.count() > 0) WaitEventsOrInput(wait);
    }
}

}  // namespace posbench
