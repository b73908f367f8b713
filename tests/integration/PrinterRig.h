#pragma once
// A printer on port 1 for script and download tests: posbench-printer over TCP loopback or a
// pseudo-terminal, configured through Startup.ini and the real port table, with scripts run
// through the real script processor and state machine. The printer's log gives the pieces it
// read and when; its flash file and store directory what it kept.
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "app/Engine.h"
#include "base/Tick.h"
#include "base/Views.h"
#include "comm/CommGlobals.h"
#include "comm/PortRequests.h"
#include "comm/PortTable.h"
#include "script/ScriptProcessor.h"
#include "script/StateMachine.h"
#include "support/PrinterLog.h"
#include "support/SimPrinter.h"
#include "support/TestSupport.h"
#include "support/Wait.h"

namespace posbench::test {

// Keeps every progress report.
class RecordingProgress : public IProgress {
public:
    struct Report {
        int16_t port;
        std::string what;
        int64_t bytesDone, bytesTotal, blocksDone, blocksTotal;
    };
    void DownloadProgress(int16_t port, const std::string& what, int64_t bytesDone,
                          int64_t bytesTotal, int64_t blocksDone, int64_t blocksTotal) override {
        reports.push_back({port, what, bytesDone, bytesTotal, blocksDone, blocksTotal});
    }
    void DownloadEnded(int16_t port, bool ok) override { ended.emplace_back(port, ok); }
    std::vector<Report> reports;
    std::vector<std::pair<int16_t, bool>> ended;
};

class PrinterRig {
public:
    // Starts the printer with extra options and opens port 1 on it (a printer started before
    // goes, with its log and what the rig recorded).
    void Start(Medium medium, std::vector<std::string> extra = {}) {
        engine.reset();
        printer.reset();
        std::filesystem::remove(dir / "printer.log");
        status.lines.clear();
        host.timeouts.clear();
        progress = {};
        engine.emplace();
        AttachViews({.status = &status, .responses = &box, .progress = &progress, .host = &host});
        SetBeepHook([] {});
        std::filesystem::create_directories(dir / "home");
        std::filesystem::create_directories(dir / "store");
        gsProgramDir = dir / "home";
        std::vector<std::string> args{"--log",   dir / "printer.log", "--flash", dir / "flash.bin",
                                      "--store", dir / "store",       "--reset-ms", "300"};
        args.insert(args.end(), extra.begin(), extra.end());
        MediumPrinter started = StartOnMedium(medium, std::move(args), dir / "com1");
        printer = std::move(started.printer);
        std::ofstream(dir / "home/Startup.ini") << started.startupIni;
        {
            // The second the TCP open grants a printer that has just hung up passes at once.
            ManualClock quick(TickCount(), 50);
            ASSERT_TRUE(engine->Start()) << gsCommErr;
        }
        ASSERT_EQ(giNumPorts, 1);
    }
    ~PrinterRig() {
        engine.reset();
        printer.reset();
    }

    // Writes the script's lines (CRLF) to script.txt and runs it on port 1 until it has ended
    // (or the limit has passed).
    void RunScript(const std::vector<std::string>& lines,
                   std::chrono::milliseconds limit = std::chrono::seconds(10)) {
        std::string text;
        for (const std::string& line : lines) text += line + "\r\n";
        const std::string path = dir.Write("script.txt", text);
        gbStop(1) = false;
        gbScriptRunning(1) = true;
        RunTextFile(1, false, path);
        RunEngineWhile(Busy, limit);
    }
    static bool Busy() {
        return gbScriptRunning(1) || gbSendPending(1) || gbReadPending(1) || gbFlashDl(1) ||
               gbBootDl(1) || gbFileDl(1) || gbIBankDl(1);
    }

    std::string ReadFile(const std::string& name) const { return dir.Read(name); }
    PrinterLog Log() const { return PrinterLog(dir / "printer.log"); }
    // Everything the printer read, once it has read at least `least` bytes (bounded wait).
    std::string Stream(std::size_t least = 0) const {
        std::string stream;
        PumpUntil([&] { return (stream = Log().Stream()).size() >= least; });
        return stream;
    }
    bool WaitForEvent(const std::string& text) const {
        return WaitForLogEvent(dir / "printer.log", text);
    }
    // Waits (bounded) until the printer has kept at least `size` bytes in the file.
    bool WaitForFile(const std::string& name, std::size_t size) const {
        return PumpUntil([&] { return ReadFile(name).size() >= size; }, 5000);
    }
    // The port's request flags and the last status lines, for a failure message.
    std::string State() const {
        std::ostringstream out;
        out << "send " << gbSendPending(1) << " read " << gbReadPending(1) << " flash "
            << gbFlashDl(1) << " boot " << gbBootDl(1) << " file " << gbFileDl(1) << " bank "
            << gbIBankDl(1) << " script " << gbScriptRunning(1) << "; last lines:";
        const std::size_t n = status.lines.size();
        for (std::size_t i = n > 5 ? n - 5 : 0; i < n; ++i) out << "\n  " << status.lines[i];
        return out.str();
    }
    // The download ended once, well or not.
    bool EndedOnce(bool ok) const {
        return progress.ended == std::vector<std::pair<int16_t, bool>>{{1, ok}};
    }
    bool Shown(const std::string& line) const {
        return std::find(status.lines.begin(), status.lines.end(), line) != status.lines.end();
    }
    // The status lines that contain any of the given words, in order.
    std::vector<std::string> LinesWith(const std::vector<std::string>& words) const {
        std::vector<std::string> out;
        for (const auto& l : status.lines)
            for (const auto& w : words)
                if (l.find(w) != std::string::npos) {
                    out.push_back(l);
                    break;
                }
        return out;
    }

    std::optional<Engine> engine;  // one program start per Start; its end closes the port
    ScratchDir dir;
    RecordingStatusList status;
    RecordingResponseBox box;
    RecordingEngineHost host;
    RecordingProgress progress;
    std::unique_ptr<SimPrinter> printer;
};

}  // namespace posbench::test
