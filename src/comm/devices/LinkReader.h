#pragma once
// The read side of a TCP or USB device. A read runs on the engine thread: each step takes what
// the link has now, in one read of up to the count still missing, applies the stop reason and
// raises the device's oRead once; while the read waits, a one-shot watch on the link's
// descriptor lets the engine loop sleep until the printer's bytes arrive. clsTCPRd and clsUSBRd
// are this reader set up for their medium.
#include <cstdint>
#include <string>

namespace posbench {

class ByteLink;
class LinkDevice;

enum class ReaderMedium { Tcp, Usb };

// USB: a read step that sees nothing for this long ends empty, as the printer driver's pipe
// read returns empty after its time-out (tests shorten it per reader).
inline constexpr uint32_t kUsbPipeTimeoutMs = 3100;
// USB: an empty step that took longer than this counts, under stop reason 3, as the printer's
// idle answer: one byte 06.
inline constexpr uint32_t kUsbIdleAnswerMs = 3000;

class LinkReader {
public:
    // The most one step reads.
    static constexpr int32_t kReadArea = 1024;

    LinkReader(const LinkReader&) = delete;
    LinkReader& operator=(const LinkReader&) = delete;
    virtual ~LinkReader() = default;

    // Starts a read of lngWaitNumBytes on link for objVar; false with LastRdError when there
    // is no link.
    bool StartRead(int32_t lngWaitNumBytes, int32_t lngBlockCount, ByteLink* link,
                   LinkDevice& objVar);
    // Moves a running read on with what the link has now, without waiting; while the read
    // still waits, the engine's watch on the link is armed.
    void Step();
    // Forgets the read and its watch (the link is about to close).
    void Close();
    // Whether a step is waiting on the printer (not stopped, and open).
    bool Running() const;
    // The descriptor the running read waits on (-1 when none).
    int WaitFd() const;
    const std::string& LastRdError() const { return mstrLastRdError; }

    // USB: how long a step waits before it ends empty.
    void PipeTimeout(uint32_t ms) { mlPipeTimeoutMs = ms; }

protected:
    explicit LinkReader(ReaderMedium medium);

private:
    int32_t StepSize() const;
    void StepDone(long count, int errorCode, std::string data);
    void Finish();
    void Await();
    std::string LostText(int code) const;

    const ReaderMedium mMedium;
    ByteLink* mLink = nullptr;
    LinkDevice* mDevice = nullptr;
    int mWatched = -1;
    int32_t mlWait = 0;
    int32_t mlBlock = 0;
    int32_t mlRcv = 0;
    uint32_t mStepStart = 0;
    uint32_t mlPipeTimeoutMs = kUsbPipeTimeoutMs;
    std::string mstrLastRdError;
};

class clsTCPRd : public LinkReader {
public:
    clsTCPRd() : LinkReader(ReaderMedium::Tcp) {}
};

class clsUSBRd : public LinkReader {
public:
    clsUSBRd() : LinkReader(ReaderMedium::Usb) {}
};

}  // namespace posbench
