#include <gtest/gtest.h>

#include "support/TestSupport.h"

namespace {
// The tests of the base and comm layers alone link only those layers, so that the
// ThreadSanitizer build compiles no more of the engine than they use.
void Reset() {
#ifdef POSBENCH_TEST_LOWER_LAYERS_ONLY
    posbench::test::ResetLowerLayerGlobals();
#else
    posbench::test::ResetAllGlobals();
#endif
}

// Every test starts from the state a freshly started program has.
class ResetGlobals : public testing::EmptyTestEventListener {
    void OnTestStart(const testing::TestInfo&) override { Reset(); }
    void OnTestEnd(const testing::TestInfo&) override { Reset(); }
};
}  // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    testing::UnitTest::GetInstance()->listeners().Append(new ResetGlobals);
    return RUN_ALL_TESTS();
}
