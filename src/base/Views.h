#pragma once
// The small interfaces through which the engine reaches whatever window is showing it. The GUI,
// the headless runner and the tests each register their own implementation at start; with none
// registered, output goes nowhere and questions get their default answer.
#include <cstdint>
#include <string>

namespace posbench {

// The status list (the main window's lstStatus).
class IStatusList {
public:
    virtual ~IStatusList() = default;
    virtual void AddItem(const std::string& line) = 0;
    virtual long ListCount() const = 0;
    virtual void RemoveItem(long index) = 0;  // 0-based
    // Select the line at a 0-based index (scrolling it into view); -1 clears the selection.
    virtual void SetListIndex(long index) = 0;
    virtual void Refresh() = 0;
    virtual std::string Item(long index) const = 0;  // 0-based
    virtual void Clear() {
        while (ListCount() > 0) RemoveItem(0);
    }
};

// The response box (txtResponse): the text received on the port being shown.
class IResponseBox {
public:
    virtual ~IResponseBox() = default;
    virtual void SetText(const std::string& text) = 0;
    virtual std::string Text() const = 0;
};

// The VK utility window's own status display, which takes over while gbVKDisplay is set.
class IVKDisplay {
public:
    virtual ~IVKDisplay() = default;
    virtual void DisplayVKLine(const std::string& text) = 0;
};

// Message boxes. Answers keep fixed codes (Ok 1, Cancel 2, Yes 6, No 7) that
// callers compare and store.
enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MsgAnswer { Ok = 1, Cancel = 2, Yes = 6, No = 7 };

class IMessageBox {
public:
    virtual ~IMessageBox() = default;
    virtual MsgAnswer Show(const std::string& text, MsgButtons buttons, const std::string& title) = 0;
};

// The main window's port list, refreshed whenever an entry changes state.
class IPortList {
public:
    virtual ~IPortList() = default;
    virtual void UpdatePortDisp() = 0;
};

// What the engine asks of the program around it: the main window's choice of the TCP port for a
// secondary channel, and the link recovery that reopens a port after a reset or a failed write.
class IEngineHost {
public:
    virtual ~IEngineHost() = default;
    // The number of the first TCP port in the port table (0 when there is none).
    virtual int16_t GetSetIndex(bool enable) = 0;
    // Arm the port's reconnection timer: close and reopen the port ms milliseconds from now.
    virtual void InitializeTimeout(int16_t port, long ms) = 0;
    // True while that timer runs: the port's link is about to be, or has been, closed and is
    // to be reopened. A script sends nothing meanwhile (its bytes would be lost).
    virtual bool LinkRecovering(int16_t) const { return false; }
};

// Progress of a download: bytes and blocks done of the total, reported beside the status lines
// (the window shows a bar, the headless runner a line); DownloadEnded once it has ended.
class IProgress {
public:
    virtual ~IProgress() = default;
    virtual void DownloadProgress(int16_t port, const std::string& what, int64_t bytesDone,
                                  int64_t bytesTotal, int64_t blocksDone, int64_t blocksTotal) = 0;
    virtual void DownloadEnded(int16_t port, bool ok) = 0;
};

void SetStatusList(IStatusList* list);
IStatusList* StatusList();
void SetVKDisplay(IVKDisplay* display);
IVKDisplay* VKDisplay();
void SetMessageBox(IMessageBox* box);
void SetPortList(IPortList* list);
void SetResponseBox(IResponseBox* box);
IResponseBox* ResponseBox();
void SetEngineHost(IEngineHost* host);
IEngineHost* EngineHost();
// Arms the port's reconnection timer through the host (nothing without one).
void ArmReconnect(int16_t port, long ms);
void SetProgress(IProgress* progress);
IProgress* Progress();

// With no message box registered the text is written to standard error and the first button's
// answer is returned.
MsgAnswer MsgBox(const std::string& text, MsgButtons buttons = MsgButtons::Ok,
                 const std::string& title = "posbench");
void RefreshPortList();

}  // namespace posbench
