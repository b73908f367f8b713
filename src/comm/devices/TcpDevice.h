#pragma once
// The printer on a TCP stream: as a client of the printer's port, or as a server the printer
// connects to. The device itself is LinkDevice; this is how the TCP link is opened and named.
#include <cstdint>
#include <string>

#include "comm/devices/LinkDevice.h"
#include "comm/devices/TcpLink.h"

namespace posbench {

class clsTCP : public LinkDevice {
public:
    clsTCP();

    // "SERVER" (any case, optionally ":port") listens; anything else is "address[:port]".
    bool OpenComm(const std::string& CommDeviceName) override;
    bool OpenCommS(const std::string& CommDeviceName);
    bool OpenCommC(const std::string& CommDeviceName);
    bool WaitWriteComplete() { return WriteIsComplete(); }
    bool ServerMode() const { return mbServerMode; }
    void WaitTimeTCP(int16_t iTime);

    // How long a client connect may take before it is given up (tests shorten it).
    void ConnectTimeout(uint32_t ms) { mlConnectTimeoutMs = ms; }

private:
    bool mbServerMode = false;
    uint32_t mlConnectTimeoutMs = kTcpConnectTimeoutMs;
};

}  // namespace posbench
