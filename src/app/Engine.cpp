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

// Runs close and waits for it at most bound. A port's close joins its reader thread, and a
// thread inside a libusb bulk transfer (a read slice, or a write bounded only by its own
// timeout) or a driver that does not answer cannot be interrupted from here: rather than hang
// the program's end on a printer, the process ends without them after the bound, flushing its
// output first; the system releases the devices of a process that is gone.
void CloseWithin(std::chrono::milliseconds bound, int exitStatus,
                 const std::function<void()>& close) {
    std::mutex mutex;
    std::condition_variable closed;
    bool done = false;
    std::thread watchdog([&] {
        std::unique_lock lock(mutex);
        if (closed.wait_for(lock, bound, [&] { return done; })) return;
        std::fflush(nullptr);
        _exit(exitStatus);
    });
    close();
    {
        std::lock_guard lock(mutex);
        done = true;
    }
    closed.notify_one();
    watchdog.join();
}

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
    CloseWithin(bound_, exitStatus, [] {
        // Each device's close stops its reader thread before it lets go of the descriptor.
        for (long port = 1; port <= gcolDevices.Count(); ++port) gcolDevices.Item(port).CloseComm();
        gcolDevices.Clear();
    });
    StopPortTrace();
    // Notices the readers posted before they stopped refer to devices that are gone.
    DiscardNotices();
    ResetProducers();
    DetachViews();
    return exitStatus;
}

}  // namespace posbench
