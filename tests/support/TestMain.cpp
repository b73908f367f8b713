#include <gtest/gtest.h>

#include "support/TestSupport.h"

namespace {
// Every test starts from the state a freshly started program has.
class ResetGlobals : public testing::EmptyTestEventListener {
    void OnTestStart(const testing::TestInfo&) override { posbench::test::ResetAllGlobals(); }
    void OnTestEnd(const testing::TestInfo&) override { posbench::test::ResetAllGlobals(); }
};
}  // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    testing::UnitTest::GetInstance()->listeners().Append(new ResetGlobals);
    return RUN_ALL_TESTS();
}
