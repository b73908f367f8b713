#pragma once
// Drives the transfer state machine from the Qt event loop: a pass at once while passes make
// progress, the engine's short poll while a read or write is being polled, and a slower beat
// when every port is idle, so an idle window sleeps in the event loop instead of spinning.
//
// The engine's own waits (WriteReadOk, download pauses, port reopens) pump window events through
// the window pump installed here. While one of them is on the stack no pass runs: the machine
// is never entered twice, just as when it ran as one loop underneath every event handler.
#include <QObject>
#include <QTimer>
#include <chrono>

namespace posbench::gui {

class StateMachineDriver : public QObject {
public:
    static constexpr std::chrono::milliseconds kIdleBeat{20};

    explicit StateMachineDriver(QObject* parent = nullptr);
    ~StateMachineDriver() override;

    // Installs the window pump and starts the passes.
    void Start();

private:
    void Step();

    QTimer timer_;
};

}  // namespace posbench::gui
