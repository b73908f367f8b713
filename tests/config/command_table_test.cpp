// The command table editor against files on disk: each edit is read back from the file.
#include "config/CommandTable.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/Ini.h"
#include "support/TestSupport.h"

namespace posbench {
namespace {

using Lines = std::vector<std::string>;

class FakeTableView : public ICommandTableView {
public:
    void ClearCommands() override { commands.clear(); }
    void AddCommand(const std::string& text) override { commands.push_back(text); }
    void SelectCommand(long index) override { selected = index; }
    long SelectedCommand() const override { return selected; }
    std::string Description() const override { return description; }
    std::string Command() const override { return command; }
    std::string Input() const override { return input; }
    void SetFields(const std::string& d, const std::string& c, const std::string& i) override { description = d, command = c, input = i; }
    void AddStatus(const std::string& line) override { status.push_back(line); }

    std::vector<std::string> commands, status;
    long selected = -1;
    std::string description, command, input;
};

constexpr const char* kTable =
    "[RQTYPE]\nRQ=CMD\n[Configure]\nNumConfig=3\nCA1=Init, 1B 40, 0\nCA2=Status, 10 04 01, 1\n"
    "CA3=Cut, 1D 56 00, 0\n";

class CommandTableTest : public ::testing::Test {
protected:
    void Load(const std::string& text) {
        file = dir.Write("Q310Con.ini", text);
        maint.DisplayList(file);
    }
    // The keys as the file holds them.
    std::vector<std::string> Keys(std::initializer_list<const char*> keys) const {
        std::vector<std::string> values;
        for (const char* key : keys) values.push_back(GetPrivateProfileString("Configure", key, "NONE", file));
        return values;
    }

    test::ScratchDir dir;
    FakeTableView view;
    ConfigMaint maint{view};
    std::string file;
};

// An append through the window is MainWindowTest.maintenanceWindowEditsTheTable's.
TEST_F(CommandTableTest, EditsAreWrittenAndReadBack) {
    Load(kTable);
    ASSERT_EQ(view.commands, (std::vector<std::string>{"Init", "Status", "Cut"}));
    EXPECT_EQ(view.command, "1B 40");  // entry 1 selected and shown

    view.SelectCommand(0);
    view.SetFields("Version", "1D 49 40 A3", "6");
    maint.InsertKey();
    EXPECT_EQ(Keys({"NumConfig", "CA1", "CA2", "CA4"}),
              (Lines{"4", "Version, 1D 49 40 A3, 6", "Init, 1B 40, 0", "Cut, 1D 56 00, 0"}));

    view.SelectCommand(2);
    view.SetFields("Paper status", "10 04 04", "1");
    maint.ReplaceKey();
    EXPECT_EQ(Keys({"CA3"}), Lines{"Paper status, 10 04 04, 1"});

    view.SelectCommand(1);
    maint.DeleteKey();
    EXPECT_EQ(view.commands, (Lines{"Version", "Paper status", "Cut"}));
    EXPECT_EQ(Keys({"NumConfig", "CA3", "CA4"}), (Lines{"3", "Cut, 1D 56 00, 0", "NONE"}));
}

TEST_F(CommandTableTest, UnsafeEditsAreRefusedAndTheFileStaysAsItWas) {
    Load("[Configure]\nNumConfig=1\nCA1=Init, 1B 40, 0\n");
    view.SelectCommand(0);
    maint.DeleteKey();
    EXPECT_EQ(view.status.back(), "Unable to delete last key");

    const std::vector<std::pair<std::vector<std::string>, std::string>> refused = {
        {{"Two, parts", "1B 40", "0"}, "A description or command may not contain a comma"},
        {{"Init", "1B 4G", "0"}, "Invalid Command String"},
        {{"Init", "1B 40", "1.5"}, "Input must be a whole number of reply bytes"},
        {{"", "1B 40", "0"}, "Missing command or description"},
    };
    for (const auto& [fields, message] : refused) {
        view.SetFields(fields[0], fields[1], fields[2]);
        maint.ReplaceKey();
        EXPECT_EQ(view.status.back(), message);
    }
    view.SelectCommand(-1);
    view.SetFields("Feed", "1B 64 05", "0");
    maint.InsertKey();
    EXPECT_EQ(view.status.back(), "Select an entry first");
    EXPECT_EQ(dir.Read("Q310Con.ini"), "[Configure]\nNumConfig=1\nCA1=Init, 1B 40, 0\n");

    // CA2 has only two fields: the entries after it are unknown, so nothing may be rewritten.
    const std::string broken =
        "[Configure]\nNumConfig=3\nCA1=Init, 1B 40, 0\nCA2=Status, 10 04 01\nCA3=Cut, 1D 56 00, 0\n";
    Load(broken);
    EXPECT_EQ(view.status.back(), "Invalid parameter in configuration List File");
    EXPECT_FALSE(maint.Complete());
    view.SelectCommand(0);
    maint.DeleteKey();
    maint.AppendKey();
    EXPECT_EQ(view.status.back(), "The list did not load completely: mend the file before editing it");
    EXPECT_EQ(dir.Read("Q310Con.ini"), broken);
}

}  // namespace
}  // namespace posbench
