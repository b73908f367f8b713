#include "support/TestSupport.h"

#include "app/Catalogue.h"
#include "app/Engine.h"
#include "app/MainWindow.h"
#include "download/Downloads.h"
#include "imaging/Imaging.h"
#include "script/Producers.h"
#include "script/ScriptProcessor.h"
#include "script/Prog.h"
#include "script/ScriptState.h"
#include "script/StateMachine.h"

namespace posbench::test {

void ResetAllGlobals() {
    ResetLowerLayerGlobals();
    DetachViews();
    ResetScriptState();
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
