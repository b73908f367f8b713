#pragma once
// A printer on port 1 for download tests: posbench-printer over TCP loopback or a
// pseudo-terminal, configured through Startup.ini and the real port table, with scripts run
// through the real script processor and state machine. The printer's log gives the pieces it
// read and when; its flash file and store directory what it kept.
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <thread>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "base/Views.h"
#include "comm/CommGlobals.h"
#include "comm/PortRequests.h"
#include "comm/PortTable.h"
#include "comm/StartupConfig.h"
#include "download/Downloads.h"
#include "script/ScriptProcessor.h"
#include "script/StateMachine.h"
#include "support/PrinterBytes.h"
#include "support/SimPrinter.h"
#include "support/TestSupport.h"

namespace posbench::test {

inline std::string MediumName(const testing::TestParamInfo<Medium>& info) {
    return info.param == Medium::Tcp ? "Tcp" : "Pty";
}

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

// One read of the printer: when (ms since its start) and the bytes.
struct Chunk {
    long ms;
    std::string bytes;
};

class PrinterRig {
public:
    // Starts the printer with extra options and opens port 1 on it.
    void Start(Medium medium, std::vector<std::string> extra = {}) {
        SetStatusList(&status);
        SetEngineHost(&host);
        SetProgress(&progress);
        RegisterDownloads();
        std::filesystem::create_directory(dir / "home");
        std::filesystem::create_directory(dir / "store");
        gsProgramDir = dir / "home";
        std::vector<std::string> args{"--log",   dir / "printer.log", "--flash", dir / "flash.bin",
                                      "--store", dir / "store",       "--reset-ms", "300"};
        args.insert(args.end(), extra.begin(), extra.end());
        MediumPrinter started = StartOnMedium(medium, std::move(args), dir / "com1");
        printer = std::move(started.printer);
        std::ofstream(dir / "home/Startup.ini") << started.startupIni;
        ASSERT_TRUE(Startup());
        ASSERT_TRUE(ConfigureDevices()) << gsCommErr;
        ASSERT_EQ(giNumPorts, 1);
        StateMachineInit();
    }
    ~PrinterRig() {
        gcolDevices.Clear();
        printer.reset();
    }

    // Writes the script and runs it on port 1 until it has ended (or the limit has passed).
    void RunScript(const std::string& text, std::chrono::milliseconds limit) {
        const std::string path = dir.Write("script.txt", text);
        gbStop(1) = false;
        gbScriptRunning(1) = true;
        RunTextFile(1, false, path);
        RunUntilIdle(limit);
    }
    void RunUntilIdle(std::chrono::milliseconds limit) {
        const auto end = std::chrono::steady_clock::now() + limit;
        RunStateMachine([&] { return Busy() && std::chrono::steady_clock::now() < end; });
    }
    static bool Busy() {
        return gbScriptRunning(1) || gbSendPending(1) || gbReadPending(1) || gbFlashDl(1) ||
               gbBootDl(1) || gbFileDl(1) || gbIBankDl(1);
    }

    std::string ReadFile(const std::string& name) const {
        std::ifstream in(dir / name, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    // The printer's reads, in order (event lines left out).
    std::vector<Chunk> Chunks() const {
        std::vector<Chunk> chunks;
        std::istringstream log(ReadFile("printer.log"));
        std::string line;
        while (std::getline(log, line)) {
            std::istringstream fields(line);
            long ms = 0;
            std::string count;
            if (!(fields >> ms >> count) || count == "#") continue;
            Chunk chunk{ms, {}};
            std::string hex;
            while (fields >> hex) chunk.bytes += static_cast<char>(std::stoi(hex, nullptr, 16));
            chunks.push_back(std::move(chunk));
        }
        return chunks;
    }
    // The printer's event lines ("flash erased", "image bank 2 of 300 bytes", ...).
    std::vector<std::string> Events() const {
        std::vector<std::string> events;
        std::istringstream log(ReadFile("printer.log"));
        std::string line;
        while (std::getline(log, line)) {
            const auto mark = line.find(" # ");
            if (mark != std::string::npos) events.push_back(line.substr(mark + 3));
        }
        return events;
    }
    // Waits (bounded) until the printer's log holds an event line containing text.
    bool WaitForEvent(const std::string& text, std::chrono::milliseconds limit) const {
        const auto end = std::chrono::steady_clock::now() + limit;
        for (;;) {
            for (const auto& e : Events())
                if (e.find(text) != std::string::npos) return true;
            if (std::chrono::steady_clock::now() >= end) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    // Everything the printer read, joined up.
    std::string Stream() const {
        std::string stream;
        for (const auto& c : Chunks()) stream += c.bytes;
        return stream;
    }
    // Waits (bounded) until the printer has kept at least `size` bytes in the file.
    bool WaitForFile(const std::string& name, std::size_t size) const {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (ReadFile(name).size() < size) {
            if (std::chrono::steady_clock::now() >= end) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return true;
    }
    // The port's request flags and the last status lines, for a failure message.
    std::string State() const {
        std::ostringstream out;
        out << "send " << gbSendPending(1) << " read " << gbReadPending(1) << " flash "
            << gbFlashDl(1) << " boot " << gbBootDl(1) << " file " << gbFileDl(1) << " bank "
            << gbIBankDl(1) << " script " << gbScriptRunning(1) << "; last lines:";
        const std::size_t n = status.lines.size();
        for (std::size_t i = n > 5 ? n - 5 : 0; i < n; ++i) out << "\n  " << status.lines[i];
        out << "\nprinter reads: " << Chunks().size();
        return out.str();
    }
    // The download ended once, well or not.
    bool EndedOnce(bool ok) const {
        return progress.ended == std::vector<std::pair<int16_t, bool>>{{1, ok}};
    }
    bool Shown(const std::string& line) const {
        for (const auto& l : status.lines)
            if (l == line) return true;
        return false;
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

    ScratchDir dir;
    RecordingStatusList status;
    RecordingEngineHost host;
    RecordingProgress progress;
    std::unique_ptr<SimPrinter> printer;
};

}  // namespace posbench::test
