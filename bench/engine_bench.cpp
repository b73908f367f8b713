// Engine loop figures: (a) CPU used by the state machine with six idle ports, (b) lines per
// second of a [HEX] script written to posbench-printer over loopback and over a pseudo-terminal.
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

void IdleLoop(double seconds) {
    test::ResetAllGlobals();
    // Six entries, all OFF: the loop visits every port each pass and finds nothing to do.
    for (int n = 1; n <= 6; ++n) gsPortTable.push_back("COM" + std::to_string(n) + ", 115200, DTR, OFF");
    giNumPorts = 6;
    StateMachineInit();
    const double cpu0 = CpuSeconds();
    const auto end = Clock::now() + std::chrono::duration<double>(seconds);
    long passes = 0;
    RunStateMachine([&] { ++passes; return Clock::now() < end; });
    const double cpu = CpuSeconds() - cpu0;
    std::printf("idle loop: %.1f s, %ld passes, CPU %.3f s = %.2f%% of one core\n", seconds,
                passes, cpu, 100.0 * cpu / seconds);
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
