// posbench-cli on the production line and in scripts: a serial and a TCP printer flashed at once
// (progress on the terminal, each link back after its reset), a failing one named in the
// summary, the port trace against what the printers logged, JSON Lines against the text
// output, and the list of the machine's ports.
#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "integration/CliRig.h"
#include "support/PrinterLog.h"
#include "support/Pty.h"

namespace posbench {
namespace {

using namespace std::chrono_literals;
using test::CliResult;
using test::LinesOf;
using test::ReadAll;
using test::ScratchDir;
using test::SimPrinter;

class CliAutomationTest : public ::testing::Test {
protected:
    // A serial printer on a pseudo-terminal as COM1 and a second one on `second` (a second
    // serial one is COM2), port 1 and 2 of the program directory.
    void StartTwoPrinters(test::Medium second, const std::vector<std::string>& faultOfSecond = {}) {
        std::string communication = "[Communication]\n", devices = "[Devices]\n";
        for (int n = 1; n <= 2; ++n) {
            const std::string tag = std::to_string(n);
            std::vector<std::string> args{"--flash", dir / ("flash" + tag + ".bin"), "--log",
                                          dir / ("log" + tag), "--reset-ms", "300"};
            if (n == 2) args.insert(args.end(), faultOfSecond.begin(), faultOfSecond.end());
            auto started = test::StartOnMedium(n == 1 ? test::Medium::Pty : second, args,
                                               dir / ("com" + tag));
            for (std::string* lines : {&started.communication, &started.devices}) {
                const auto at = lines->find("COM1");  // a second serial printer is COM2
                if (n == 2 && at != std::string::npos) (*lines)[at + 3] = '2';
            }
            communication += started.communication;
            devices += started.devices;
            printers.push_back(std::move(started.printer));
        }
        rig.Ini(communication + devices);
    }
    std::string Firmware() const { return dir.Write("fw.bin", test::RandomBytes(65536, 11)); }

    test::CliRig rig;
    const ScratchDir& dir = rig.dir;
    const std::string& home = rig.home;
    std::vector<std::unique_ptr<SimPrinter>> printers;
};

TEST_F(CliAutomationTest, TwoPortsFlashAtOnceEachWithItsOwnStatusStreamAndTrace) {
    StartTwoPrinters(test::Medium::Tcp);
    const std::string firmware = Firmware();
    test::Pty terminal;
    test::CliRunOptions how;
    how.terminal = &terminal;
    const CliResult r =
        rig.Run({"--port", "1,2", "--trace", dir / "trace.txt", firmware}, how);
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_GE(r.took, 11s);  // the settle time of the TCP link after its printer's reset
    EXPECT_NE(r.err.find("Flash fw.bin: 65536 of 65536 bytes"), std::string::npos) << r.err;
    for (int n = 1; n <= 2; ++n)
        EXPECT_EQ(ReadAll(dir / ("flash" + std::to_string(n) + ".bin")).substr(0, 65536),
                  ReadAll(firmware));

    // Every line carries its port, and each port's stream tells its own download through.
    std::map<int, std::vector<std::string>> streams;
    auto lines = LinesOf(r.out);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), "All 2 ports succeeded");
    lines.pop_back();
    for (const std::string& line : lines) {
        ASSERT_TRUE(line.rfind("[1] ", 0) == 0 || line.rfind("[2] ", 0) == 0) << line;
        streams[line[1] - '0'].push_back(line.substr(4));
    }
    for (int n = 1; n <= 2; ++n) {
        const std::string port = std::to_string(n);
        ASSERT_GE(streams[n].size(), 3u) << r.out;
        EXPECT_EQ(streams[n].front(), "Port " + port + " File Size is: 65536");
        const std::string reset = "Reseting Port " + port + " Printer";
        EXPECT_NE(std::find(streams[n].begin(), streams[n].end(), reset), streams[n].end());
        EXPECT_EQ(streams[n].back(), n == 1 ? "COM1 open" : "TCP open");
        for (const std::string& line : streams[n])
            EXPECT_EQ(line.find("Port " + std::to_string(3 - n)), std::string::npos) << line;
    }

    // The trace ("SECONDS PORT NAME DIRECTION COUNT HEX ... | TEXT") holds, per port, exactly
    // the bytes its printer logged, in order; the clock never goes back; and the two downloads
    // ran side by side.
    const auto trace = LinesOf(ReadAll(dir / "trace.txt"));
    std::map<int, std::string> sent;
    std::map<int, std::size_t> firstSent, lastSent;
    double clock = 0;
    for (std::size_t i = 0; i < trace.size(); ++i) {
        std::istringstream fields(trace[i].substr(0, trace[i].find(" |")));
        double seconds = 0;
        int port = 0;
        std::size_t count = 0;
        std::string name, direction, hex;
        fields >> seconds >> port >> name >> direction >> count;
        std::getline(fields, hex);
        EXPECT_EQ(test::Hex(hex).size(), count) << trace[i];
        EXPECT_GE(seconds, clock);
        clock = seconds;
        if (direction != "sent") continue;
        firstSent.try_emplace(port, i);
        lastSent[port] = i;
        sent[port] += test::Hex(hex);
    }
    for (int n = 1; n <= 2; ++n)
        EXPECT_EQ(sent[n], test::PrinterLog(dir / ("log" + std::to_string(n))).Stream());
    EXPECT_LT(firstSent[2], lastSent[1]);
    EXPECT_LT(firstSent[1], lastSent[2]);
}

