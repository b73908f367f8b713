#include "script/Producers.h"

#include "base/Display.h"
#include "comm/PortRequests.h"

namespace posbench {
namespace {

struct Registry {
    DownloadStep flash;
    DownloadResponseCheck flashResponse;
    DownloadStep boot;
    FileDownloadStep file;
    DownloadStep imageBank;
    TiffCommand tiff;
    TiffErrorText tiffError;
    ConfigContinuation config;
};

Registry& Slots() {
    static Registry registry;
    return registry;
}

bool Missing(int16_t port, const char* capability) {
    Display(std::string(capability) + " is not registered in this program");
    gbStop(port) = true;
    return false;
}

}  // namespace

void RegisterFlashDownload(DownloadStep step, DownloadResponseCheck checkResponse) {
    Slots().flash = std::move(step);
    Slots().flashResponse = std::move(checkResponse);
}
void RegisterBootDownload(DownloadStep step) { Slots().boot = std::move(step); }
void RegisterFileDownload(FileDownloadStep step) { Slots().file = std::move(step); }
void RegisterImageBankDownload(DownloadStep step) { Slots().imageBank = std::move(step); }
void RegisterTiffCommand(TiffCommand command, TiffErrorText errorText) {
    Slots().tiff = std::move(command);
    Slots().tiffError = std::move(errorText);
}
void RegisterConfigContinuation(ConfigContinuation continuation) {
    Slots().config = std::move(continuation);
}

void ResetProducers() { Slots() = Registry{}; }

namespace producers {

bool FlashDownload(int16_t port, bool& abort, const std::string& fileName) {
    if (!Slots().flash) return Missing(port, "Flash download");
    return Slots().flash(port, abort, fileName);
}

bool BootDownload(int16_t port, bool& abort, const std::string& fileName) {
    if (!Slots().boot) return Missing(port, "Boot download");
    return Slots().boot(port, abort, fileName);
}

bool FileDownload(int16_t port, bool& abort, const std::string& prefix,
                  const std::string& fileName) {
    if (!Slots().file) return Missing(port, "File download");
    return Slots().file(port, abort, prefix, fileName);
}

bool ImageBankDownload(int16_t port, bool& abort, const std::string& fileName) {
    if (!Slots().imageBank) return Missing(port, "Image bank download");
    return Slots().imageBank(port, abort, fileName);
}

void CheckDownloadResponse(int16_t port) {
    if (!Slots().flashResponse) {
        Missing(port, "Flash download response check");
        return;
    }
    Slots().flashResponse(port);
}

bool TiffAvailable() { return static_cast<bool>(Slots().tiff); }

bool ProcessTiffFile(int16_t port, const std::string& line) {
    if (!Slots().tiff) return Missing(port, "TIFF processing");
    return Slots().tiff(port, line);
}

std::string TiffError() { return Slots().tiffError ? Slots().tiffError() : std::string(); }

void ConfigContinue(int16_t port, bool stop) {
    if (!Slots().config) {
        Missing(port, "Configuration flow");
        return;
    }
    Slots().config(port, stop);
}

}  // namespace producers
}  // namespace posbench
