#include "base/Display.h"

#include "base/Numbers.h"
#include "base/RuntimeError.h"
#include "base/Views.h"

namespace posbench {

bool gbVKDisplay = false;

void Display(const std::string& text) {
    try {
        if (gbVKDisplay) {
            if (IVKDisplay* vk = VKDisplay()) vk->DisplayVKLine(text);
            return;
        }
        IStatusList* list = StatusList();
        if (!list) return;
        std::size_t n = text.size();
        std::size_t p = 0;
        while (n > static_cast<std::size_t>(kStatusLineWidth)) {
            list->AddItem(text.substr(p, kStatusLineWidth));
            n -= kStatusLineWidth;
            p += kStatusLineWidth;
        }
        list->AddItem(n == 0 ? std::string("  ") : text.substr(p));
        list->SetListIndex(list->ListCount() - 1);
        list->SetListIndex(-1);
        while (list->ListCount() >= kStatusListBound) list->RemoveItem(0);
        list->Refresh();
    } catch (...) {
        RuntimeError e = CurrentRuntimeError();
        MsgBox("Display Error " + CStr(static_cast<int64_t>(e.number())) + ": " + e.description());
    }
}

}  // namespace posbench
