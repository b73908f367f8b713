#include "FuzzSupport.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/Tick.h"
#include "comm/CommGlobals.h"
#include "support/TestSupport.h"

namespace posbench::fuzz {
namespace fs = std::filesystem;

namespace {

struct ScratchHolder {
    std::string path;
    ScratchHolder() {
        std::string pattern = (fs::temp_directory_path() / "posbench-fuzz-XXXXXX").string();
        if (!mkdtemp(pattern.data())) std::abort();
        path = pattern;
        if (chdir(path.c_str()) != 0) std::abort();
    }
    ~ScratchHolder() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
};

}  // namespace

const std::string& Scratch() {
    static ScratchHolder holder;
    return holder.path;
}

void FreshRun(uint32_t stepMs) {
    const std::string& dir = Scratch();
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(dir, ec)) fs::remove_all(entry.path(), ec);
    if (chdir(dir.c_str()) != 0) std::abort();
    test::ResetAllGlobals();
    gsProgramDir = dir;
    static uint32_t now = 0;
    now = 1000;
    SetClockHook([stepMs] { return now += stepMs; });
}

std::string WriteScratch(const std::string& name, const std::string& bytes) {
    std::string path = Scratch() + "/" + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

void InvariantBroken(const char* file, int line) {
    std::fprintf(stderr, "invariant broken at %s:%d\n", file, line);
    std::abort();
}

std::string ReadScratch(const std::string& name) {
    std::ifstream in(Scratch() + "/" + name, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

bool CouldLeaveScratch(const std::string& text) {
    return text.find('/') != std::string::npos || text.find('\\') != std::string::npos;
}

}  // namespace posbench::fuzz

#include "base/File.h"
#include "base/Views.h"
#include "comm/PortRequests.h"
#include "comm/PortTable.h"
#include "download/Downloads.h"
#include "script/Producers.h"
#include "script/ScriptState.h"
#include "script/StateMachine.h"

namespace posbench::fuzz {

PortRig::PortRig() {
    SetStatusList(&status);
    SetMessageBox(&box);
    SetResponseBox(&response);
    SetEngineHost(&host);
    gcolDevices.Clear();
    gsPortTable.push_back("COM1, 115200, DTR, ON");
    giNumPorts = 1;
    auto owned = std::make_unique<test::FakeDevice>();
    dev = owned.get();
    gcolDevices.Add("COM1", std::move(owned));
    StateMachineInit();
    RegisterDownloads();
}

PortRig::~PortRig() {
    Cancel();
    for (int i = 0; i < 10; ++i) StateMachinePass();
    gcolDevices.Clear();
    ResetProducers();
    CloseAllFiles();
    SetStatusList(nullptr);
    SetMessageBox(nullptr);
    SetResponseBox(nullptr);
    SetEngineHost(nullptr);
}

bool PortRig::Drive(int maxPasses) {
    for (int i = 0; i < maxPasses; ++i) {
        if (!gbScriptRunning(1) && !gbSendPending(1)) return true;
        StateMachinePass();
    }
    return !gbScriptRunning(1) && !gbSendPending(1);
}

}  // namespace posbench::fuzz
