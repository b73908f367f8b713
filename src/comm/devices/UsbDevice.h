#pragma once
// The printer on USB: through the native pipes or the USB printer class, chosen by the key
// the port table passes ("USB, P" for the printer class). Reads run in clsUSBRd.
#include <cstdint>
#include <memory>
#include <string>

#include "comm/devices/ReaderDevice.h"
#include "comm/devices/UsbLink.h"
#include "comm/devices/UsbReader.h"

namespace posbench {

class clsUSB : public ReaderDevice {
public:
    clsUSB();
    ~clsUSB() override;

    bool OpenComm(const std::string& sInterface) override;
    bool CloseComm() override;
    bool WriteComm(const std::string& sLine) override;
    bool WriteIsComplete() override;
    bool ReadComm(int32_t lReadFlg) override;
    bool PollDev() override;
    bool AnswerMadeUp() const override { return mbAnswerMadeUp; }
    void AnswerMadeUp(bool value) { mbAnswerMadeUp = value; }

    // Selects the printer class for exactly "USB, P", the native pipes for anything else.
    void InitUSB(const std::string& sType);
    bool PrinterClass() const { return mbPrinterClass; }

    const std::string& mstrUSBError() const { return mstrLastError; }
    void mstrUSBError(const std::string& value) { mstrLastError = value; }

    // How long one pipe read waits before returning empty (tests shorten it).
    void PipeTimeout(int ms) { mReader.PipeTimeout(ms); }

protected:
    std::string_view ReadEventErrorPrefix() const override { return "clsUSB Read Event Error: "; }
    std::string_view GetReadDataErrorPrefix() const override {
        return "clsUSB, GetReadData Error: ";
    }
    std::string_view ReadShutdownErrorPrefix() const override {
        return "clsUSB ReadShutdown Error: ";
    }
    std::string_view ShutdownTimeoutText() const override { return "USB ShutDown Error"; }
    void SendReleaseCommand() override;

private:
    std::unique_ptr<UsbLink> mLink;
    bool mbPrinterClass = false;
    bool mbWriteComplete = true;
    bool mbPoll = false;
    bool mbAnswerMadeUp = false;  // the read under way was ended by the idle answer
    clsUSBRd mReader;
};

}  // namespace posbench
