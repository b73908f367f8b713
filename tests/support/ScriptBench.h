#pragma once
// A bench for the script layer: port 1 is "COM1" on a scripted FakeDevice, the views record what
// they are shown, and script files run through the processor and the state machine until the
// port ends.
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/File.h"
#include "comm/CommGlobals.h"
#include "comm/PortRequests.h"
#include "comm/PortTable.h"
#include "script/Producers.h"
#include "script/ScriptProcessor.h"
#include "script/ScriptState.h"
#include "script/StateMachine.h"
#include "support/FakeDevice.h"
#include "support/TestSupport.h"

namespace posbench::test {

class ScriptBench : public ::testing::Test {
protected:
    void SetUp() override {
        SetStatusList(&status);
        SetResponseBox(&box);
        SetEngineHost(&host);
        gcolDevices.Clear();
        gsPortTable.push_back("COM1, 115200, DTR, ON");
        giNumPorts = 1;
        auto owned = std::make_unique<FakeDevice>();
        dev = owned.get();
        gcolDevices.Add("COM1", std::move(owned));
        StateMachineInit();
    }
    void TearDown() override {
        gcolDevices.Clear();
        ResetProducers();
        CloseAllFiles();
    }

    void Passes(int n) {
        for (int i = 0; i < n; ++i) StateMachinePass();
    }
    // The lines as a CRLF text file in the scratch directory; returns its path.
    std::string Write(const std::string& name, const std::vector<std::string>& lines) {
        std::string text;
        for (const auto& l : lines) text += l + "\r\n";
        return dir.Write(name, text);
    }
    // Starts the script as the send dispatcher does and runs the machine until the port ends.
    void Run(const std::string& path) {
        gbStop(1) = false;
        gbScriptRunning(1) = true;
        RunTextFile(1, false, path);
        Drive();
        EXPECT_FALSE(gbScriptRunning(1));
    }
    void Drive() {
        for (int i = 0; i < 5000 && (gbScriptRunning(1) || gbSendPending(1)); ++i) StateMachinePass();
    }
    long Count(const std::string& line) const {
        long n = 0;
        for (const auto& l : status.lines) n += l == line ? 1 : 0;
        return n;
    }
    bool Shown(const std::string& line) const { return Count(line) > 0; }
    // The status lines joined: long lines are shown in 55-character pieces.
    std::string Joined() const {
        std::string all;
        for (const auto& l : status.lines) all += l;
        return all;
    }

    ScratchDir dir;
    RecordingStatusList status;
    RecordingResponseBox box;
    RecordingEngineHost host;
    FakeDevice* dev = nullptr;
};

}  // namespace posbench::test
