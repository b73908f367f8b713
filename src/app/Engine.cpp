#include "app/Engine.h"

#include <unistd.h>

#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>

#include "app/Catalogue.h"
#include "app/MainLoop.h"
#include "app/ProgramDir.h"
#include "base/Display.h"
#include "base/Events.h"
#include "base/Views.h"
#include "comm/PortTable.h"
#include "comm/PortTrace.h"
#include "download/Downloads.h"
#include "imaging/Imaging.h"
#include "imaging/ImagingViews.h"
#include "script/Producers.h"

#ifndef POSBENCH_SAMPLES_DIR
#define POSBENCH_SAMPLES_DIR ""
#endif

namespace posbench {

namespace {

// Ends the process with exitStatus unless it is destroyed within bound. A port's close joins
// the thread a libusb link reads with, and neither a bulk transfer that the driver does not end
// at its timeout nor a close that a driver does not answer can be interrupted from here: rather
// than hang the program's end on a printer, the process ends without them after the bound, its
// output flushed first; the system releases the devices of a process that is gone.
class ExitUnlessDoneWithin {
public:
    ExitUnlessDoneWithin(std::chrono::milliseconds bound, int exitStatus)
        : thread_([this, bound, exitStatus] {
              std::unique_lock lock(mutex_);
              if (doneChanged_.wait_for(lock, bound, [this] { return done_; })) return;
              std::fflush(nullptr);
              _exit(exitStatus);
          }) {}
    ~ExitUnlessDoneWithin() {
        {
            std::lock_guard lock(mutex_);
            done_ = true;
        }
        doneChanged_.notify_one();
        thread_.join();
    }
    ExitUnlessDoneWithin(const ExitUnlessDoneWithin&) = delete;
    ExitUnlessDoneWithin& operator=(const ExitUnlessDoneWithin&) = delete;

private:
    std::mutex mutex_;
    std::condition_variable doneChanged_;
    bool done_ = false;
    std::thread thread_;  // last: it starts once the members it uses exist
};

}  // namespace

bool SetUpProgramDirFor(const std::string& dirOption, const char* argv0, std::string& error) {
    const std::string samples =
        FindSamplesDir(SampleCandidates(ExecutablePath(argv0), POSBENCH_SAMPLES_DIR));
    return SetUpProgramDir(dirOption, samples, error);
}

void AttachViews(const EngineViews& views) {
    SetStatusList(views.status);
    SetResponseBox(views.responses);
    SetProgress(views.progress);
    SetPortList(views.portList);
    SetEngineHost(views.host);
    SetImagingViews(views.imaging);
}

void DetachViews() {
    AttachViews({});
    SetVKDisplay(nullptr);
    gbVKDisplay = false;
    SetConfigOpener(nullptr);
    SetDemoLoader(nullptr);
}

Engine::Engine(std::chrono::milliseconds shutdownBound) : bound_(shutdownBound) {
    RegisterDownloads();
    RegisterImaging();
    ClearStartGlobals();
}

Engine::~Engine() { Shutdown(1); }

bool Engine::Start(const std::function<void()>& createMainWindow) {
    return RunStartup(createMainWindow);
}

int Engine::Shutdown(int exitStatus) {
    if (down_) return exitStatus;
    down_ = true;
    InstallTimerPump(nullptr);
    {
        ExitUnlessDoneWithin bound(bound_, exitStatus);
        // Each device's close ends what reads for it (a thread, a watch) before it lets go of
        // its descriptor.
        for (long port = 1; port <= gcolDevices.Count(); ++port) gcolDevices.Item(port).CloseComm();
        gcolDevices.Clear();
    }
    StopPortTrace();
    // Notices the readers posted before they stopped refer to devices that are gone.
    DiscardNotices();
    ResetProducers();
    DetachViews();
    return exitStatus;
}

}  // namespace posbench
