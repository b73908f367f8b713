#include "comm/devices/TcpDevice.h"

#include <algorithm>
#include <cerrno>
#include <chrono>

#include "base/Events.h"
#include "base/RuntimeError.h"
#include "base/StringOps.h"
#include "base/Tick.h"

namespace posbench {
namespace {

const LinkDeviceTexts kTcpTexts{
    "clsTCP, ReadComm Error: ",     "clsTCP, ReadIsComplete Error: ",
    "clsTCP, ReadTh Read Error: ",  "clsTCP, GetReadData Error: ",
    "clsTCP, ReadShutdown Error: ", "clsTCP, WriteComm Error: ",
    "clsTCP, WriteIsComplete Error: ", "TCP Write Socket Error",
    "Write Timeout Error: ",        ENOTCONN,
    // Stop reason 0, which the reader treats as any it does not know: one step.
    "TCP PollDev Error: ",          0,
    "TCP ShutDown Error"};

}  // namespace

clsTCP::clsTCP() : LinkDevice(kTcpTexts, std::make_unique<clsTCPRd>()) {}

bool clsTCP::OpenComm(const std::string& CommDeviceName) {
    try {
        // Opening an open port again starts it afresh instead of leaking the old connection.
        if (IsOpen()) CloseComm();
        mstrLastError = "False";
        mstrLastReason.clear();
        ResetReadState();
        const std::string upper = UCase(CommDeviceName);
        if (upper == "SERVER" || Left(upper, 7) == "SERVER:") return OpenCommS(CommDeviceName);
        return OpenCommC(CommDeviceName);
    } catch (...) {
        CloseComm();
        mstrLastError = FailureLine("clsTCP, OpenComm Error: ");
        return false;
    }
}

bool clsTCP::OpenCommC(const std::string& CommDeviceName) {
    mbServerMode = false;
    std::string error;
    auto link = OpenTcpClient(Trim(CommDeviceName), mlConnectTimeoutMs, error, mstrLastReason);
    if (!link) {
        mstrLastError = error;
        return false;
    }
    Attach(std::move(link));
    return true;
}

bool clsTCP::OpenCommS(const std::string& CommDeviceName) {
    mbServerMode = true;
    std::string error;
    auto link = OpenTcpServer(Trim(CommDeviceName), error);
    if (!link) {
        mstrLastError = error;
        return false;
    }
    Attach(std::move(link));
    return true;
}

void clsTCP::WaitTimeTCP(int16_t iTime) {
    try {
        const uint32_t deadline = TickCount() + static_cast<uint32_t>(std::max<int16_t>(iTime, 0));
        while (!TickReached(TickCount(), deadline)) WaitEvents(std::chrono::milliseconds(10));
    } catch (...) {
        mstrLastError = FailureLine("TCP WaitTimeTCP Error: ");
    }
}

}  // namespace posbench
