#pragma once
// The producers that live above the script engine (downloads, TIFF commands, the configuration
// flow) register themselves here at program start, so that script lines and state-machine steps
// can reach them without the script layer including its upper layers. Every program registers all
// of them; a host that leaves one out (a test, a new tool) gets it reported by name ("Flash
// download is not registered in this program") and the port stopped.
#include <cstdint>
#include <functional>
#include <string>

namespace posbench {

// Download step: the first call (abort false, a file name) prepares the first block; later calls
// (empty names, abort = the port's stop flag) prepare the next one. True with the bytes in
// gsOutData (and glOutCount, glDlReadMode), false when the download cannot go on.
using DownloadStep = std::function<bool(int16_t port, bool& abort, const std::string& fileName)>;
using FileDownloadStep = std::function<bool(int16_t port, bool& abort, const std::string& prefix,
                                            const std::string& fileName)>;
using DownloadResponseCheck = std::function<void(int16_t port)>;
using TiffCommand = std::function<bool(int16_t port, const std::string& line)>;
using TiffErrorText = std::function<std::string()>;
using ConfigContinuation = std::function<void(int16_t port, bool stop)>;

void RegisterFlashDownload(DownloadStep step, DownloadResponseCheck checkResponse);
void RegisterBootDownload(DownloadStep step);
void RegisterFileDownload(FileDownloadStep step);
void RegisterImageBankDownload(DownloadStep step);
void RegisterTiffCommand(TiffCommand command, TiffErrorText errorText);
void RegisterConfigContinuation(ConfigContinuation continuation);

// Forget every registration (tests, shutdown).
void ResetProducers();

// The engine's calls. Each shows the "not available" message and sets gbStop(port) when its
// capability is missing, and then answers false.
namespace producers {
bool FlashDownload(int16_t port, bool& abort, const std::string& fileName);
bool BootDownload(int16_t port, bool& abort, const std::string& fileName);
bool FileDownload(int16_t port, bool& abort, const std::string& prefix,
                  const std::string& fileName);
bool ImageBankDownload(int16_t port, bool& abort, const std::string& fileName);
void CheckDownloadResponse(int16_t port);
bool TiffAvailable();
bool ProcessTiffFile(int16_t port, const std::string& line);
std::string TiffError();
void ConfigContinue(int16_t port, bool stop);
}  // namespace producers

}  // namespace posbench
