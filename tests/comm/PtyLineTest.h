#pragma once
// A device of class DeviceClass opened under its medium name on a pseudo-terminal whose master
// side plays the printer.
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "comm/CommGlobals.h"
#include "comm/Device.h"
#include "support/Pty.h"
#include "support/Wait.h"

namespace posbench::test {

template <class DeviceClass>
class PtyLineTest : public testing::Test {
protected:
    explicit PtyLineTest(std::string medium) : medium_(std::move(medium)) {}
    void SetUp() override {
        gsDevicePaths[medium_] = printer.SlavePath();
        ASSERT_TRUE(dev.OpenComm(medium_)) << dev.LastError();
    }

    // Polls the running read and notes how many bytes each step brought.
    std::vector<size_t> CollectSteps(std::string& all) {
        std::vector<size_t> steps;
        bool complete = false;
        PumpUntil([&] {
            complete = dev.ReadIsComplete();
            std::string part = dev.GetReadData();
            if (!part.empty()) steps.push_back(part.size());
            all += part;
            return complete;
        });
        EXPECT_TRUE(complete);
        return steps;
    }

    // Each step takes what has arrived, up to the block size and to what is missing at the end.
    void ExpectReadStepsFollowTheBlockSize() {
        struct Case { int32_t block; std::vector<size_t> steps; };
        for (const Case& c : {Case{4, {4, 4, 2}}, Case{1, {10}}, Case{0, {10}}, Case{20, {10}}}) {
            dev.ReadCount(10);
            dev.BlockCount(c.block);
            ASSERT_TRUE(printer.Send("0123456789"));
            ASSERT_TRUE(dev.ReadComm(STOP_R_NUM));
            std::string all;
            EXPECT_EQ(CollectSteps(all), c.steps) << "block " << c.block;
            EXPECT_EQ(all, "0123456789");
        }
    }

    Pty printer;
    DeviceClass dev;

private:
    std::string medium_;
};

}  // namespace posbench::test
