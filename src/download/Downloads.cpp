#include "download/Downloads.h"

#include "download/DownloadSupport.h"
#include "script/Producers.h"

namespace posbench {

void RegisterDownloads() {
    RegisterFlashDownload(FlashDownload, CheckDownloadResponse);
    RegisterBootDownload(BootDownload);
    RegisterFileDownload(FileDownload);
    RegisterImageBankDownload(ImageBankDownload);
}

void ResetDownloadGlobals() {
    ResetFlashRecords();
    ResetBootRecords();
    ResetFileRecords();
    ResetImageBankRecords();
}

}  // namespace posbench
