// posbench-cli as a user runs it, against posbench-printer on loopback: scripts that end well
// and badly, a command and its refusals, the shipped samples, Ctrl-C and --timeout, and the
// configuration report. (A firmware download with its progress line and the TCP link's return
// after the reset: CliAutomationTest.TwoPortsFlashAtOnceEachWithItsOwnStatusStreamAndTrace.)
#include <algorithm>
#include <cctype>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "integration/CliRig.h"

namespace posbench {
namespace {

using namespace std::chrono_literals;
using test::CliResult;
using test::LinesOf;
using test::ReadAll;
using test::RunCli;
using test::ScratchDir;
using test::SimPrinter;

class CliTest : public ::testing::Test {
protected:
    // A printer that prints on paper.txt, named in the program directory: on a pseudo-terminal,
    // which opens at once where a TCP open first grants a just-closed printer a second.
    void StartPrinter(std::vector<std::string> extra = {},
                      test::Medium medium = test::Medium::Pty) {
        std::vector<std::string> args{"--paper", dir / "paper.txt", "--reset-ms", "300"};
        args.insert(args.end(), extra.begin(), extra.end());
        printer = &rig.Start(medium, args);
    }

    test::CliRig rig;
    const ScratchDir& dir = rig.dir;
    const std::string& home = rig.home;
    SimPrinter* printer = nullptr;
};

// (A command's reply: CliAutomationTest.JsonLinesCarryTheEventsOfTheTextOutput.)
TEST_F(CliTest, CommandWithoutReplyAndWhatIsRefusedBeforeAPortOpens) {
    StartPrinter();
    CliResult r = rig.Run({"--command", "\"Hello\"", "--count", "0"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");

    // A file of a type Send does not pass on: nothing sent, and the user is told so.
    r = rig.Run({dir.Write("notes.doc", "x")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("notes.doc: nothing sent"), std::string::npos) << r.err;
}

TEST_F(CliTest, CheckImageScriptAndTheTiffOptionsWithoutAPort) {
    StartPrinter();
    CliResult r = rig.Run({home + "/Scripts/CheckImage.txt"});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    const std::string tiff = home + "/Scripts/IMG0001.TIF";
    EXPECT_NE(r.out.find("Bitmap: " + home + "/Scripts/temp1.bmp\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\nT123456789T 0123456789O 1042\n"), std::string::npos) << r.out;

    printer->Stop();  // the options open no port
    r = RunCli({"--micr", tiff});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "T123456789T 0123456789O 1042\n");
    r = RunCli({"--tags", tiff});
    EXPECT_EQ(LinesOf(r.out).size(), 18u);
    EXPECT_NE(r.out.find("Width           0100   0004   0000 0001  0000 06C0  1728\n"),
              std::string::npos) << r.out;
    r = RunCli({"--image", tiff});
    EXPECT_EQ(r.out, home + "/Scripts/temp1.bmp\n");
    r = RunCli({"--image", dir.Write("not.tif", "GIF89a")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Invalid or unsupported TIFF header"), std::string::npos) << r.err;
}

TEST_F(CliTest, PortThatWouldNotOpenAndWrongUsage) {
    StartPrinter({}, test::Medium::Tcp);
    printer->Stop();
    CliResult r = rig.Run({"--command", "1B 40"});
    EXPECT_EQ(r.status, 1);
    const auto lines = LinesOf(r.out);
    ASSERT_GE(lines.size(), 2u) << r.out;
    EXPECT_EQ(lines.front().rfind("Port: 1.  ", 0), 0u);
    EXPECT_EQ(lines[1], printer->Path() + ": Connection refused");  // the device and the reason
    EXPECT_EQ(lines.back(), "Port  1 is Off");

    r = rig.Run({"--port", "3", dir.Write("x.txt", "[MES] x\r\n")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("No Active Ports"), std::string::npos);

    for (const auto& args : std::vector<std::vector<std::string>>{
             {}, {"--port", "7", "a.txt"}, {"--count", "3", "a.txt"}, {"--command"},
             {"--command", "1B 40", "a.txt"}, {"--bogus", "a.txt"}, {"a.txt", "b.txt"},
             {"--command", "1B", "--count", "-1"}, {"--timeout", "0", "a.txt"},
             {"--port=1,COM9", "a.txt"}, {"--port", "all,1", "a.txt"}, {"missing.txt"},
             {"--command", "1B 40", "--command", "1B QQ"}}) {
        r = RunCli(args);
        EXPECT_EQ(r.status, 2) << args.size();
        // One line saying what is wrong, and where to read more, before any port is opened.
        EXPECT_EQ(LinesOf(r.err).size(), 2u) << r.err;
        EXPECT_NE(r.err.find("\nsee posbench-cli --help\n"), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
    }
    r = RunCli({"--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("Ctrl-C"), std::string::npos);
}

// Ctrl-C reaches every wait a script can be in: a delay, the wait inside a port clear, the link
// recovery after a reset (whose settle time alone is 4 s); --timeout the port clear's too.
TEST_F(CliTest, CtrlCAndTimeoutReachEveryWait) {
    StartPrinter();
    const std::string cancel = "Error or operator initiated cancel on line  2";
    struct Case { const char* name; const char* body; std::vector<std::string> says; };
    const Case cases[] = {
        {"long", "[DEL] 600\r\n", {"long", cancel}},
        {"clearing", "[POR] CLEAR\r\n",
         {"clearing", "System Time error during ClearPortOK", "Error clearing Port: 1", cancel}},
        {"resetting", "[RES]\r\n", {"resetting", cancel}},
    };
    for (const Case& c : cases) {
        const std::string script =
            dir.Write(std::string(c.name) + ".txt", "[MES] " + std::string(c.name) + "\r\n" + c.body +
                                                        "[MES] never\r\n");
        test::CliRunOptions interrupt;
        interrupt.signalAfter = c.name;
        CliResult r = rig.Run({script}, interrupt);
        EXPECT_EQ(r.status, 1) << c.name;
        EXPECT_LT(r.took, 8s) << c.name;
        EXPECT_EQ(LinesOf(r.out), c.says);
        if (c.says.size() == 4) {
            r = rig.Run({"--timeout", "1", script});  // the clock runs from the first line on
            EXPECT_EQ(r.status, 1);
            EXPECT_EQ(LinesOf(r.out), c.says);
        }
    }
}

// Every script and download shipped in samples/, run as its readme says, against the printer.
struct Sample {
    const char* file;    // under the program directory
    const char* prints;  // text the paper must hold; nothing but line feeds when empty
    std::vector<std::string> says = {};  // the status lines, when the test pins them
};

class SampleTest : public CliTest, public ::testing::WithParamInterface<Sample> {};

TEST_P(SampleTest, RunsCleanlyAndPrintsOnlyWhatItSays) {
    StartPrinter({"--store", dir / "store"});
    const CliResult r = rig.Run({home + "/" + GetParam().file});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.out.find("Unknown Section"), std::string::npos) << r.out;
    if (!GetParam().says.empty()) {
        EXPECT_EQ(LinesOf(r.out), GetParam().says);
    }
    // The directory was seeded with what was missing; the user's own Startup.ini stays.
    EXPECT_TRUE(std::filesystem::exists(home + "/SUPrinters.ini"));
    EXPECT_EQ(ReadAll(home + "/Startup.ini"), rig.started.startupIni);
    printer->Stop();  // the paper is complete once the printer has ended
    const std::string paper = ReadAll(dir / "paper.txt");
    if (*GetParam().prints == '\0')
        EXPECT_EQ(paper.find_first_not_of('\n'), std::string::npos) << paper;
    else
        EXPECT_NE(paper.find(GetParam().prints), std::string::npos) << paper;
}

INSTANTIATE_TEST_SUITE_P(
    Shipped, SampleTest,
    testing::Values(Sample{"Scripts/Receipt.txt", "POSBENCH DEMO STORE\n",
                           {"Storing the logo", "posbench.lgo file size is: 149",
                            "Port 1 download is complete", "Receipt text sent",
                            "Q310             (00) ", "Printer status is ready", "Receipt done",
                            "Response: 12 "}},
                    Sample{"Scripts/TestPage.txt", "\nBold heading\n"},
                    Sample{"Scripts/Feed.txt", ""}, Sample{"Scripts/Status.txt", ""},
                    Sample{"Scripts/Identify.txt", ""}, Sample{"Logos/posbench.lgo", ""}),
    [](const testing::TestParamInfo<Sample>& sample) {
        std::string name = sample.param.file;
        for (char& c : name)
            if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
        return name;
    });

// --get-config over both media, two models with the two raw-data layouts (546 bytes on TCP,
// 522 on a serial line whose XON flow must give way for the binary dump), then the refusals.
class CliConfigTest : public ::testing::TestWithParam<test::Medium> {
protected:
    void Start(const std::string& model, const std::string& version = "") {
        std::vector<std::string> args{"--model", model};
        if (!version.empty()) args.insert(args.end(), {"--firmware", version});
        rig.Start(GetParam(), args);
        std::string ini = rig.started.startupIni;
        if (const auto at = ini.find("DTR"); at != std::string::npos) ini.replace(at, 3, "XON");
        rig.Ini(ini);
    }
    static std::string Row(const std::string& label, const std::string& value) {
        return "  " + (label + std::string(27, ' ')).substr(0, 27) + value;
    }
    test::CliRig rig;
    const ScratchDir& dir = rig.dir;
    const std::string& home = rig.home;
};

TEST_P(CliConfigTest, ReportOfTheSimulatorsNvramSavedAndRefusals) {
    const bool tcp = GetParam() == test::Medium::Tcp;
    const std::string model = tcp ? "Q350" : "Q330";
    Start(model);
    CliResult r = rig.Run({"--get-config", model, "--save", dir / "report.txt", "--timeout", "20"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    const auto lines = LinesOf(r.out);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "Delay of 5-10 seconds to input printer configuration");
    const std::vector<std::string> report(
        std::find(lines.begin(), lines.end(), model + " CONFIGURATION REPORT"), lines.end());
    ASSERT_GT(report.size(), 30u) << r.out;
    const std::vector<std::string> expected =
        tcp ? std::vector<std::string>{Row("Model", "Q350            "), Row("Firmware version", "3.38"),
                                       Row("Serial number", "Q350-0004711    "),
                                       Row("Date of manufacture", "20250314"),
                                       Row("Hardware ID", "35 0E 03 01 "), Row("Flash size (KB)", "1024"),
                                       Row("Interface", "USB"), Row("Check imager", "Installed"),
                                       Row("Buzzer", "Not installed"), Row("Lines per cut", "41"),
                                       Row("Compression", "CCITT Group 3"), Row("Checks scanned", "18250")}
            : std::vector<std::string>{Row("Model", "Q330            "), Row("Firmware version", "1.22"),
                                       Row("Baud rate", "38400"), Row("Parity", "Odd"),
                                       Row("Handshake", "XON/XOFF"), Row("Hardware ID", "33 11 13 E0 "),
                                       Row("Check imager", "Not installed"),
                                       Row("Print density", "-1"), Row("Code page", "PC850 (Multilingual)"),
                                       Row("Lines printed", "2210987"), Row("MICR documents read", "5321")};
    for (const std::string& line : expected)
        EXPECT_NE(std::find(report.begin(), report.end(), line), report.end()) << line << "\n" << r.out;
    std::string saved;
    for (const std::string& line : report) saved += line + "\n";
    EXPECT_EQ(ReadAll(dir / "report.txt"), saved);

    // The same data interpreted without a printer: no port is opened.
    rig.Printer().Stop();
    r = rig.Run({"--config-report", home + "/" + (tcp ? "Q50NVR.ini" : "Q30NVR.ini")});
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out, saved);

    Start(model);
    r = rig.Run({"--get-config", tcp ? "Q330" : "Q350"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(LinesOf(r.out), (std::vector<std::string>{"Printer selection / connection mismatch.",
                                                "Selected printer type must match attached printer"}));

    Start(model, tcp ? "3.37" : "1.21");
    r = rig.Run({"--get-config", model});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(LinesOf(r.out), (std::vector<std::string>{"Function not supported on this version of the firmware.",
                                                std::string("Requires version") + (tcp ? "3.38" : "1.22") +
                                                    " or greater"}));
}

INSTANTIATE_TEST_SUITE_P(Media, CliConfigTest, ::testing::Values(test::Medium::Tcp, test::Medium::Pty),
                         test::MediumName());

// A printer that never answers: --timeout ends a command's wait, the configuration fetch gives
// up after its own bound. One that answers who it is but never sends its NVRAM leaves no report,
// and the data an earlier run left is gone.
TEST_F(CliTest, SilentPrinterAndFailedFetchGiveNoReport) {
    StartPrinter({"--fault", "silent-after=0"});
    CliResult r = rig.Run({"--command", "1D 49 40 27", "--count", "17", "--timeout", "1"});
    EXPECT_EQ(r.status, 1);
    EXPECT_LT(r.took, 8s);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("not done after 1 s (--timeout): cancelled"), std::string::npos) << r.err;
    r = rig.Run({"--get-config", "Q310"});
    EXPECT_EQ(r.status, 1);
    EXPECT_LT(r.took, 15s);
    EXPECT_EQ(LinesOf(r.out), (std::vector<std::string>{"Time out", "Error. Abort printing configuration"}));

    StartPrinter({"--fault", "silent-after=9"});  // identification and version: 8 bytes
    std::ofstream(home + "/nvTemp.dat") << std::string(522, 'x');
    r = rig.Run({"--get-config", "Q310", "--timeout", "2"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(LinesOf(r.out).back(), "Error getting printer configuration") << r.out;
    EXPECT_EQ(r.out.find("CONFIGURATION REPORT"), std::string::npos) << r.out;
    EXPECT_EQ(ReadAll(home + "/nvTemp.dat").find('x'), std::string::npos);
}

}  // namespace
}  // namespace posbench
