#pragma once
// A pseudo-terminal that plays the printer on its master side while a device opens the slave,
// and a fixture that opens a device on it. Every wait is bounded by a deadline.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "comm/CommGlobals.h"
#include "comm/ReaderTestSupport.h"

namespace posbench::test {

class PtyPrinter {
public:
    PtyPrinter() {
        char name[256] = {};
        if (openpty(&master_, &slave_, name, nullptr, nullptr) == 0) {
            path_ = name;
            fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
        }
    }
    ~PtyPrinter() {
        CloseMaster();
        if (slave_ >= 0) close(slave_);
    }
    PtyPrinter(const PtyPrinter&) = delete;
    PtyPrinter& operator=(const PtyPrinter&) = delete;

    bool ok() const { return master_ >= 0 && slave_ >= 0; }
    const std::string& path() const { return path_; }
    int slave() const { return slave_; }
    int master() const { return master_; }
    void CloseMaster() {
        if (master_ >= 0) close(master_);
        master_ = -1;
    }

    // The printer answers; returns once the bytes wait in the device's input queue.
    bool Send(const std::string& bytes) {
        size_t done = 0;
        auto sent = PumpUntil([&] {
            ssize_t n = write(master_, bytes.data() + done, bytes.size() - done);
            if (n > 0) done += static_cast<size_t>(n);
            return done == bytes.size();
        });
        return sent && PumpUntil([&] { return InputQueued() >= static_cast<int>(bytes.size()); });
    }

    // Bytes waiting for the device to read.
    int InputQueued() const {
        int n = 0;
        ioctl(slave_, FIONREAD, &n);
        return n;
    }

    // What the device sent, until count bytes are in or the deadline passes.
    std::string Receive(size_t count, int deadlineMs = 3000) {
        std::string got;
        PumpUntil([&] {
            ReadSome(got);
            return got.size() >= count;
        }, deadlineMs);
        return got;
    }

    // Everything the device sends until the line stays quiet for quietMs.
    std::string Drain(int quietMs = 100) {
        std::string got;
        for (;;) {
            pollfd p{master_, POLLIN, 0};
            if (poll(&p, 1, quietMs) <= 0) return got;
            if (!ReadSome(got)) return got;
        }
    }

    termios Settings() const {
        termios t{};
        tcgetattr(slave_, &t);
        return t;
    }

private:
    bool ReadSome(std::string& got) {
        char buf[4096];
        ssize_t n = read(master_, buf, sizeof buf);
        if (n > 0) got.append(buf, static_cast<size_t>(n));
        return n > 0;
    }

    int master_ = -1;
    int slave_ = -1;
    std::string path_;
};

// A device of class DeviceClass opened on the pseudo-terminal under its medium name.
template <class DeviceClass>
class PtyLineTest : public testing::Test {
protected:
    explicit PtyLineTest(std::string medium) : medium_(std::move(medium)) {}
    void SetUp() override {
        ASSERT_TRUE(printer.ok());
        gsDevicePaths[medium_] = printer.path();
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

    PtyPrinter printer;
    DeviceClass dev;

private:
    std::string medium_;
};

}  // namespace posbench::test
