#pragma once
// A scripted printer connection for engine tests: it keeps every write, answers writes with
// replies queued by the test, and lets the test deliver bytes and hold writes or reads back.
// It keeps the device contract as the state machine relies on it: a read started with ReadComm
// completes once ReadCount bytes have arrived since it started; a block is complete when at
// least BlockCount unfetched bytes wait; GetReadData hands over what has arrived.
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "comm/Device.h"

namespace posbench::test {

class FakeDevice : public Device {
public:
    bool OpenComm(const std::string& name) override {
        openedWith = name;
        isOpen = true;
        return true;
    }
    bool CloseComm() override {
        isOpen = false;
        return true;
    }
    bool WriteComm(const std::string& bytes) override {
        if (failWrites) {
            mstrLastError = "Fake write failed";
            return false;
        }
        writes.push_back(bytes);
        if (!replies.empty()) {
            Deliver(replies.front());
            replies.pop_front();
        }
        return true;
    }
    bool WriteIsComplete() override { return writeComplete; }
    bool ReadComm(int32_t mode) override {
        readModes.push_back(mode);
        reading = true;
        arrivedSinceRead = static_cast<int32_t>(msBuffer.size());
        return true;
    }
    bool ReadIsComplete() override { return reading && arrivedSinceRead >= mlReadCount; }
    bool BlockIsComplete() override {
        return reading && mlBlockCount > 0 && !msBuffer.empty() &&
               static_cast<int32_t>(msBuffer.size()) >= mlBlockCount;
    }
    std::string GetReadData() override {
        std::string data;
        data.swap(msBuffer);
        mbDataAvailable = false;
        if (ReadIsComplete()) reading = false;
        return data;
    }
    bool ReadShutdown(int32_t) override {
        reading = false;
        return true;
    }

    // Bytes arriving from the printer.
    void Deliver(const std::string& bytes) {
        msBuffer += bytes;
        arrivedSinceRead += static_cast<int32_t>(bytes.size());
        mbDataAvailable = !msBuffer.empty();
    }

    std::vector<std::string> writes;
    std::deque<std::string> replies;   // one reply delivered per write, in order
    std::vector<int32_t> readModes;
    std::string openedWith;
    bool isOpen = false;
    bool writeComplete = true;
    bool failWrites = false;
    bool reading = false;
    int32_t arrivedSinceRead = 0;
};

}  // namespace posbench::test