TEST_F(CliAutomationTest, AFailingPortGivesStatusOneAndIsNamedInTheSummary) {
    StartTwoPrinters(test::Medium::Pty, {"--fault", "nak-block=3"});
    const std::string firmware = Firmware();
    const CliResult r = rig.Run({"--port=all", firmware});
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    const auto lines = LinesOf(r.out);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), "Failed: port 2 (COM2)");
    EXPECT_NE(r.out.find("[2] Port 2 Download Aborted"), std::string::npos) << r.out;
    EXPECT_EQ(ReadAll(dir / "flash1.bin").substr(0, 65536), ReadAll(firmware));
}

TEST_F(CliAutomationTest, JsonLinesCarryTheEventsOfTheTextOutput) {
    rig.Start(test::Medium::Pty, {"--model", "Q350"});
    const std::string script = dir.Write(
        "bad.txt", "[MES] checking \"A\\B\"\r\n[EXP] 13\r\n[STA] ON 10 04 01\r\n[MES] never\r\n");

    // A script that fails its status check: status lines, the reply, status 1; in JSON the
    // same events, escaped, and the summary.
    const CliResult text = rig.Run({"--port", "COM1", script});
    const CliResult json = rig.Run({"--port", "COM1", "--json", script});
    EXPECT_EQ(text.status, 1);
    EXPECT_EQ(json.status, 1);
    EXPECT_EQ(LinesOf(text.out), (std::vector<std::string>{
                                     R"(checking "A\B")", "Status Error (12) ",
                                     "Error or operator initiated cancel on line  3",
                                     "Response:  (12) "}));
    const std::regex time(R"("time":[0-9]+\.[0-9]+,)");  // each clock reading becomes T
    EXPECT_EQ(LinesOf(std::regex_replace(json.out, time, R"("time":T,)")), (std::vector<std::string>{
        R"({"event":"status","port":1,"time":T,"text":"checking \"A\\B\""})",
        R"({"event":"status","port":1,"time":T,"text":"Status Error (12) "})",
        R"({"event":"status","port":1,"time":T,"text":"Error or operator initiated cancel on line  3"})",
        R"({"event":"response","port":1,"hex":"12","text":" (12) "})",
        R"({"event":"exit","status":1,"ports":[{"port":1,"name":"COM1","ok":false}]})"}));

    // Commands in turn on the one open port, each reply on its own, in hex when asked.
    const CliResult polls = rig.Run({"--hex", "--command", "1D 49 40 27",
                                    "--count", "17", "--command=10 04 01", "--count=1"});
    EXPECT_EQ(polls.status, 0) << polls.err;
    EXPECT_EQ(polls.out,
              "Response: 51 33 35 30 20 20 20 20 20 20 20 20 20 20 20 20 00\nResponse: 12\n");
}

TEST_F(CliAutomationTest, ListPortsFindsASerialLineUnderTheDeviceRootAndTheDefinedPorts) {
    test::Pty line;
    const std::string devices = dir / "dev";
    std::filesystem::create_directories(devices + "/serial/by-id");
    std::filesystem::create_symlink(line.SlavePath(), devices + "/ttyUSB0");
    std::filesystem::create_symlink("../../ttyUSB0", devices + "/serial/by-id/usb-Bench-if00");
    rig.Ini("[Communication]\nCOM1=9600, XON, ON\nTCP=10.0.0.9\n[Devices]\nCOM1=" + devices +
            "/ttyUSB0\n");
    test::CliRunOptions withRoot;
    withRoot.env = {"POSBENCH_DEVICE_ROOT=" + devices};

    const CliResult r = rig.Run({"--list-ports"}, withRoot);
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string serial = devices + "/ttyUSB0";
    bool lineListed = false;
    for (const std::string& l : LinesOf(r.out))
        lineListed |= l.rfind("serial", 0) == 0 && l.find(serial) != std::string::npos &&
                      l.find("may open") != std::string::npos &&
                      l.find("by-id usb-Bench-if00") != std::string::npos;
    EXPECT_TRUE(lineListed) << r.out;
    EXPECT_NE(r.out.find("port 1       COM1, 9600, XON, ON"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("port 2       TCP, 10.0.0.9, OFF"), std::string::npos) << r.out;

    const CliResult json = rig.Run({"--list-ports", "--json"}, withRoot);
    EXPECT_NE(json.out.find(R"({"kind":"port","port":1,"entry":"COM1, 9600, XON, ON","device":")" +
                            serial + R"(","state":"ON"})"),
              std::string::npos) << json.out;
}

}  // namespace
}  // namespace posbench
