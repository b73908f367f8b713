// posbench-cli against posbench-printer when things go wrong around the work: links that die
// under a command or a script, a second program on the port, a printer dead under a download,
// a reset followed by a request, hostile and empty files, a full disk, an endless loop,
// signals, and the exit status of a request that failed.
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "integration/CliRig.h"
#include "support/PrinterBytes.h"

namespace posbench {
namespace {

using namespace std::chrono_literals;
using test::CliResult;
using test::Medium;

// The text as printed, or as it reads across the 55-character cuts of a status line.
bool Has(const CliResult& r, const std::string& text) {
    std::string all = r.out + r.err;
    if (all.find(text) != std::string::npos) return true;
    std::erase(all, '\n');
    return all.find(text) != std::string::npos;
}

// The run ended with this status and said this.
void Expect(const CliResult& r, int status, const std::string& text) {
    EXPECT_EQ(r.status, status) << r.out << r.err;
    EXPECT_TRUE(Has(r, text)) << text << "\n" << r.out << r.err;
}

class HostileRunTest : public ::testing::Test {
protected:
    CliResult Run(std::vector<std::string> args, test::CliRunOptions how = {}) const {
        how.limit = 40s;  // before the mends several of these waited for ever
        return rig.Run(std::move(args), how);
    }
    std::string Script(const std::string& body) const { return dir.Write("s.txt", body); }

    test::CliRig rig;
    const test::ScratchDir& dir = rig.dir;
};

TEST_F(HostileRunTest, LinkLostDuringACommandOrAScriptEndsTheWait) {
    rig.Start(Medium::Tcp, {"--fault", "drop-after=4"});  // after the first command's answer
    Expect(Run({"--command", "1D 49 40 A3 1D 49 40 27", "--count", "23"}), 1,
           "TCP Read Error: connection closed by the printer\nAttempting to reconnect");
    rig.Start(Medium::Pty, {"--fault", "drop-after=3"});
    const CliResult r = Run({Script("[WAIT]\r\nRCVT (17) 1D 49 40 27\r\n[MES] never\r\n")});
    Expect(r, 1, "(the line hung up)\nAttempting to reconnect");
    EXPECT_FALSE(Has(r, "never"));
}

// The printer hangs up before it answers: the read cannot even start. No cancel line is
// shown, yet the request failed.
TEST_F(HostileRunTest, ARequestThatFailedGivesExitOne) {
    rig.Start(Medium::Pty, {"--fault", "drop-after=3"});
    rig.Ini("[Communication]\nLPT1=ON\n[Devices]\nLPT1=" + rig.Printer().Path() + "\n");
    EXPECT_EQ(Run({"--command", "1D 49 40 27", "--count", "17"}).status, 1);
}

TEST_F(HostileRunTest, SecondProgramOnTheUsbPairIsRefused) {
    rig.Start(Medium::Fifo);
    const int held = open((rig.Printer().Path() + "/to-printer").c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_EQ(flock(held, LOCK_EX | LOCK_NB), 0);  // as the first program holds it
    Expect(Run({"--command", "1B 40", "--count", "0"}), 1, "in use by another program");
    close(held);
}

TEST_F(HostileRunTest, WriteToADeadUsbPrinterIsBoundedAndARequestAfterAResetWaitsForTheLink) {
    rig.Start(Medium::Fifo, {"--fault", "kill-after=1"});
    Expect(Run({dir.Write("big.lgo", std::string(256 << 10, 'L'))}), 1,
           "Invalid Write 110\nAttempting to reconnect");
    rig.Start(Medium::Pty, {"--reset-ms", "300"});
    const CliResult r = Run({Script("[RES]\r\n[WAIT]\r\nRCVT (17) 1D 49 40 27\r\n")});
    Expect(r, 0, "COM1 open");
    EXPECT_TRUE(Has(r, "Response: Q310")) << r.out;
}

// Names that are not regular files are refused at once; a line without end is cut off; an
// empty logo is not reported as downloaded; an endless loop yields to --timeout; a capture on
// a full disk is not announced as saved.
TEST_F(HostileRunTest, HostileFilesFullDisksAndEndlessLoops) {
    rig.Start(Medium::Pty);
    const std::string fifo = dir / "f.txt";  // short names: the line is not cut at 55
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::filesystem::create_directory(dir / "d.txt");
    // Refused as wrong usage before any port is opened.
    for (const std::string& name : {fifo, dir / "d.txt"})
        Expect(Run({name}), 2, "Not a regular file: " + name);
    Expect(Run({Script("[MES] " + std::string(1100 << 10, 'x') + "\r\n")}), 1,
           "Line longer than 1 MiB");
    Expect(Run({dir.Write("empty.lgo", "")}), 1, "Empty file: empty.lgo: nothing to download");
    const CliResult r = Run({"--timeout", "1", Script("[UTI]\r\nLOOP 30000\r\nLOOP 30000\r\n"
                                                       "LOOP NEXT\r\nLOOP NEXT\r\n")});
    EXPECT_EQ(r.status, 1);
    EXPECT_LT(r.took, 15s);
    Expect(Run({Script("[UTI]\r\nSETU RHEX\r\nSETU FILO /dev/full\r\n[WAIT]\r\n"
                       "RCVT (17) 1D 49 40 27\r\n[UTI] SETU FILC\r\n")}),
           1, "Image not saved: /dev/full");
}

// A closed standard output does not stop a download; SIGTERM and SIGHUP cancel it cleanly.
TEST_F(HostileRunTest, SignalsDuringAFlash) {
    const std::string firmware = test::RandomBytes(2 << 16, 11);
    const std::string file = dir.Write("fw.bin", firmware);
    rig.Start(Medium::Pty, {"--flash", dir / "flash.bin", "--reset-ms", "300"});
    test::CliRunOptions closing;
    closing.closeOutAfterLines = 2;
    EXPECT_EQ(Run({file}, closing).status, 0);
    EXPECT_TRUE(test::ReadAll(dir / "flash.bin").substr(0, firmware.size()) == firmware);
    for (const int signal : {SIGTERM, SIGHUP}) {
        rig.Start(Medium::Pty);  // a fresh printer: the one cancelled under it is left inside a block
        test::CliRunOptions cue;
        cue.signalAfter = "Sector: 1";
        cue.signal = signal;
        const CliResult r = Run({file}, cue);
        Expect(r, 1, "Port 1 Download Aborted");
        EXPECT_TRUE(Has(r, signal == SIGTERM ? "SIGTERM: cancelled" : "SIGHUP: cancelled"));
    }
}

}  // namespace
}  // namespace posbench
