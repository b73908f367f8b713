#include "base/Display.h"

#include "base/Numbers.h"
#include "base/RuntimeError.h"
#include "base/Views.h"

namespace posbench {

bool gbVKDisplay = false;

namespace {

// Adds a line and keeps the list within its bound after every line, not once at the end: a
// text of megabytes would otherwise pile up thousands of lines only to remove them from the
// front one by one.
void AddBounded(IStatusList& list, const std::string& line) {
    list.AddItem(line);
    while (list.ListCount() >= kStatusListBound) list.RemoveItem(0);
}

// One line of text, in pieces of the status list's width; an empty line shows as two blanks.
void AddPieces(IStatusList& list, const std::string& line) {
    std::size_t n = line.size();
    std::size_t p = 0;
    while (n > static_cast<std::size_t>(kStatusLineWidth)) {
        AddBounded(list, line.substr(p, kStatusLineWidth));
        n -= kStatusLineWidth;
        p += kStatusLineWidth;
    }
    AddBounded(list, n == 0 ? std::string("  ") : line.substr(p));
}

}  // namespace

namespace {
int16_t gDisplayPort = 0;
}  // namespace

int16_t DisplayPort() { return gDisplayPort; }

DisplayPortScope::DisplayPortScope(int16_t port) : previous_(gDisplayPort) { gDisplayPort = port; }

DisplayPortScope::~DisplayPortScope() { gDisplayPort = previous_; }

void Display(const std::string& text) {
    try {
        if (gbVKDisplay) {
            if (IVKDisplay* vk = VKDisplay()) vk->DisplayVKLine(text);
            return;
        }
        IStatusList* list = StatusList();
        if (!list) return;
        // A message of several lines (a failure, then the device and the system's reason) shows
        // each on a status line of its own.
        std::size_t start = 0;
        for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
            const std::size_t cut = end > start && text[end - 1] == '\r' ? end - 1 : end;
            AddPieces(*list, text.substr(start, cut - start));
        }
        AddPieces(*list, text.substr(start));
        list->SetListIndex(list->ListCount() - 1);
        list->SetListIndex(-1);
        list->Refresh();
    } catch (...) {
        RuntimeError e = CurrentRuntimeError();
        MsgBox("Display Error " + CStr(static_cast<int64_t>(e.number())) + ": " + e.description());
    }
}

}  // namespace posbench
