#pragma once
// The printer on a TCP stream: as a client of the printer's port, or as a server the printer
// connects to. Reads run in clsTCPRd.
#include <cstdint>
#include <string>

#include "comm/devices/ReaderDevice.h"
#include "comm/devices/TcpReader.h"

namespace posbench {

inline constexpr uint16_t kTcpClientPort = 9001;
inline constexpr uint16_t kTcpServerPort = 9000;
// A printer that does not answer must not freeze the program while the connect runs.
inline constexpr uint32_t kTcpConnectTimeoutMs = 5000;

struct TcpAddress;

class clsTCP : public ReaderDevice {
public:
    clsTCP();
    ~clsTCP() override;

    // "SERVER" (any case, optionally ":port") listens; anything else is "address[:port]".
    bool OpenComm(const std::string& CommDeviceName) override;
    bool OpenCommS(const std::string& CommDeviceName);
    bool OpenCommC(const std::string& CommDeviceName);
    bool CloseComm() override;
    bool WriteComm(const std::string& sLine) override;
    bool WriteIsComplete() override;
    bool WaitWriteComplete() { return WriteIsComplete(); }
    bool ReadComm(int32_t lReadFlg) override;
    bool PollDev() override;
    bool ServerMode() const { return mbServerMode; }
    void WaitTimeTCP(int16_t iTime);

    // How long a client connect may take before it is given up (tests shorten it).
    void ConnectTimeout(uint32_t ms) { mlConnectTimeoutMs = ms; }

protected:
    std::string_view ReadEventErrorPrefix() const override { return "clsTCP, ReadTh Read Error: "; }
    std::string_view GetReadDataErrorPrefix() const override {
        return "clsTCP, GetReadData Error: ";
    }
    std::string_view ReadShutdownErrorPrefix() const override {
        return "clsTCP, ReadShutdown Error: ";
    }
    std::string_view ShutdownTimeoutText() const override { return "TCP ShutDown Error"; }
    void SendReleaseCommand() override;

private:
    bool FinishOpen();
    // Connects the fresh socket to address by the deadline: 0, or the error number.
    int Connect(const TcpAddress& address, uint32_t deadline);
    void CloseSocket();

    int mSocket = -1;
    bool mbServerMode = false;
    bool mbWriteComplete = true;
    bool mbPoll = false;
    uint32_t mlConnectTimeoutMs = kTcpConnectTimeoutMs;
    clsTCPRd mReader;
};

}  // namespace posbench
