// Quitting or resetting asks only while a download could leave a printer without firmware: a
// question on any other work would train the user to click it away.
#include "app/DownloadGuard.h"

#include <gtest/gtest.h>

#include "comm/PortRequests.h"
#include "support/TestSupport.h"

namespace posbench {
namespace {

TEST(DownloadGuardTest, AsksOnlyWhileADownloadRunsAndStopsItsPortOnYes) {
    test::RecordingMessageBox box;
    SetMessageBox(&box);
    gbScriptRunning(1) = true;
    EXPECT_TRUE(ConfirmStopDownload("quit"));
    EXPECT_TRUE(box.shown.empty());

    gbFlashDl(2) = true;
    box.answer = MsgAnswer::No;
    EXPECT_FALSE(ConfirmStopDownload("quit"));
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0], "Port 2 is writing firmware. Stop it and quit?");
    EXPECT_FALSE(gbStop(2));

    box.answer = MsgAnswer::Yes;
    EXPECT_TRUE(ConfirmStopDownload("reset the printer"));
    EXPECT_TRUE(gbStop(2));
    EXPECT_FALSE(gbStop(1));  // the script goes on
    SetMessageBox(nullptr);
}

}  // namespace
}  // namespace posbench
