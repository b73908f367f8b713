#include "support/TestSupport.h"

#include "app/Catalogue.h"
#include "app/Engine.h"
#include "app/MainWindow.h"
#include "base/Display.h"
#include "base/Events.h"
#include "base/File.h"
#include "base/Text.h"
#include "base/Tick.h"
#include "base/Views.h"
#include "comm/CommGlobals.h"
#include "comm/PortRequests.h"
#include "comm/PortTable.h"
#include "download/Downloads.h"
#include "imaging/Imaging.h"
#include "script/Producers.h"
#include "script/ScriptProcessor.h"
#include "script/Prog.h"
#include "script/ScriptState.h"
#include "script/StateMachine.h"

namespace posbench::test {

void ResetAllGlobals() {
    DiscardNotices();
    SetWindowPump(nullptr);
    SetClockHook(nullptr);
    DetachViews();
    SetMessageBox(nullptr);
    ResetCommGlobals();
    ResetPortRequests();
    ResetPortTableGlobals();
    ResetScriptState();
    ResetTextGlobals();
    ResetFileGlobals();
    ResetProgGlobals();
    ResetProducers();
    ResetScriptProcessorGlobals();
    ResetStateMachineGlobals();
    ResetDownloadGlobals();
    ResetCatalogueGlobals();
    ResetMainWindowGlobals();
    ResetImagingGlobals();
}

}  // namespace posbench::test
