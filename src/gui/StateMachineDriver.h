#pragma once
// Drives the transfer state machine from the Qt event loop. Between passes the window sleeps in
// the event loop until something happens: a notice or wake on the event pump's descriptor, bytes
// on a line the engine watches, or the time bound of the pass just made (a delay's end, a
// draining write's short poll, the slower beat while every port is idle). A pass that made
// progress is followed by another at once.
//
// The engine's own waits (WriteReadOk, download pauses, port reopens) pump window events through
// the window pump installed here. While one of them is on the stack no pass runs: the machine
// is never entered twice, just as when it ran as one loop underneath every event handler.
#include <QObject>
#include <QTimer>
#include <chrono>
#include <cstdint>
#include <map>

class QSocketNotifier;

namespace posbench::gui {

class StateMachineDriver : public QObject {
public:
    static constexpr std::chrono::milliseconds kIdleBeat{20};
    // Longest sleep of an engine wait (a download's pause, WriteReadOk) between window pumps.
    static constexpr std::chrono::milliseconds kEngineWaitSlice{5};

    explicit StateMachineDriver(QObject* parent = nullptr);
    ~StateMachineDriver() override;

    // Installs the window pump and the watch mirror and starts the passes.
    void Start();

    // Passes run by every driver of the program so far (how often the window wakes to work).
    static uint64_t PassesRun();

private:
    void Step();
    void InputArrived(int fd, QSocketNotifier* notifier);
    // Gives every watched descriptor a notifier and drops those of descriptors no longer watched.
    void MirrorWatches();
    // Brings a pass back once the engine's wait now pumping window events has returned.
    void Defer();

    QTimer timer_;
    QSocketNotifier* pumpNotifier_ = nullptr;
    std::map<int, QSocketNotifier*> inputNotifiers_;
};

}  // namespace posbench::gui
