// posbench-cli against posbench-printer when things go wrong around the work: links that die
// during a command or a script, a second program on the port, a printer gone dead under a
// download, a reset followed by a request, hostile and empty files, a full disk, an endless
// loop, signals, and the exit status of a request that failed.
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/CliRun.h"
#include "support/SimPrinter.h"
#include "support/TestSupport.h"

namespace posbench {
namespace {

using namespace std::chrono_literals;
using test::CliResult;
using test::Medium;

bool Has(const CliResult& r, const std::string& text) {
    return r.out.find(text) != std::string::npos || r.err.find(text) != std::string::npos;
}

class HostileRunTest : public ::testing::Test {
protected:
    void Start(Medium medium, std::vector<std::string> args = {}) {
        started = test::StartOnMedium(medium, std::move(args),
                                      dir / (medium == Medium::Pty ? "com1" : "usb"));
        Ini(started.startupIni);
    }
    void Ini(const std::string& text) const {
        std::filesystem::create_directories(home);
        std::ofstream(home + "/Startup.ini") << text;
    }
    CliResult Run(std::vector<std::string> args, test::CliRunOptions how = {}) const {
        args.insert(args.begin(), {"--dir", home});
        how.limit = 40s;
        return test::RunCli(args, how);
    }
    std::string Script(const std::string& body) const { return dir.Write("s.txt", body); }

    test::ScratchDir dir;
    std::string home = dir / "home";
    test::MediumPrinter started;
};

// The printer's side goes away while the tool waits for its answer: the wait ends with the
// reason and a reconnection instead of lasting for ever.
TEST_F(HostileRunTest, LinkLostDuringACommandOrAScriptEndsTheWait) {
    Start(Medium::Tcp, {"--fault", "drop-after=4"});
    CliResult r = Run({"--command", "1D 49 40 A3 1D 49 40 27", "--count", "23"});
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    EXPECT_TRUE(Has(r, "TCP Read Error: connection closed by the printer\nAttempting to reconnect"))
        << r.out;

    Start(Medium::Pty, {"--fault", "drop-after=3"});
    r = Run({Script("[WAIT]\r\nRCVT (17) 1D 49 40 27\r\n[MES] never\r\n")});
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    EXPECT_TRUE(Has(r, "(the line hung up)\nAttempting to reconnect")) << r.out;
    EXPECT_FALSE(Has(r, "never"));
}

// A request whose read cannot even start (the printer hung up right after the command) is a
// failure, although no cancel line is shown.
TEST_F(HostileRunTest, ARequestThatFailedGivesExitOne) {
    Start(Medium::Pty, {"--fault", "drop-after=4"});
    Ini("[Communication]\nLPT1=ON\n[Devices]\nLPT1=" + started.printer->Path() + "\n");
    const CliResult r = Run({"--command", "1D 49 40 27", "--count", "17"});
    EXPECT_EQ(r.status, 1) << r.out << r.err;
}

// Another program holds the USB pair: the port is refused and the user told why.
TEST_F(HostileRunTest, SecondProgramOnTheUsbPairIsRefused) {
    Start(Medium::Fifo);
    const int held = open((started.printer->Path() + "/to-printer").c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_EQ(flock(held, LOCK_EX | LOCK_NB), 0);
    const CliResult r = Run({"--command", "1B 40", "--count", "0"});
    close(held);
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    EXPECT_TRUE(Has(r, "in use by another program")) << r.out;
}

// A USB printer that died under a logo download: the write gives up after its time-out
// instead of blocking the program for ever on a pipe nobody empties.
TEST_F(HostileRunTest, WriteToADeadUsbPrinterIsBounded) {
    Start(Medium::Fifo, {"--fault", "kill-after=1"});
    const std::string logo = dir.Write("big.lgo", std::string(256 << 10, 'L'));
    const CliResult r = Run({logo});
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    EXPECT_TRUE(Has(r, "Invalid Write 110\nAttempting to reconnect")) << r.out;
}

// After a reset the script's next request waits until the link is back, then gets its answer.
TEST_F(HostileRunTest, RequestAfterAResetWaitsForTheLink) {
    Start(Medium::Pty, {"--reset-ms", "300"});
    const CliResult r = Run({Script("[RES]\r\n[WAIT]\r\nRCVT (17) 1D 49 40 27\r\n")});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_TRUE(Has(r, "COM1 open")) << r.out;
    EXPECT_TRUE(Has(r, "Response: Q310")) << r.out;
}

// Names that are not regular files are refused at once; a line without end is cut off; an
// empty logo is not reported as downloaded; an endless loop yields to --timeout.
TEST_F(HostileRunTest, HostileFilesAndEndlessLoopsAreRefusedOrBounded) {
    Start(Medium::Tcp);
    const std::string fifo = dir / "f.txt";  // short names: the line is not cut at 55
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::filesystem::create_directory(dir / "d.txt");
    for (const std::string& name : {fifo, dir / "d.txt"}) {
        const CliResult r = Run({name});
        EXPECT_EQ(r.status, 1) << r.out << r.err;
        EXPECT_TRUE(Has(r, "Not a regular file: " + name)) << r.out;
    }

    CliResult r = Run({Script("[MES] " + std::string(1100 << 10, 'x') + "\r\n")});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Has(r, "Line longer than 1 MiB")) << r.err;

    r = Run({dir.Write("empty.lgo", "")});
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_TRUE(Has(r, "Empty file: empty.lgo: nothing to download")) << r.out;
    EXPECT_FALSE(Has(r, "download is complete"));

    r = Run({"--timeout", "1",
             Script("[UTI]\r\nLOOP 30000\r\nLOOP 30000\r\nLOOP NEXT\r\nLOOP NEXT\r\n")});
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    EXPECT_LT(r.took, 15s);
}

// A capture file that cannot be written whole is not announced as saved.
TEST_F(HostileRunTest, CaptureOnAFullDiskIsNotAnnounced) {
    Start(Medium::Tcp);
    const CliResult r = Run({Script("[UTI]\r\nSETU RHEX\r\nSETU FILO /dev/full\r\n"
                                    "[WAIT]\r\nRCVT (17) 1D 49 40 27\r\n[UTI] SETU FILC\r\n")});
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    EXPECT_TRUE(Has(r, "Image not saved: /dev/full")) << r.out;
    EXPECT_FALSE(Has(r, "Image saved as"));
}

// A closed standard output does not stop a download; SIGTERM and SIGHUP cancel it cleanly.
TEST_F(HostileRunTest, SignalsDuringAFlash) {
    std::string firmware(2 << 16, '\0');
    std::mt19937 random(11);
    for (char& c : firmware) c = static_cast<char>(random());
    const std::string file = dir.Write("fw.bin", firmware);
    Start(Medium::Pty, {"--flash", dir / "flash.bin", "--reset-ms", "300"});
    test::CliRunOptions closing;
    closing.closeOutAfterLines = 2;
    CliResult r = Run({file}, closing);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(test::ReadAll(dir / "flash.bin").substr(0, firmware.size()), firmware);

    for (const int signal : {SIGTERM, SIGHUP}) {
        test::CliRunOptions cue;
        cue.signalAfter = "Sector: 1";
        cue.signal = signal;
        r = Run({file}, cue);
        EXPECT_EQ(r.status, 1) << r.out << r.err;
        EXPECT_TRUE(Has(r, "Port 1 Download Aborted")) << r.out;
        EXPECT_TRUE(Has(r, signal == SIGTERM ? "SIGTERM: cancelled" : "SIGHUP: cancelled")) << r.err;
    }
}

}  // namespace
}  // namespace posbench
