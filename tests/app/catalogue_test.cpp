// The printer catalogue (buttons, sub-functions, command tables, the INI type marker) against
// files in a scratch directory.
#include "app/Catalogue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "base/Views.h"
#include "comm/CommGlobals.h"
#include "support/TestSupport.h"

namespace posbench {
namespace {

using test::RecordingStatusList;
using test::ScratchDir;

// Keeps what the catalogue put on the window (only what the tests read back).
class FakeCatalogueView : public ICatalogueView {
public:
    void ClearMenu() override {}
    void SetPrinterButton(int16_t index, const std::string& text) override {
        printers.resize(std::max<std::size_t>(printers.size(), index + 1));
        printers[index] = text;
    }
    void SetSubFunction(int16_t, const std::string&, const std::string&) override {}
    void ShowMenu(int16_t, int16_t, int16_t firstSub, int16_t subCount) override { shown = {firstSub, subCount}; }
    void HidePanels() override { panel = "none"; }
    void ShowPanel(Panel which, const std::string& text) override {
        panel = which == Panel::Script ? "script" : which == Panel::Command ? "command" : "receipt";
        caption = text;
    }
    void ShowFolder(const std::string& where) override { folder = where; }
    void SetFilePattern(const std::string& value) override { pattern = value; }
    void ClearCommands() override { commands.clear(); }
    void AddCommand(const std::string& description) override { commands.push_back(description); }
    void SetCommand(const std::string& value, const std::string& count) override { command = value + "|" + count; }
    void FocusSend() override {}

    std::vector<std::string> printers, commands;
    std::pair<int16_t, int16_t> shown;
    std::string panel = "none", caption, folder, pattern, command;
};

class CatalogueTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetStatusList(&status);
        gsProgramDir = dir.path().string();
        for (const char* sub : {"Pics", "Scripts", "Other"})
            std::filesystem::create_directories(dir.path() / sub);
        dir.Write("Pics/p.png", "not really a picture, the view loads it");
    }

    // A catalogue whose printers each have the sub-function lines given.
    void WriteCatalogue(const std::string& name, const std::string& numButtons,
                        const std::map<std::string, std::string>& keys,
                        const std::string& marker = "PTRLOAD") {
        std::string text = "[RQTYPE]\r\nRQ=" + marker + "\r\n[Printers]\r\nNumButtons=" + numButtons + "\r\n";
        for (const auto& [key, value] : keys) text += key + "=" + value + "\r\n";
        dir.Write(name, text);
    }

    // Lines are cut at 55 characters: a message is looked for in the lines joined up.
    bool Shown(const std::string& text) const {
        std::string all;
        for (const std::string& l : status.lines) all += l;
        return all.find(text) != std::string::npos;
    }

    ScratchDir dir;
    RecordingStatusList status;
    FakeCatalogueView view;
    Catalogue catalogue{view};
};

TEST_F(CatalogueTest, BadCataloguesStopWhereTheyBreakAndKeepWhatWasBuilt) {
    const std::string sub = "Scripts,Caption,Scripts,TXT,Pics\\p.png";
    std::map<std::string, std::string> eleven = {{"Sub", sub}};
    std::string names = "11";
    for (int i = 1; i <= 11; ++i) {
        names += ",P" + std::to_string(i);
        eleven["P" + std::to_string(i)] = "1,Sub";
    }
    const std::map<std::string, std::string> two = {{"Q310", "1,Sub"}, {"Q320", "1,Sub"}, {"Sub", sub}};
    struct Case {
        std::string buttons;
        std::map<std::string, std::string> keys;
        std::vector<std::string> messages;
        int16_t printers, subFunctions;
    };
    const Case cases[] = {
        {"2,A", two, {"Invalid printer configuration file"}, 0, 0},
        {"3,Q310,Q320", two, {"Invalid printer name in printer file"}, 2, 2},
        {",,,,,", two, {"Invalid Configuration parameter"}, 0, 0},
        {names, eleven, {"frmMain, ProcessPrinter Error: 9 Subscript out of range"}, 10, 10},
        {"3,Q310,Q320,Q330",
         {{"Q310", "3,Sub,Sub,Short"}, {"Q320", "1,NOPIC"}, {"Q330", "2,Sub"}, {"Sub", sub},
          {"Short", "Short,Caption,Scripts"}, {"NOPIC", "Scripts,Caption,Scripts,TXT,Pics\\none.png"}},
         {"Invalid line in printer configuration file",
          "frmMain, ProcessPrinter Error: 53 File not found", "Invalid Line in configuration file"},
         0, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.buttons);
        status.lines.clear();
        WriteCatalogue("SUPrinters.ini", c.buttons, c.keys);
        catalogue.LoadPrinters("\\SUPrinters.ini");
        for (const std::string& message : c.messages) EXPECT_TRUE(Shown(message)) << message;
        EXPECT_EQ(catalogue.PrinterCount(), c.printers);
        EXPECT_EQ(catalogue.SubFunctionCount(), c.subFunctions);
        if (c.printers == 10) {
            EXPECT_EQ(view.printers.size(), 10u) << "no button without a row";
        }
    }

    // A failed printer leaves its button to the next one; the last shows the one sub-function
    // built for it, not the two its line announced.
    status.lines.clear();
    catalogue.ProcessMain(0);
    EXPECT_EQ(view.printers[0], "Q330");
    EXPECT_EQ(view.shown, (std::pair<int16_t, int16_t>{2, 1}));
    EXPECT_TRUE(status.lines.empty());

    catalogue.LoadPrinters("\\Missing.ini");
    EXPECT_TRUE(Shown("Invalid printer configuration file"));
    WriteCatalogue("SUPrinters.ini", "2,Q310,Q320", two);
    catalogue.LoadPrinters("\\SuPrinters.INI");  // found without regard to case
    EXPECT_EQ(catalogue.PrinterCount(), 2);
}

