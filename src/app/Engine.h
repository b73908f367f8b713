#pragma once
// The engine's life, the same for the desktop program, posbench-cli and the tests: the program
// directory, the producers that live above the script engine, the views, the start-up sequence,
// and an orderly end that closes every port, and with it whatever reads for the port.
//
//   SetUpProgramDirFor(dirOption, argv0, error);   // before any port is opened
//   Engine engine;                                 // producers registered
//   AttachViews({&status, &responses, ...});
//   engine.Start([&] { /* the main window, which fills the port list */ });
//   ... the main loop ...
//   return engine.Shutdown(status);
#include <chrono>
#include <functional>
#include <string>

namespace posbench {

class IStatusList;
class IResponseBox;
class IProgress;
class IPortList;
class IEngineHost;
class IImagingViews;

// The program directory chosen by --dir, $POSBENCH_HOME or $XDG_CONFIG_HOME, created, seeded
// with the samples found beside the program (argv0 when /proc/self/exe cannot be read) or in
// the source tree it was built from, and set as gsProgramDir. False with the reason in error.
bool SetUpProgramDirFor(const std::string& dirOption, const char* argv0, std::string& error);

// The windows (or their stand-ins) the engine reports through; a null member leaves that
// output nowhere.
struct EngineViews {
    IStatusList* status = nullptr;
    IResponseBox* responses = nullptr;
    IProgress* progress = nullptr;
    IPortList* portList = nullptr;
    IEngineHost* host = nullptr;
    IImagingViews* imaging = nullptr;
};
void AttachViews(const EngineViews& views);
// The engine reaches no window any more: every view above, the VK utility's display, the
// configuration opener and the demo loader are forgotten.
void DetachViews();

class Engine {
public:
    // How long the ports may take to close before the process ends without them.
    static constexpr std::chrono::milliseconds kShutdownBound{3000};

    // Registers the downloads and the check-image commands with the script engine and clears
    // what the program clears before any window exists.
    explicit Engine(std::chrono::milliseconds shutdownBound = kShutdownBound);
    // Shuts down when Shutdown has not run, with the status of a failure.
    ~Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // Startup.ini read and the ports built and opened; createMainWindow runs in between and
    // fills the port list (RunStartup). False when not every port could be set up; the
    // program goes on with those that were.
    bool Start(const std::function<void()>& createMainWindow = {});

    // The orderly end, once: the event pump's hooks removed, every port closed (which ends
    // whatever reads for it, a reader thread included) and released, the port trace ended,
    // undelivered notices dropped, the producers and views forgotten. Returns exitStatus, so
    // that a program can end with `return engine.Shutdown(status)`. Should closing outlast
    // the bound, the process ends there with exitStatus.
    int Shutdown(int exitStatus);

private:
    std::chrono::milliseconds bound_;
    bool down_ = false;
};

}  // namespace posbench
