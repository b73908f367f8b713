#pragma once
// The one device behind the TCP and USB ports: a link (ByteLink) and its reader (LinkReader),
// both driven from the engine thread without ever waiting. Reads move on when the engine polls
// (ReadIsComplete, DataAvailable) and wake the engine loop through a watch on the link's
// descriptor; a write hands the link what it takes at once and finishes in the background,
// reported by WriteIsComplete, within the write time-out. clsTCP and clsUSB open their link
// and keep their own failure texts; everything else is here.
#include <cstdint>
#include <memory>
#include <string>

#include "comm/Device.h"
#include "comm/devices/ByteLink.h"
#include "comm/devices/LinkReader.h"

namespace posbench {

// How long ReadShutdown waits for the running read to stop.
inline constexpr uint32_t kReadShutdownWaitMs = 3000;
// How long a write may wait for the printer to take any of its bytes.
inline constexpr uint32_t kLinkWriteTimeoutMs = 5000;

// The byte command that makes the printer answer, so a read waiting on it ends.
inline const std::string kReadReleaseCommand{"\x1D\x04\x01", 3};

// The failure texts that differ between the media.
struct LinkDeviceTexts {
    const char* readComm;         // run-time failure prefixes of the members
    const char* readIsComplete;
    const char* readEvent;        // the oRead handler
    const char* getReadData;
    const char* readShutdown;
    const char* writeComm;
    const char* writeIsComplete;
    const char* writeFailed;      // followed by the error number
    const char* writeTimedOut;    // followed by ETIMEDOUT
    int notOpen;                  // the error number of a write while closed
    const char* pollDev;
    int32_t pollReason;           // the stop reason of PollDev's one-step read
    const char* shutdownTimeout;  // ReadShutdown's read did not stop in time
};

class LinkDevice : public Device {
public:
    ~LinkDevice() override;

    bool CloseComm() override;
    bool WriteComm(const std::string& sLine) override;
    bool WriteIsComplete() override;
    bool ReadComm(int32_t lReadFlg) override;
    bool ReadIsComplete() override;
    // Reports only: see PortDevice::BlockIsComplete for why a report must not collect.
    bool BlockIsComplete() override;
    bool DataAvailable() override;
    std::string GetReadData() override;
    // Stops the running read; under a forced stop the printer is asked to answer first, so
    // that a read waiting on it ends.
    bool ReadShutdown(int32_t lType) override;
    bool PollDev() override;
    bool AnswerMadeUp() const override { return mbAnswerMadeUp; }
    void AnswerMadeUp(bool value) { mbAnswerMadeUp = value; }

    // The oRead event of the device's reader: one per read step.
    virtual void ReadTh_oRead(int32_t NumRcvd, const std::string& data);
    // The reader saw the printer's side go away: the read ends and stays lost until reopened.
    void ReaderLinkLost(const std::string& why);

    // How long a write may wait for the printer to take a byte (tests shorten it).
    void WriteTimeout(uint32_t ms) { mlWriteTimeoutMs = ms; }
    // How long a USB read step waits before it ends empty (tests shorten it).
    void PipeTimeout(uint32_t ms) { mReader->PipeTimeout(ms); }

protected:
    LinkDevice(const LinkDeviceTexts& texts, std::unique_ptr<LinkReader> reader);

    bool IsOpen() const { return mLink != nullptr; }
    // Empties the buffer and resets the flags and counts a freshly opened device has.
    void ResetReadState();
    // The link a successful open made.
    void Attach(std::unique_ptr<ByteLink> link) { mLink = std::move(link); }

private:
    // Hands the link what it takes of the pending bytes now; false with the error number.
    bool PushWrite(int& code);
    // Ends the pending write by failure text (a time-out or an error).
    void EndWrite(const std::string& failure);
    // Waits up to the write time-out for the pending bytes to leave (before a close).
    void FinishWrite();
    void Step();

    const LinkDeviceTexts& mTexts;
    std::unique_ptr<LinkReader> mReader;
    std::unique_ptr<ByteLink> mLink;
    std::string mWriteTail;  // bytes handed to WriteComm that the link has not taken yet
    uint32_t mWriteDeadline = 0;
    uint32_t mlWriteTimeoutMs = kLinkWriteTimeoutMs;
    bool mbAnswerMadeUp = false;  // the read under way was ended by the USB idle answer
};

}  // namespace posbench