TEST_F(CatalogueTest, SubFunctionAndIniTypesChooseThePanelPatternOrWindow) {
    dir.Write("Cmd.ini", "[RQTYPE]\r\nRQ=cmd\r\n[Configure]\r\nNumConfig=1\r\nCA1=Status,10 04 01,1\r\n");
    dir.Write("Demo.ini", "[RQTYPE]\r\nRQ=DEMO\r\n");
    dir.Write("Bad.ini", "[Other]\r\nx=1\r\n");
    WriteCatalogue("SUPrinters.ini", "1,Q310",
                   {{"Q310", "7,T,X,C,D,B,A,E"},
                    {"T", "Scripts,Text files,Scripts,TXT,Pics\\p.png"},
                    {"X", "Odd,Odd files,Other,XYZ,Pics\\p.png"},
                    {"C", "Commands,Command table,Cmd.ini,INI,Pics\\p.png"},
                    {"D", "Demo,Receipt demo,Demo.ini,INI,Pics\\p.png"},
                    {"B", "Broken,Broken table,Bad.ini,INI,Pics\\p.png"},
                    {"A", "All,All files,Other,*,Pics\\p.png"},
                    {"E", "Gone,Missing folder,Nowhere,BIN,Pics\\p.png"}});
    catalogue.LoadPrinters("\\SUPrinters.ini");
    ASSERT_EQ(catalogue.SubFunctionCount(), 7);
    const std::string home = dir.path().string();
    struct Case {
        int16_t sub;
        std::string panel, pattern, message;
    } const cases[] = {
        {0, "script", "*.txt", ""},
        {1, "script", "*.txt", "Unsupported file type in configuration file"},  // the pattern stays
        {2, "command", "", ""},
        {3, "receipt", "", "This program has no receipt demo panel: " + home + "/Demo.ini"},
        {4, "none", "", "Invalid configuration file"},
        {5, "", "*.*", ""},
        {6, "", "", "frmMain, ProcessSubFcn Error: 76 Path not found [" + home + "/Nowhere]"},
        {7, "", "", "frmMain, ProcessSubFcn Error: 9 Subscript out of range [" + home + "/Nowhere]"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sub);
        status.lines.clear();
        c.sub == 0 ? catalogue.ProcessMain(0) : catalogue.ProcessSubFcn(c.sub);
        EXPECT_TRUE(c.panel.empty() || view.panel == c.panel) << view.panel;
        EXPECT_TRUE(c.pattern.empty() || view.pattern == c.pattern) << view.pattern;
        EXPECT_TRUE(c.message.empty() || Shown(c.message)) << c.message;
    }
    // Each sub-function comes back to the folder it was left in.
    catalogue.ProcessSubFcn(0);
    catalogue.SetCurrentFolder(home + "/Pics");
    catalogue.ProcessSubFcn(1);
    EXPECT_EQ(view.folder, home + "/Other");
    catalogue.ProcessSubFcn(0);
    EXPECT_EQ(view.folder, home + "/Pics");
    catalogue.ProcessSubFcn(2);
    EXPECT_EQ(view.commands, std::vector<std::string>{"Status"});
    EXPECT_EQ(gsCurrentConfigFile, home + "/Cmd.ini");
    std::string demoLoaded;
    SetDemoLoader([&](const std::string& file) { demoLoaded = file; });
    catalogue.ProcessSubFcn(3);
    EXPECT_EQ(demoLoaded, home + "/Demo.ini");

    // An INI file opened from the script panel goes where its type marker says.
    std::vector<std::string> opened;
    SetConfigOpener([&](const std::string& def, const std::string& data) { opened = {def, data}; });
    catalogue.CommonINI(dir.Write("nv.ini", "[RQTYPE]\r\nRQ=NVRAM\r\n"));
    EXPECT_EQ(opened, (std::vector<std::string>{dir / "nv.ini", ""}));
    dir.Write("dir.ini", "[RQTYPE]\r\nRQ=nvrdir\r\nRQFILE=Q10NVR.ini\r\n");
    catalogue.CommonINI(dir / "dir.ini");
    EXPECT_EQ(opened, (std::vector<std::string>{dir / "dir.ini", dir / "Q10NVR.ini"}));
}

