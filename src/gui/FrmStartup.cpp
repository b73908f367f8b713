#include "gui/FrmStartup.h"

#include <QLabel>
#include <QVBoxLayout>
#include <algorithm>

#include "gui/FrmMain.h"

namespace posbench::gui {

FrmStartup::FrmStartup(QWidget* parent) : QWidget(parent) {
    setObjectName("frmStartup");
    setWindowTitle("Startup");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel("posbench is starting...", this));
    resize(260, 60);

    tmrStateMachine_.setObjectName("tmrStateMachine");
    tmrStateMachine_.setSingleShot(true);
    tmrStateMachine_.setInterval(200);
    connect(&tmrStateMachine_, &QTimer::timeout, this, [this] { StartUp(); });
    tmrStateMachine_.start();

    tmrMain_.setObjectName("tmrMain");
    tmrMain_.setInterval(static_cast<int>(kMainTickMs));
    connect(&tmrMain_, &QTimer::timeout, this, [this] { recovery_.MainTimerTick(); });

    tmrRecovery_.setSingleShot(true);
    tmrRecovery_.setTimerType(Qt::PreciseTimer);
    connect(&tmrRecovery_, &QTimer::timeout, this, [this] {
        recovery_.RunExpired();
        ScheduleRecovery();
    });
    recovery_.SetArmedHook([this] { ScheduleRecovery(); });
}

FrmStartup::~FrmStartup() {
    tmrMain_.stop();
    tmrRecovery_.stop();
    recovery_.SetTickHook(nullptr);
    recovery_.SetArmedHook(nullptr);
}

void FrmStartup::ScheduleRecovery() {
    if (recovery_.AnyInProgress())
        tmrRecovery_.start(static_cast<int>(std::min<uint32_t>(recovery_.UntilDeadline(), 1u << 30)));
}

void FrmStartup::StartUp() {
    startupOk_ = engine_.Start([this] {
        main_ = std::make_unique<FrmMain>(recovery_);
        main_->show();
    });
    recovery_.SetTickHook([this] {
        if (main_) main_->UpdateClock();
    });
    hide();
    tmrMain_.start();
    driver_.Start();
}

}  // namespace posbench::gui
