// A printer that stops reading in the middle of a 1 MiB logo download, on each medium, while a
// second printer on another medium takes the same download: the stalled port's write ends with
// its time-out ("Write Timeout Error: 110"; USB: "Invalid Write 110"), and the engine serves the
// other port meanwhile instead of waiting in a write.
#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/CliRun.h"
#include "support/SimPrinter.h"
#include "support/TestSupport.h"

namespace posbench {
namespace {

using namespace std::chrono_literals;
using test::Medium;

// Sends file (its name and bytes) on every port: the stalled printer's and a healthy one's.
test::CliResult RunStalled(Medium stalled, const std::string& name, const std::string& bytes,
                           const std::string& root) {
    const Medium healthy = stalled == Medium::Tcp ? Medium::Pty : Medium::Tcp;
    const std::string dir = root + "/" + test::NameOf(stalled);
    std::filesystem::create_directories(dir + "/home");
    const auto bad =
        test::StartOnMedium(stalled, {"--fault", "stall-after=20000"}, dir + "/stalled");
    const auto good = test::StartOnMedium(healthy, {}, dir + "/healthy");
    std::ofstream(dir + "/home/Startup.ini")
        << "[Communication]\n" << bad.communication << good.communication << "[Devices]\n"
        << bad.devices << good.devices;
    std::ofstream(dir + "/" + name, std::ios::binary) << bytes;
    test::CliRunOptions how;
    how.limit = 90s;
    return test::RunCli({"--dir", dir + "/home", "--port", "all", "--timeout", "60",
                         dir + "/" + name}, how);
}

TEST(StalledPrinter, WriteEndsOnItsTimeoutWhileTheOtherPortIsServed) {
    // A serial write may take 100 ms a byte on top of its 3 s, so a 256-byte logo piece would
    // wait 28 s there: the pty gets short text lines to fill the line's buffers instead.
    const std::string logo(1 << 20, 'L');
    std::string lines = "[TEXT]\r\n";
    for (int i = 0; i < 6000; ++i) lines += "0123456789\r\n";  // 72 KB: more than the line holds
    lines += "[MES] all sent\r\n";
    test::ScratchDir root;
    const std::vector<Medium> media{Medium::Tcp, Medium::Pty, Medium::Fifo};
    std::vector<std::future<test::CliResult>> runs;
    for (Medium m : media) {
        const bool pty = m == Medium::Pty;
        runs.push_back(std::async(std::launch::async, RunStalled, m, pty ? "lines.txt" : "logo.lgo",
                                  pty ? lines : logo, root.path().string()));
    }
    for (std::size_t i = 0; i < media.size(); ++i) {
        const test::CliResult run = runs[i].get();
        SCOPED_TRACE(std::string(test::NameOf(media[i])) + "\n" + run.out + run.err);
        // USB reports its write's time-out as it always has.
        const auto timedOut = run.out.find(media[i] == Medium::Fifo ? "Invalid Write 110"
                                                                     : "Write Timeout Error: 110");
        const auto otherDone =
            run.out.find(media[i] == Medium::Pty ? "all sent" : "download is complete");
        ASSERT_NE(timedOut, std::string::npos);
        // Done while the stalled port's write was still waiting on its printer.
        EXPECT_LT(otherDone, timedOut);
        EXPECT_EQ(run.status, 1);
        EXPECT_LT(run.took, 50s) << "ended by the write's time-out, not by --timeout";
    }
}

// The script's last line is the write the printer stops taking: no later write runs into its
// failure, so the port's end has to wait for it rather than report a clean run. (On loopback
// TCP the kernel's buffers would take the whole line; the FIFO pair holds 64 KiB.)
TEST(StalledPrinter, ALastWriteThePrinterNeverTakesFailsTheRun) {
    test::ScratchDir root;
    const test::CliResult run = RunStalled(Medium::Fifo, "last.txt",
                                           "[TEXT]\n" + std::string(1000000, 'x') + "\n",
                                           root.path().string());
    SCOPED_TRACE(run.out + run.err);
    EXPECT_NE(run.out.find("Invalid Write 110"), std::string::npos);
    EXPECT_EQ(run.status, 1);
}

}  // namespace
}  // namespace posbench
