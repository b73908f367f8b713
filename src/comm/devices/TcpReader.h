#pragma once
// The background reader of the TCP device. Its worker thread blocks in accept or recv; each
// step's outcome comes back on the user-interface thread, where the stop reason is applied
// and the device's oRead event raised.
#include <cstdint>
#include <string>

#include "comm/devices/ReaderWorker.h"

namespace posbench {

class clsTCP;

class clsTCPRd {
public:
    static constexpr int32_t kReadArea = 1024;

    clsTCPRd() = default;
    ~clsTCPRd();
    clsTCPRd(const clsTCPRd&) = delete;
    clsTCPRd& operator=(const clsTCPRd&) = delete;

    bool OpenRdThread();
    bool CloseTCPRdThread();
    // Starts a read on lSocket (the connected socket, or the listening one in server mode).
    bool StartRead(int32_t lngWaitNumBytes, int32_t lngBlockCount, int lSocket, clsTCP& objVar);
    bool ServerMode() const { return mbServerMode; }
    const std::string& LastRdError() const { return mstrLastRdError; }

    // The connection data travels on: the accepted one in server mode, else the socket.
    int DataSocket() const { return mbServerMode ? mAccepted : mSocket; }
    // Server mode: takes a connection that is already waiting, without blocking.
    bool AcceptWaiting(int listenSocket);
    void CloseAccepted();

private:
    void AcceptConnection();
    void ReadTCP();
    void StepDone(long count, int errorCode, const std::string& data);

    ReaderWorker mWorker;
    clsTCP* mDevice = nullptr;
    int mSocket = -1;
    int mAccepted = -1;
    bool mbServerMode = false;
    int32_t mlWait = 0;
    int32_t mlBlock = 0;
    int32_t mlRcv = 0;
    // A step is with the worker: a new read started meanwhile goes on from its result
    // instead of queueing a second step on the same stream.
    bool mbStepPending = false;
    std::string mstrLastRdError;
};

}  // namespace posbench
