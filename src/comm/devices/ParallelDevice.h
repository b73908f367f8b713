#pragma once
// An LPT port. Unlike the serial port it keeps no read outstanding between exchanges: ReadComm
// starts a read and it ends when the wait count is reached. LPTn maps to the [Devices] path
// of Startup.ini, else /dev/lp(n-1).
#include <cstdint>
#include <string>

#include "comm/devices/PortDevice.h"

namespace posbench {

class clsLPT : public PortDevice {
public:
    clsLPT();
    ~clsLPT() override;

    bool OpenComm(const std::string& CommDeviceName) override;
    bool CloseComm() override;
    bool WriteComm(const std::string& sLine) override;
    bool ReadComm(int32_t lReadFlg) override;
    bool ReadIsComplete() override;
    bool ReadShutdown(int32_t lType) override;
    bool PollDev() override;
    bool DataAvailable() override;

    // The number after "LPT" (any case), or 0.
    int16_t GetNumFromDevname(const std::string& name);
    // Wait n milliseconds while processing events.
    void WaitTimeLPT(int16_t n);

    // True when no read has been started or the last one completed.
    bool ReadIdle() const { return mbReadIdle; }

protected:
    bool EmptyImmediateReadFails() const override { return true; }

private:
    // One collection step shared by ReadIsComplete and DataAvailable: true when the read is
    // complete; appended tells whether bytes came in.
    bool Step(bool& appended);

    bool mbReadIdle = true;
};

}  // namespace posbench
