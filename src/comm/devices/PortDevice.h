#pragma once
// What the serial and the parallel device share: the line itself, its settings object, the
// timeout properties, the write that finishes in the background, the read step collected by
// zero-wait polls, and the comm-event watch. The two media differ only in when reads start.
#include <cstdint>
#include <string>

#include "comm/Device.h"
#include "comm/devices/Dcb.h"
#include "comm/devices/PortIo.h"

namespace posbench {

// Comm-event mask bits for EventWatchStartedOk.
inline constexpr int32_t EV_RXCHAR = 0x0001;
inline constexpr int32_t EV_CTS = 0x0008;
inline constexpr int32_t EV_DSR = 0x0010;
inline constexpr int32_t EV_RLSD = 0x0020;
inline constexpr int32_t EV_RING = 0x0100;

class PortDevice : public Device {
public:
    clsDCB* DCB() override { return &mDCB; }
    // Apply DCB to the open line ("Set CommState Error: " plus the code on failure).
    bool ConfigureComm() override;
    bool WriteIsComplete() override;
    // True when data has arrived since the last fetch (as collected by the last poll).
    bool BlockIsComplete() override;
    // Return and clear the receive buffer; after a completed read the counters start afresh
    // (received 0, wait count and block size 1).
    std::string GetReadData() override;

    // Start a read of n bytes (at least 1, at most the 1024-byte read area).
    bool StartInput(int32_t n);

    // Watch for a comm event of the mask unless a watch is already running; EventOccurred is
    // true when no watch runs or the running one has seen its event (zero wait).
    bool EventWatchStartedOk(int32_t lMask);
    bool EventOccurred();

    std::string GetError() const { return mstrLastError; }

    // Timeout properties (milliseconds; 0xFFFFFFFF reads as -1). They take effect with
    // SetCommTimeouts; GetCommTimeouts reads back what the line uses.
    int32_t ReadIntervalTimeout() const { return static_cast<int32_t>(mTimeouts.ReadIntervalTimeout); }
    void ReadIntervalTimeout(int32_t value) { mTimeouts.ReadIntervalTimeout = static_cast<uint32_t>(value); }
    int32_t ReadTotalTimeoutMultiplier() const { return static_cast<int32_t>(mTimeouts.ReadTotalTimeoutMultiplier); }
    void ReadTotalTimeoutMultiplier(int32_t value) { mTimeouts.ReadTotalTimeoutMultiplier = static_cast<uint32_t>(value); }
    int32_t ReadTotalTimeoutConstant() const { return static_cast<int32_t>(mTimeouts.ReadTotalTimeoutConstant); }
    void ReadTotalTimeoutConstant(int32_t value) { mTimeouts.ReadTotalTimeoutConstant = static_cast<uint32_t>(value); }
    int32_t WriteTotalTimeoutMultiplier() const { return static_cast<int32_t>(mTimeouts.WriteTotalTimeoutMultiplier); }
    void WriteTotalTimeoutMultiplier(int32_t value) { mTimeouts.WriteTotalTimeoutMultiplier = static_cast<uint32_t>(value); }
    int32_t WriteTotalTimeoutConstant() const { return static_cast<int32_t>(mTimeouts.WriteTotalTimeoutConstant); }
    void WriteTotalTimeoutConstant(int32_t value) { mTimeouts.WriteTotalTimeoutConstant = static_cast<uint32_t>(value); }
    bool GetCommTimeouts();
    bool SetCommTimeouts();

    // The path the device opened ("" while closed).
    const std::string& DevicePathInUse() const { return mPath; }

protected:
    explicit PortDevice(std::string className);

    // A failure text followed by the system's error number ("Invalid Handle: 2").
    static std::string WithCode(const char* text, int code) { return text + std::to_string(code); }
    // "clsRS232, WriteComm Error: " style prefixes of this class.
    std::string Prefix(const char* member, bool comma = true) const;
    // The whole number after the medium's letters ("COM", "LPT"; any case) when it lies in
    // 1..maxNumber, else 0.
    static int16_t NumberAfter(const std::string& name, const char* letters, int maxNumber);
    // The size of the next read step: the block size, or what is still missing when the block
    // size is below 2 or larger than that; at least 1.
    int32_t NextReadSize() const;
    // The size of a read's next attempt, decided when it is made: NextReadSize unless the
    // medium reads differently while nobody has asked for a read.
    virtual int32_t ReadSizeNow() const { return NextReadSize(); }
    // Zero-wait collection of the read step: false while it runs; once it has ended, appends
    // its bytes to the receive buffer, counts them and tells (bytesAppended) whether any came.
    // A running read that has nothing yet first takes the size asked for now (ReadSizeNow).
    bool CollectRead(bool& bytesAppended);
    // Opens the path and resets the contract state; false with "Invalid Handle: " + errno and
    // the reason, which for a refused access names accessGroup (the group owning such lines).
    bool OpenPath(const std::string& path, bool requireTerminal, const char* accessGroup);
    // Closes the line (0 or errno) and ends any comm-event watch.
    int ClosePath();
    // Whether a read that ends at once without a byte is an error for this medium.
    virtual bool EmptyImmediateReadFails() const = 0;

    PortIo mPort;
    clsDCB mDCB;
    CommTimeouts mTimeouts;
    std::string mPath;

private:
    std::string mClassName;
    bool mWatchPending = false;
    int32_t mWatchMask = 0;
    int mWatchLines = 0;
};

}  // namespace posbench
