#pragma once
// The contract every printer connection keeps, whatever the medium. Callers reach a device only
// through these members and never know its class; the port table alone creates and releases
// devices. Property reads are the member without arguments, property writes the same name with
// one argument, so that callers read as the contract is written (ReadCount(), ReadCount(10)).
#include <cstdint>
#include <string>
#include <utility>

#include "comm/PortTrace.h"

namespace posbench {

class clsDCB;

// Stop reasons a read is started or shut down with.
inline constexpr int32_t STOP_R = 1;        // stop after the first read step that returns
inline constexpr int32_t STOP_R_NUM = 2;    // read until the wait count is reached
inline constexpr int32_t STOP_R_WAIT = 3;   // read until the wait count (per-medium details)
inline constexpr int32_t STOP_R_FORCE = 4;  // forced stop at the next step

class Device {
public:
    virtual ~Device() = default;
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;

    virtual bool OpenComm(const std::string& CommDeviceName) = 0;
    virtual bool CloseComm() = 0;
    virtual bool WriteComm(const std::string& sLine) = 0;
    virtual bool WriteIsComplete() = 0;
    virtual bool ReadComm(int32_t lReadFlg) = 0;
    virtual bool ReadIsComplete() = 0;
    virtual bool BlockIsComplete() = 0;
    virtual std::string GetReadData() = 0;
    virtual bool ReadShutdown(int32_t lType) = 0;
    virtual bool PollDev() { return ReadComm(STOP_R); }

    virtual bool ReadStopped() { return mbReadStopped; }
    virtual void ReadStopped(bool value) { mbReadStopped = value; }
    virtual int32_t StopRead() { return mlStopRead; }
    virtual void StopRead(int32_t value) { mlStopRead = value; }
    virtual bool DataAvailable() { return mbDataAvailable; }
    virtual int32_t ReadCount() { return mlReadCount; }
    virtual void ReadCount(int32_t value) { mlReadCount = value; }
    virtual void BlockCount(int32_t value) {
        mlBlockCount = value;
        mlRcvCount = 0;
    }
    const std::string& LastError() const { return mstrLastError; }
    // After a failed OpenComm: the device it was tried on and the system's reason
    // ("/dev/ttyUSB7: No such file or directory"); empty when the medium has nothing to add.
    const std::string& LastReason() const { return mstrLastReason; }
    // The printer's side of the link went away during a read (end of stream, a reset
    // connection, a hang-up): waiting on it would be for ever. TakeLinkLost gives the reason
    // once and clears it, as does a fresh open.
    bool LinkLost() const { return !mstrLinkLost.empty(); }
    std::string TakeLinkLost() { return std::exchange(mstrLinkLost, {}); }
    // The last write ended before the printer took all of its bytes (its time-out, or a failure
    // after WriteComm had returned): the reason, given once after WriteIsComplete has said the
    // write is over, and empty when it ended well.
    std::string TakeWriteFailure() { return std::exchange(mstrWriteFailure, {}); }
    bool WriteFailed() const { return !mstrWriteFailure.empty(); }
    // True when the read just completed ended on an answer the device made up instead of
    // receiving it (the USB idle answer): no download block counts as acknowledged by it.
    virtual bool AnswerMadeUp() const { return false; }

    // Serial and parallel devices carry port settings; the others have none (nullptr / false).
    virtual clsDCB* DCB() { return nullptr; }
    virtual bool ConfigureComm() { return false; }

    // The port number and device key this device's bytes are traced under (the port table
    // sets them when it adds the device).
    void TraceAs(int16_t port, const std::string& key) {
        mTracePort = port;
        mTraceKey = key;
    }

protected:
    Device() = default;

    // The read state of a freshly opened device: no read running, stop reason 1, wait count and
    // block size 1, nothing received, the link not lost, no write failure to report.
    void ResetOpenState() {
        mstrLinkLost.clear();
        mstrWriteFailure.clear();
        mbReadStopped = true;
        mlStopRead = STOP_R;
        mlReadCount = 1;
        mlBlockCount = 1;
        mlRcvCount = 0;
        msBuffer.clear();
        mbDataAvailable = false;
    }

    // GetReadData's fetch: the buffer, emptied; after a completed read the wait count and the
    // block size start afresh at restart and the received count at 0.
    std::string TakeReadData(int32_t restart) {
        std::string data = std::exchange(msBuffer, {});
        mbDataAvailable = false;
        if (mlRcvCount >= mlReadCount) {
            mlReadCount = restart;
            mlBlockCount = restart;
            mlRcvCount = 0;
        }
        return data;
    }

    // Every medium calls these where bytes leave for the printer or arrive from it.
    void TraceSent(const std::string& bytes) const {
        TracePortBytes(mTracePort, mTraceKey, TraceDirection::Sent, bytes);
    }
    void TraceReceived(const std::string& bytes) const {
        TracePortBytes(mTracePort, mTraceKey, TraceDirection::Received, bytes);
    }

    std::string mstrLastError;
    std::string mstrLastReason;
    std::string mstrLinkLost;
    std::string mstrWriteFailure;
    int32_t mlReadCount = 0;    // wait count: bytes the current read waits for
    int32_t mlBlockCount = 0;   // block size: most bytes one read step may ask for
    int32_t mlRcvCount = 0;     // bytes delivered since the read began
    std::string msBuffer;       // received and not yet fetched, one character per byte
    bool mbDataAvailable = false;
    int32_t mlStopRead = 0;
    bool mbReadStopped = true;

private:
    int16_t mTracePort = 0;
    std::string mTraceKey;
};

}  // namespace posbench
