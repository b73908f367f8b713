// The receipt demo loader: a button without its script stops the loading and is not placed,
// and a demo with more headings than the panel shows is cut with a message.
#include "app/ReceiptDemo.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/Views.h"
#include "support/TestSupport.h"

namespace posbench {
namespace {

class FakeDemoView : public IReceiptDemoView {
public:
    void ClearDemo() override { placed.clear(); }
    void AddHeading(int16_t, const std::string& caption, int, int) override { placed.push_back("H " + caption); }
    void AddButton(int16_t, const std::string& caption, int, int) override { placed.push_back("B " + caption); }
    std::vector<std::string> placed;
};

class ReceiptDemoTest : public ::testing::Test {
protected:
    void SetUp() override { SetStatusList(&status); }
    test::ScratchDir dir;
    test::RecordingStatusList status;
    FakeDemoView view;
    ReceiptDemo demo{view, nullptr};
};

TEST_F(ReceiptDemoTest, AButtonWithoutItsScriptStopsTheLoading) {
    demo.Load(dir.Write("d.ini", "[Section]\nSName=S\n[S]\nNumHeadings=2,H1,H2\nH1=One,0,0,K1\nH2=Two,0,0,K2\n"
                                  "K1=2,B1,B2\nB1=Ok,0,20,Scripts\\A.txt\nB2=Broken,0,40\nK2=1,B3\nB3=Late,0,0,B.txt\n"));
    EXPECT_EQ(view.placed, (std::vector<std::string>{"H One", "B Ok"}));
    EXPECT_EQ(demo.ButtonCount(), 1);
    EXPECT_EQ(status.lines, std::vector<std::string>{"Invalid Demo script file in configuration file"});
}

TEST_F(ReceiptDemoTest, HeadingsBeyondThePanelAreLeftOutWithAMessage) {
    std::string ini = "[Section]\nSName=S\n[S]\nNumHeadings=13";
    for (int h = 1; h <= 13; ++h) ini += ",H" + std::to_string(h);
    ini += "\nK=1,B\nB=Go,0,0,x.txt\n";
    for (int h = 1; h <= 13; ++h) ini += "H" + std::to_string(h) + "=Head,0,0,K\n";
    demo.Load(dir.Write("d.ini", ini));
    EXPECT_EQ(demo.HeadingCount(), kMaxDemoHeadings);
    ASSERT_FALSE(status.lines.empty());
    EXPECT_NE(status.lines.back().find("at most 12 headings"), std::string::npos) << status.lines.back();
}

}  // namespace
}  // namespace posbench
