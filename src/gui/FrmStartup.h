#pragma once
// The start-up window (frmStartup), titled "Startup". 200 ms after it is shown its one-shot
// timer reads Startup.ini, builds and opens the ports, creates the main window, starts the
// 500 ms clock and link-recovery timer and hands over to the state-machine driver, which runs
// for the life of the program. The window then steps out of sight; its timers stay.
#include <QTimer>
#include <QWidget>
#include <memory>

#include "app/Engine.h"
#include "app/LinkRecovery.h"
#include "gui/StateMachineDriver.h"

namespace posbench::gui {

class FrmMain;

class FrmStartup : public QWidget {
public:
    explicit FrmStartup(QWidget* parent = nullptr);
    ~FrmStartup() override;

    // The main window once start-up has run (null before).
    FrmMain* MainForm() const { return main_.get(); }
    LinkRecovery& Recovery() { return recovery_; }
    bool StartupSucceeded() const { return startupOk_; }
    // The engine's orderly end (Engine::Shutdown) once the event loop is over.
    int Shutdown(int exitStatus) { return engine_.Shutdown(exitStatus); }

private:
    void StartUp();
    void ScheduleRecovery();

    Engine engine_;  // first: the windows and timers below go before it shuts down
    LinkRecovery recovery_;
    StateMachineDriver driver_;
    QTimer tmrStateMachine_;
    QTimer tmrMain_;
    QTimer tmrRecovery_;  // a port's recovery deadline between ticks, so it fires on time
    std::unique_ptr<FrmMain> main_;
    bool startupOk_ = false;
};

}  // namespace posbench::gui
