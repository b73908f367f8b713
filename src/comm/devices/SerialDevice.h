#pragma once
// A COM port. One read is always outstanding while the port is open, and the callers' polls
// (ReadIsComplete, DataAvailable) collect and renew it; nothing ever blocks. COMn maps to the
// [Devices] path of Startup.ini, else /dev/ttyS(n-1).
#include <cstdint>
#include <string>

#include "comm/devices/PortDevice.h"

namespace posbench {

class clsRS232 : public PortDevice {
public:
    clsRS232();
    ~clsRS232() override;

    bool OpenComm(const std::string& CommDeviceName) override;
    bool CloseComm() override;
    bool WriteComm(const std::string& sLine) override;
    bool ReadComm(int32_t lReadFlg) override;
    bool ReadIsComplete() override;
    bool ReadShutdown(int32_t lType) override;
    bool PollDev() override;
    bool ReadStopped() override { return true; }
    void ReadStopped(bool) override {}
    bool DataAvailable() override;

    // Clear the transmit queue, then the receive queue.
    bool PurgeComm();
    // The number after "COM" (any case) when it is 1..16, else 0.
    int16_t GetNumFromDevname(const std::string& name);

    // Modem status lines; "Device not open" / "Modem Status Error" go to the status list.
    bool CTS_ON();
    bool DSR_ON();
    bool RING_ON();
    bool RLSD_ON();

    // True when the port was opened under a name with the USB-adaptor suffix "x".
    bool Adaptor() const { return mbAdaptor; }
    // The queue sizes asked for at open (the line driver keeps its own; remembered only).
    int32_t InQueueSize() const { return mlInQueue; }
    int32_t OutQueueSize() const { return mlOutQueue; }

protected:
    bool EmptyImmediateReadFails() const override { return mbAdaptor; }
    int32_t ReadSizeNow() const override;

private:
    // Starts the next read after one has been collected.
    bool RenewRead();
    bool ModemBit(int bit);

    bool mbAdaptor = false;
    int32_t mlInQueue = 0;
    int32_t mlOutQueue = 0;
};

}  // namespace posbench
