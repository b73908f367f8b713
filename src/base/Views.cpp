#include "base/Views.h"

#include <cstdio>

namespace posbench {
namespace {
IStatusList* gStatusList = nullptr;
IVKDisplay* gVKDisplay = nullptr;
IMessageBox* gMessageBox = nullptr;
IPortList* gPortList = nullptr;
IResponseBox* gResponseBox = nullptr;
IEngineHost* gEngineHost = nullptr;
IProgress* gProgress = nullptr;
}  // namespace

void SetStatusList(IStatusList* list) { gStatusList = list; }
IStatusList* StatusList() { return gStatusList; }
void SetVKDisplay(IVKDisplay* display) { gVKDisplay = display; }
IVKDisplay* VKDisplay() { return gVKDisplay; }
void SetMessageBox(IMessageBox* box) { gMessageBox = box; }
void SetPortList(IPortList* list) { gPortList = list; }
void SetResponseBox(IResponseBox* box) { gResponseBox = box; }
IResponseBox* ResponseBox() { return gResponseBox; }
void SetEngineHost(IEngineHost* host) { gEngineHost = host; }
IEngineHost* EngineHost() { return gEngineHost; }
void ArmReconnect(int16_t port, long ms) {
    if (gEngineHost) gEngineHost->InitializeTimeout(port, ms);
}
void SetProgress(IProgress* progress) { gProgress = progress; }
IProgress* Progress() { return gProgress; }

MsgAnswer MsgBox(const std::string& text, MsgButtons buttons, const std::string& title) {
    if (gMessageBox) return gMessageBox->Show(text, buttons, title);
    std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
    switch (buttons) {
    case MsgButtons::Ok:
    case MsgButtons::OkCancel: return MsgAnswer::Ok;
    case MsgButtons::YesNo:
    case MsgButtons::YesNoCancel: return MsgAnswer::Yes;
    }
    return MsgAnswer::Ok;
}

void RefreshPortList() {
    if (gPortList) gPortList->UpdatePortDisp();
}

}  // namespace posbench
