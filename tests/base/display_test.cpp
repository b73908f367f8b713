#include "base/Display.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "base/RuntimeError.h"
#include "base/Views.h"
#include "support/TestSupport.h"

namespace posbench {
namespace {

class DisplayTest : public testing::Test {
protected:
    void SetUp() override { SetStatusList(&list); }
    test::RecordingStatusList list;
};

TEST_F(DisplayTest, TextIsCutInto55CharacterLines) {
    std::string text;
    for (std::size_t i = 0; i < 120; ++i) text += static_cast<char>('0' + i % 10);
    for (const std::string& shown : {std::string(), text.substr(0, 55), text.substr(0, 56), text}) Display(shown);
    EXPECT_EQ(list.lines, (std::vector<std::string>{"  ", text.substr(0, 55), text.substr(0, 55), text.substr(55, 1),
                                                    text.substr(0, 55), text.substr(55, 55), text.substr(110)}));
}

TEST_F(DisplayTest, KeepsTheNewest149Lines) {
    for (int i = 0; i < 200; ++i) Display("line " + std::to_string(i));
    ASSERT_EQ(list.lines.size(), 149u);
    EXPECT_EQ(list.lines.front(), "line 51");
    // A long text at the bound still leaves 149 lines, the newest being its tail.
    Display(std::string(55 * 4, 'x') + "tail");
    EXPECT_EQ(list.lines.size(), 149u);
    EXPECT_EQ(list.lines.back(), "tail");
}

TEST_F(DisplayTest, VKDisplayTakesTheTextWhole) {
    struct : IVKDisplay {
        void DisplayVKLine(const std::string& text) override { lines.push_back(text); }
        std::vector<std::string> lines;
    } vk;
    SetVKDisplay(&vk);
    gbVKDisplay = true;
    Display(std::string(300, 'v'));
    SetVKDisplay(nullptr);  // flag set but no window: the text goes nowhere
    Display("lost");
    gbVKDisplay = false;
    EXPECT_EQ(vk.lines, std::vector<std::string>{std::string(300, 'v')});
    EXPECT_TRUE(list.lines.empty() && list.refreshes == 0);
}

TEST(DisplayFailure, AFailingListIsReportedInAMessageBox) {
    struct : test::RecordingStatusList {
        void AddItem(const std::string&) override { throw std::out_of_range("list gone"); }
    } list;
    test::RecordingMessageBox box;
    SetStatusList(&list);
    SetMessageBox(&box);
    Display("text");
    EXPECT_EQ(box.shown, (std::vector<std::string>{"Display Error 9: Subscript out of range"}));
}

}  // namespace
}  // namespace posbench
