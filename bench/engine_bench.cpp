// Engine loop figures: (a) CPU used and wake-ups of the state machine's thread with six ports
// open on posbench-printer (one over TCP, five over pseudo-terminals) and nothing to do, (b)
// lines per second of a [HEX] script written to posbench-printer over loopback and over a
// pseudo-terminal. Run: posbench-bench-engine [idle-seconds] [lines]
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "comm/CommGlobals.h"
#include "comm/PortRequests.h"
#include "comm/PortTable.h"
#include "comm/StartupConfig.h"
#include "script/ScriptProcessor.h"
#include "script/StateMachine.h"
#include "support/SimPrinter.h"
#include "support/TestSupport.h"

namespace {

using namespace posbench;
using Clock = std::chrono::steady_clock;

double CpuSeconds() {
    rusage use{};
    getrusage(RUSAGE_SELF, &use);
    return static_cast<double>(use.ru_utime.tv_sec + use.ru_stime.tv_sec) +
           static_cast<double>(use.ru_utime.tv_usec + use.ru_stime.tv_usec) / 1e6;
}

// The thread's voluntary context switches so far: each is a sleep that something ended.
long WakeUps() {
    std::ifstream status("/proc/thread-self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("voluntary_ctxt_switches:", 0) == 0) return std::atol(line.c_str() + 24);
    return -1;
}

void IdleLoop(double seconds) {
    test::ResetAllGlobals();
    test::ScratchDir dir;
    std::vector<std::unique_ptr<test::SimPrinter>> printers;
    printers.push_back(std::make_unique<test::SimPrinter>(
        std::vector<std::string>{"--listen", "127.0.0.1:0"}));
    std::string ini = "[Communication]\nTCP=127.0.0.1:" + std::to_string(printers[0]->Port()) +
                      ", ON\n";
    std::string devices = "[Devices]\n";
    for (int n = 1; n <= 5; ++n) {
        const std::string com = "COM" + std::to_string(n);
        printers.push_back(std::make_unique<test::SimPrinter>(
            std::vector<std::string>{"--pty", dir / com}));
        ini += com + "=115200,DTR,ON\n";
        devices += com + "=" + printers.back()->Path() + "\n";
    }
    std::filesystem::create_directory(dir / "home");
    gsProgramDir = dir / "home";
    std::ofstream(dir / "home/Startup.ini") << ini << devices;
    Startup();
    if (!ConfigureDevices()) std::printf("idle loop: not every port opened: %s\n", gsCommErr.c_str());
    StateMachineInit();
    // One pass to settle the ports (their first reads started), then the quiet measured.
    RunStateMachine([n = 0]() mutable { return n++ < 3; });
    const double cpu0 = CpuSeconds();
    const long wake0 = WakeUps();
    const auto end = Clock::now() + std::chrono::duration<double>(seconds);
    long passes = 0;
    RunStateMachine([&] { ++passes; return Clock::now() < end; });
    const double cpu = CpuSeconds() - cpu0;
    const long wakes = WakeUps() - wake0;
    std::printf("idle loop, %d ports open: %.1f s, %ld passes, %ld wake-ups = %.1f per second, "
                "CPU %.3f s = %.3f%% of one core\n",
                giNumPorts, seconds, passes, wakes, static_cast<double>(wakes) / seconds, cpu,
                100.0 * cpu / seconds);
    gcolDevices.Clear();
}

void HexScript(bool tcp, long lines) {
    test::ResetAllGlobals();
    test::ScratchDir dir;
    const std::string capture = dir / "capture.bin";
    std::unique_ptr<test::SimPrinter> printer;
    std::string ini;
    if (tcp) {
        printer = std::make_unique<test::SimPrinter>(
            std::vector<std::string>{"--listen", "127.0.0.1:0", "--capture", capture});
        ini = "[Communication]\nTCP=127.0.0.1:" + std::to_string(printer->Port()) + ", ON\n";
    } else {
        printer = std::make_unique<test::SimPrinter>(
            std::vector<std::string>{"--pty", dir / "com1", "--capture", capture});
        ini = "[Communication]\nCOM1=115200,DTR,ON\n[Devices]\nCOM1=" + printer->Path() + "\n";
    }
    std::filesystem::create_directory(dir / "home");
    gsProgramDir = dir / "home";
    std::ofstream(dir / "home/Startup.ini") << ini;
    Startup();
    if (!ConfigureDevices()) {
        std::printf("%s: %s\n", tcp ? "tcp" : "pty", gsCommErr.c_str());
        return;
    }
    std::string text = "[HEX]\r\n";
    for (long i = 0; i < lines; ++i) text += "1B 40 41 42 0A\r\n";
    const std::string path = dir.Write("s.txt", text);

    StateMachineInit();
    const auto start = Clock::now();
    gbStop(1) = false;
    gbScriptRunning(1) = true;
    RunTextFile(1, false, path);
    const auto limit = start + std::chrono::seconds(120);
    RunStateMachine([&] { return (gbScriptRunning(1) || gbSendPending(1)) && Clock::now() < limit; });
    // Timed until the printer has every byte, not only until the last write was handed over.
    const auto want = static_cast<std::uintmax_t>(lines) * 5;
    std::error_code ec;
    while (std::filesystem::file_size(capture, ec) < want && Clock::now() < limit)
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    const double secs = std::chrono::duration<double>(Clock::now() - start).count();
    const std::uintmax_t got = std::filesystem::file_size(capture, ec);
    std::printf("%s: %ld lines in %.3f s = %.0f lines/s%s\n", tcp ? "tcp loopback" : "pseudo-terminal",
                lines, secs, static_cast<double>(lines) / secs,
                got == want ? "" : " (the printer did not get every byte)");
    gcolDevices.Clear();
}

}  // namespace

int main(int argc, char** argv) {
    const double idleSeconds = argc > 1 ? std::atof(argv[1]) : 10.0;
    const long lines = argc > 2 ? std::atol(argv[2]) : 10000;
    IdleLoop(idleSeconds);
    HexScript(true, lines);
    HexScript(false, lines);
    return 0;
}
