#include "support/TestSupport.h"

#include "base/Events.h"
#include "base/File.h"
#include "base/Text.h"
#include "base/Tick.h"
#include "base/Views.h"
#include "comm/CommGlobals.h"
#include "comm/PortRequests.h"
#include "comm/PortTable.h"

namespace posbench::test {

void ResetLowerLayerGlobals() {
    DiscardNotices();
    SetWindowPump(nullptr);
    SetClockHook(nullptr);
    SetMessageBox(nullptr);
    ResetCommGlobals();
    ResetPortRequests();
    ResetPortTableGlobals();
    ResetTextGlobals();
    ResetFileGlobals();
}

}  // namespace posbench::test
