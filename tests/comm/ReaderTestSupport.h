#pragma once
// Helpers for the tests of devices with a background reader (PumpUntil from support/Wait.h), a
// record of the oRead steps, and a check that a test leaves no descriptor or thread behind.
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "base/Events.h"
#include "support/Wait.h"

namespace posbench::test {

inline size_t CountEntries(const char* dir) {
    size_t n = 0;
    for ([[maybe_unused]] auto& entry : std::filesystem::directory_iterator(dir)) ++n;
    return n;
}

// Records the size of every read step a device reports.
template <class DeviceClass>
class StepRecorder : public DeviceClass {
public:
    void ReadTh_oRead(int32_t NumRcvd, const std::string& data) override {
        steps.push_back(NumRcvd);
        DeviceClass::ReadTh_oRead(NumRcvd, data);
    }
    std::vector<int32_t> steps;
};

// Base fixture: fails a test that leaves a descriptor open or a thread running.
class NoLeakTest : public testing::Test {
protected:
    void SetUp() override {
        // Sanitizer runtimes start a helper thread with the first thread of the process.
        static const bool warmedUp = [] {
            std::thread([] {}).join();
            return true;
        }();
        (void)warmedUp;
        fds_ = CountEntries("/proc/self/fd");
        threads_ = CountEntries("/proc/self/task");
    }
    void TearDown() override {
        DiscardNotices();
        EXPECT_EQ(CountEntries("/proc/self/fd"), fds_) << "descriptor leaked";
        EXPECT_EQ(CountEntries("/proc/self/task"), threads_) << "thread left running";
    }

private:
    size_t fds_ = 0;
    size_t threads_ = 0;
};

}  // namespace posbench::test
