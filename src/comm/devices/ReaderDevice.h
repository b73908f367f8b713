#pragma once
// What the TCP and USB devices share: their reads run in a background reader whose steps come
// back as oRead events on the user-interface thread, and they wait for that reader the same way.
#include <cstdint>
#include <string>
#include <string_view>

#include "comm/Device.h"

namespace posbench {

// How long ReadShutdown waits for the reader to report that it has stopped.
inline constexpr uint32_t kReadShutdownWaitMs = 3000;

// The byte command that makes the printer answer, so a blocked read returns.
inline const std::string kReadReleaseCommand{"\x1D\x04\x01", 3};

class ReaderDevice : public Device {
public:
    // The oRead event of the device's reader: one per read step.
    virtual void ReadTh_oRead(int32_t NumRcvd, const std::string& data);

    bool ReadIsComplete() override;
    bool BlockIsComplete() override;
    std::string GetReadData() override;
    // Stops the running read; under a forced stop the printer is asked to answer first, so
    // that a read blocked on it returns.
    bool ReadShutdown(int32_t lType) override;
    // The reader saw the printer's side go away: the read ends and stays lost until reopened.
    void ReaderLinkLost(const std::string& why);

protected:
    ReaderDevice() = default;
    virtual std::string_view ReadEventErrorPrefix() const = 0;
    virtual std::string_view GetReadDataErrorPrefix() const = 0;
    virtual std::string_view ReadShutdownErrorPrefix() const = 0;
    virtual std::string_view ShutdownTimeoutText() const = 0;
    // Sends kReadReleaseCommand to the printer on the medium the read is waiting on.
    virtual void SendReleaseCommand() = 0;

    // Empties the buffer and the flags a freshly opened device has.
    void ResetReadState();
    // Waits, processing events, until ReadStopped or the time has passed.
    bool WaitReadStopped(uint32_t maxMs);
};

}  // namespace posbench
