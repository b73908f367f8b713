#include "comm/StartupConfig.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "comm/CommGlobals.h"
#include "support/TestSupport.h"

namespace posbench {
namespace {

using test::ScratchDir;

class StartupConfigTest : public testing::Test {
protected:
    void SetUp() override { gsProgramDir = dir.path().string(); }

    void WriteStartup(const std::string& text) { dir.Write("Startup.ini", text); }

    static std::vector<std::string> Table() {
        std::vector<std::string> t;
        for (long i = 1; i <= gsPortTable.size(); ++i) t.push_back(gsPortTable(i));
        EXPECT_EQ(giNumPorts, gsPortTable.size());
        return t;
    }

    static void SetTable(const std::vector<std::string>& entries) {
        gsPortTable.clear();
        for (const std::string& e : entries) gsPortTable.push_back(e);
        giNumPorts = static_cast<int16_t>(entries.size());
    }

    ScratchDir dir;
};

// Each file read afresh gives its port table, in the fixed order COM1..COM8, LPT1..LPT3, USB,
// TCP whatever the file's order; a missing field takes its default.
TEST_F(StartupConfigTest, PortTableFollowsTheFixedOrderAndTheDefaults) {
    using Table_ = std::vector<std::string>;
    struct Case { const char* file; const char* text; Table_ table; };
    const Case cases[] = {
        {"Startup.ini",
         "[Communication]\nCOM3=9600,xon,on\nCOM4=4800\nCOM6= 57600 , Xon, On\nLPT1= on\n"
         "LPT3=off\nUSB=printer class, ON\n",
         {"COM3, 9600, XON, ON", "COM4, 115200, DTR, OFF", "COM6, 115200, XON, ON", "LPT1, ON",
          "LPT3, OFF", "USB, printer class, ON"}},
        {"Startup.ini",
         "[Communication]\nTCP=10.0.0.5:9100, on\nUSB=junk\nCOM5=19200\nLPT2=ON\nCOM1=38400,DTR,OFF\n",
         {"COM1, 38400, DTR, OFF", "COM5, 19200, DTR, OFF", "LPT2, ON", "USB, NATIVE, OFF",
          "TCP, 10.0.0.5:9100, ON"}},
        {"STARTUP.INI", "[COMMUNICATION]\nlpt1=on\n", {"LPT1, ON"}},  // the name is found without case
        {"Startup.ini", "[communication]\nCOM2=none\nCOM1=NONE\nLPT2=\nUSB=  \nTCP=None\n", {}},
        {"Nothing.ini", "", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        for (const char* name : {"Startup.ini", "STARTUP.INI"}) std::filesystem::remove(dir.path() / name);
        dir.Write(c.file, c.text);
        ASSERT_TRUE(Startup());
        EXPECT_EQ(Table(), c.table);
        if (c.table.size() == 6) {  // the first file's per-type settings
            EXPECT_EQ(gComSettings(2).Baud, "9600");
            EXPECT_EQ(gComSettings(2).Flow, "XON");
            EXPECT_EQ(gComSettings(2).State, "ON");
            EXPECT_EQ(gComSettings(3).Baud, "115200");
            EXPECT_EQ(gsLPTState(0), "ON");
            EXPECT_EQ(gsUSBMode, "printer class");  // stored as written
            EXPECT_EQ(gsUSBState, "ON");
        }
    }
    // Undefined ports keep empty settings; "None" defines nothing; the defaults stay.
    EXPECT_EQ(gComSettings(0).Baud, "");
    EXPECT_EQ(gsLPTState(1), "");
    EXPECT_EQ(gsTCPAddress, "");
    EXPECT_EQ(gsUSBMode, "");
    EXPECT_EQ(giMaxPorts, 1);
    EXPECT_TRUE(gsDevicePaths.empty());
    EXPECT_EQ(gsStartupErr, "");
}

TEST_F(StartupConfigTest, EntriesRefusedOrCorrectedAreNamedWithTheReason) {
    WriteStartup("[Communication]\nCOM1=115200, ON\nCOM2=abc, DTR, ON\nCOM3=115200, RTS, ON\n"
                 "COM4=9600, XON, OFF\nLPT1=yes\nUSB=FAST, ON\nTCP=10.0.0.9\n");
    ASSERT_TRUE(Startup());
    EXPECT_EQ(gsStartupNotes,
              (std::vector<std::string>{
                  "Startup.ini: COM1=115200, ON: flow control missing (DTR or XON); port left off",
                  "Startup.ini: COM2=abc, DTR, ON: baud rate abc is not one of 115200, 57600, "
                  "38400, 19200, 9600; 115200 used",
                  "Startup.ini: COM3=115200, RTS, ON: flow control RTS is not DTR or XON; DTR used",
                  "Startup.ini: LPT1=yes: state yes is not ON or OFF; port left off",
                  "Startup.ini: USB=FAST, ON: mode FAST is not NATIVE or PRINTER CLASS; NATIVE used",
                  "Startup.ini: TCP=10.0.0.9: state missing (ON or OFF); port left off"}));
}

// Each read starts afresh: an adaptor named before does not linger.
TEST_F(StartupConfigTest, OtherOptions) {
    const struct {
        const char* text;
        int16_t maxPorts;
        const char* adaptor1;
    } cases[] = {{"MAXPORTS=9\nUSBADAPTOR1= com3, extra\nUSBADAPTOR2=none\n", 6, "COM3"}, {"MAXPORTS=NONE\n", 1, ""}};
    for (const auto& c : cases) {
        WriteStartup(std::string("[OTHER]\n") + c.text);
        ASSERT_TRUE(Startup());
        EXPECT_EQ(giMaxPorts, c.maxPorts) << c.text;
        EXPECT_EQ(gsUSBAdaptor1 + "|" + gsUSBAdaptor2, c.adaptor1 + std::string("|")) << c.text;
    }
    WriteStartup("[Communication]\nCOM1=9600\n[OTHER]\nMAXPORTS=-99999\n");
    EXPECT_TRUE(Startup());
    EXPECT_EQ(gsStartupErr, "modConfig, Startup Com Error: 6 Overflow");
    EXPECT_EQ(Table(), (std::vector<std::string>{"COM1, 9600, DTR, OFF"}));
}

TEST_F(StartupConfigTest, SaveAndReadBackGiveTheSameTableAndKeepOtherSections) {
    const std::string other = "[OTHER]\r\nMAXPORTS=4\r\n; hand-written\r\n[Devices]\r\nCOM2=/dev/ttyACM0\r\n";
    WriteStartup("[Communication]\r\nCOM1= 115200, DTR, OFF\r\nLPT1= ON\r\n" + other);
    ASSERT_TRUE(Startup());
    SetTable({"COM2, 19200, XON, ON", "USB, PRINTER CLASS, OFF", "TCP, SERVER, ON"});
    SaveCommConfiguration();
    EXPECT_EQ(gsConfigErr, "");
    EXPECT_EQ(dir.Read("Startup.ini"), "[Communication]\r\nCOM2= 19200, XON, ON\r\n"
                                       "USB= PRINTER CLASS, OFF\r\nTCP= SERVER, ON\r\n" + other);
    ASSERT_TRUE(Startup());
    EXPECT_EQ(Table(), (std::vector<std::string>{"COM2, 19200, XON, ON", "USB, PRINTER CLASS, OFF",
                                                 "TCP, SERVER, ON"}));
    EXPECT_EQ(giMaxPorts, 4);
    EXPECT_EQ(DevicePath("COM2"), "/dev/ttyACM0");
}

// Each save in turn, from the file as before (none: no file); a save that fails keeps the
// entries before the bad one, and a good save clears the message of the one before.
TEST_F(StartupConfigTest, SavingEmptyOrBadTablesAndIntoNoFile) {
    const std::string com1 = "[Communication]\nCOM1= 9600, DTR, OFF\n", lpt1 = "[Communication]\nLPT1= ON\n";
    const struct {
        const char* before;
        std::vector<std::string> table;
        const char* error;
        std::string after;
    } cases[] = {
        {"[Communication]\nCOM1= 9600, DTR, OFF\nTCP= 1.2.3.4, OFF\n[OTHER]\nMAXPORTS=2\n", {}, "",
         "[Communication]\n[OTHER]\nMAXPORTS=2\n"},
        {nullptr, {"LPT1, ON"}, "", lpt1},
        {com1.c_str(), {"LPT1, ON", "LPT2 ON", "COM1, 9600, DTR, OFF"}, "Internal Err.  Missing parameter", lpt1},
        {com1.c_str(), {"LPT1, ON", ""}, "Internal Err. Missing Port", lpt1},
        {com1.c_str(), {"LPT1, ON", "CO=M1, 9600"}, "Error saving comm configuration", lpt1},  // no INI key
        {com1.c_str(), {"LPT1, ON"}, "", lpt1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.after);
        std::filesystem::remove(dir.path() / "Startup.ini");
        if (c.before) WriteStartup(c.before);
        SetTable(c.table);
        SaveCommConfiguration();
        EXPECT_EQ(gsConfigErr, c.error);
        EXPECT_EQ(dir.Read("Startup.ini"), c.after);
    }
    gsProgramDir = (dir.path() / "no such dir").string();
    SetTable({"LPT1, ON"});
    SaveCommConfiguration();
    EXPECT_EQ(gsConfigErr, "Configuration File Error");
}

}  // namespace
}  // namespace posbench
