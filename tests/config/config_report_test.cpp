// The report interpreter run whole, from a definition and a raw data file in a scratch
// directory: what each command prints, the errors that end only their line, the raw-data
// layouts, and the save file that is replaced only by a complete report.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "comm/CommGlobals.h"
#include "config/ConfigWindow.h"
#include "support/RecordingConfigView.h"
#include "support/TestSupport.h"

namespace posbench {
namespace {

using test::RecordingConfigView;
using test::ScratchDir;

std::string Definition(const std::vector<std::string>& lines, const std::string& numLines = "") {
    std::string text = "[NVRAM]\nNumLines=" + (numLines.empty() ? std::to_string(lines.size()) : numLines) + "\n";
    for (std::size_t i = 0; i < lines.size(); ++i) text += "NV" + std::to_string(i + 1) + "=" + lines[i] + "\n";
    return text;
}

std::string Row(const std::string& label, const std::string& value) {
    return "  " + (label + std::string(27, ' ')).substr(0, 27) + value;
}

class ConfigReportTest : public ::testing::Test {
protected:
    bool Run(const std::string& definition, const std::string& data, const std::string& dataName = "raw.dat") {
        window.HandOver({0, dir.Write("def.ini", definition), dir.Write(dataName, data), "", ""});
        return window.ProcessConfigFile(0, false);
    }
    ScratchDir dir;
    RecordingConfigView view;
    ConfigIn window{view};
};

// NUMB, HEX, SUB and COND= on the shipped definitions are CliConfigTest's.
TEST_F(ConfigReportTest, CommandsReportAndErrorsEndOnlyTheirLine) {
    std::string raw(522, '\0');
    const auto put = [&raw](std::size_t bank0Offset, const std::string& bytes) {
        raw.replace(3 + bank0Offset, bytes.size(), bytes);
    };
    put(2, "\x02");
    put(5, "\x01");
    put(10, "\x34\x12");
    put(30, "ABC");
    put(40, std::string("\x00\x00\x00\x80", 4));
    raw.replace(264, 1, "\x07");  // bank 1 starts at image offset 256
    const std::string longLabel = "A label that is longer than twenty-seven";
    EXPECT_TRUE(Run(Definition({
                        "NUMB,Count from image,10,2,-", "ADD,[X],=5,=6,-", "VALUE,Total,[X],-,-",
                        "COND=,Mode,5,=1,Enabled", "COND=,Mode off,5,=0,Disabled",
                        "DIV,Half,=5,=2,-",
                        "TEXT," + longLabel + ",30,=3,-", "NUMB,Bank 1,256,=1,-",
                        "MUL,Big,=65536,=65536,-", "ADD,Big,=2147483647,=1,-", "NUMB,Big,40,=4,-",
                        "DIV,Zero,=1,=0,-", "VALUE,Outside,600,-,-", "HEX,Outside,510,=3,-",
                        "MSG,after the errors,-,-,-", "CLEAR,-,-,-,-", "VALUE,Cleared,[X],-,-",
                        "BOGUS,x,x,x,x", "MSG,four fields,-,-"}),
                    raw));
    const std::vector<std::string> expected = {
        Row("Count from image", "4660"),
        Row("Total", "11"),
        Row("Mode", "Enabled"),
        Row("Half", "2"),  // halves to even
        "  " + longLabel.substr(0, 27) + "ABC",
        Row("Bank 1", "7"),
        "frmMain, ProcessConfigEntry Error: 6 Overflow",
        "frmMain, ProcessConfigEntry Error: 6 Overflow",
        "frmMain, GetNumber Error: 6 Overflow",
        "frmMain, ProcessConfigEntry Error: 11 Division by zero",
        "frmMain, ConvToNum Error: 9 Subscript out of range",
        "frmMain, GetHexString Error: 9 Subscript out of range",
        "after the errors",
        Row("Cleared", "0"),
        "unknown Command in print configuration file",
        "Invalid entry in the print configuration definition file",
    };
    EXPECT_EQ(view.lines, expected);
    EXPECT_EQ(dir.Read("tmpNVRAM.dat").size(), 512u);
}

// The 522- and 546-byte layouts are CliConfigTest's (a pty Q330 and a TCP Q350). The image file
// itself, named another way, is read as it is and not copied onto itself.
TEST_F(ConfigReportTest, TheImageFileAsData) {
    // Taken for raw data, 522 bytes would shrink to a 512-byte image.
    dir.Write("tmpNVRAM.dat", std::string(522, 'x'));
    dir.Write("def.ini", Definition({"TEXT,Last,521,=1,-"}));
    window.HandOver({0, dir / "def.ini", (dir.path() / "." / "tmpNVRAM.dat").string(), "", ""});
    ASSERT_TRUE(window.ProcessConfigFile(0, false));
    EXPECT_EQ(view.lines, std::vector<std::string>{Row("Last", "x")});
    EXPECT_EQ(dir.Read("tmpNVRAM.dat").size(), 522u);
}

TEST_F(ConfigReportTest, SaveFileIsReplacedOnlyByACompleteReport) {
    const std::string save = dir.Write("report.txt", "the old report\n");
    view.save = true;
    window.SetSaveFile(save);
    EXPECT_FALSE(Run(Definition({"MSG,first,-,-,-", "MSG,second,-,-,-"}, "3"), "data"));
    EXPECT_EQ(view.lines.back(), "Error in print configuration file");
    EXPECT_EQ(dir.Read("report.txt"), "the old report\n");

    EXPECT_TRUE(Run(Definition({"MSG,first,-,-,-", "MSG,second,-,-,-"}), "data"));
    EXPECT_EQ(dir.Read("report.txt"), "first\nsecond\n");

    EXPECT_FALSE(Run(Definition({"MSG,first,-,-,-"}, "1000"), "data"));  // four characters
    EXPECT_EQ(view.lines, std::vector<std::string>{"Configuration File Error"});
}

}  // namespace
}  // namespace posbench