TEST_F(CatalogueTest, CatalogueSubFunctionReplacesTheMenuAndSelfReferenceEnds) {
    std::filesystem::create_directories(dir.path() / "Sub/Pics");
    dir.Write("Sub/Pics/p.png", "x");
    WriteCatalogue("Sub/Other.ini", "1,W340",
                   {{"W340", "1,WSub"}, {"WSub", "Scripts,W340 scripts,Pics,TXT,Pics\\p.png"}});
    WriteCatalogue("SUPrinters.ini", "2,Q310,Q320",
                   {{"Q310", "1,TSub"}, {"Q320", "1,PSub"}, {"TSub", "A,A,Scripts,TXT,Pics\\p.png"},
                    {"PSub", "More,More printers,Sub\\Other.ini,INI,Pics\\p.png"}});
    catalogue.LoadPrinters("\\SUPrinters.ini");
    catalogue.ProcessMain(1);
    EXPECT_EQ(catalogue.PrinterCount(), 1);
    EXPECT_EQ(catalogue.SelectedPrinter(), "W340");
    EXPECT_EQ(view.caption, "W340 scripts");
    EXPECT_EQ(view.folder, (dir.path() / "Sub/Pics").string());
    EXPECT_TRUE(status.lines.empty());

    WriteCatalogue("SUPrinters.ini", "1,Q310",
                   {{"Q310", "1,LSub"}, {"LSub", "Loop,Loop,SUPrinters.ini,INI,Pics\\p.png"}});
    catalogue.LoadPrinters("\\SUPrinters.ini");
    catalogue.ProcessMain(0);
    EXPECT_TRUE(Shown("Printer catalogues nested too deeply: " + dir.path().string() + "/SUPrinters.ini"));
}

TEST_F(CatalogueTest, CommandTables) {
    std::string table = "[RQTYPE]\r\nRQ=CMD\r\n[Configure]\r\nNumConfig=11\r\n";
    for (int i = 1; i <= 10; ++i)
        table += "CA" + std::to_string(i) + "=Command " + std::to_string(i) + ",1B " +
                 std::to_string(10 + i) + "," + std::to_string(i) + "\r\n";
    table += "CA11=Shrt\r\n";
    dir.Write("T.ini", table);
    catalogue.DisplayConfigurationList(dir / "T.ini");
    ASSERT_EQ(view.commands.size(), 10u);  // CA10 read, then the bad eleventh line stops
    EXPECT_EQ(view.commands[9], "Command 10");
    EXPECT_TRUE(Shown("Error in Configuration List File"));

    // A chosen row filling the boxes and handing the focus to Send is MainWindowTest's.
    std::vector<std::string> sent;
    catalogue.SetSendAction([&] { sent.push_back(view.command); });
    for (int row : {9, 10, -1}) catalogue.lstCmds_DblClick(static_cast<int16_t>(row));  // past the list: nothing
    EXPECT_EQ(sent, std::vector<std::string>{"1B 20|10"});

    for (const auto& [lines, message] : std::vector<std::pair<std::string, std::string>>{
             {"NumConfig=1234", "Invalid Section name or number key in Configuration List File"},
             {"NumConfig=99999", "frmMain, DisplayConfigurationList Error: 6 Overflow"},
             {"NumConfig=2\r\nCA1=One,1B 40,0\r\nCA2=Two,,0", "Invalid parameter in configuration List File"}}) {
        dir.Write("T.ini", "[Configure]\r\n" + lines + "\r\n");
        catalogue.DisplayConfigurationList(dir / "T.ini");
        EXPECT_TRUE(Shown(message)) << lines;
    }
    EXPECT_EQ(view.commands, std::vector<std::string>{"One"}) << "the good line before the bad one";
}

}  // namespace
}  // namespace posbench
