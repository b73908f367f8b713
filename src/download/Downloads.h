#pragma once
// dLoad: the download step machines. Each call performs one step: it leaves the bytes to send in
// gsOutData (with glOutCount and glDlReadMode when the printer's answer is wanted) and returns;
// the transfer state machine sends them and calls again while the port's flag of that kind
// (gbFlashDl, gbBootDl, gbFileDl, gbIBankDl) stays set. `abort` (the port's stop flag) sends a
// running download to its abort step; `fileName` is used by the first call only.
#include <cstdint>
#include <string>

namespace posbench {

// Registers the four downloads and the flash answer check with the script engine. The programs
// and the tests call it once at start.
void RegisterDownloads();

// Flash firmware, 64 KiB sectors written in blocks of 256 bytes, each acknowledged.
bool FlashDownload(int16_t port, bool& abort, const std::string& fileName);
// Judges the printer's answer to the flash step just sent and sets the next step.
void CheckDownloadResponse(int16_t port);

// Boot code: 3 bytes, a pause, 5 bytes, a pause, then pieces of 256 bytes; no answers.
bool BootDownload(int16_t port, bool& abort, const std::string& fileName);

// Any file in pieces of 256 bytes, after the prefix when there is one; no answers.
bool FileDownload(int16_t port, bool& abort, const std::string& prefix,
                  const std::string& fileName);

// An imager bank file (bank 2 for names ending in IB2), answered at its start and at its end.
bool ImageBankDownload(int16_t port, bool& abort, const std::string& fileName);

// Every port's download records back to idle (their files are not closed here).
void ResetDownloadGlobals();

}  // namespace posbench
