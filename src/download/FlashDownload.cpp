// Flash firmware download: enter download mode, query the top sector, erase, then for each
// 64 KiB sector select it and write it in 256 blocks of 256 bytes, each header followed by its
// data and acknowledged; finally reset the printer. A block's header and its data leave in one
// write: nothing is awaited between them, and one write wakes the printer once per block.
#include <algorithm>

#include "base/Display.h"
#include "base/Events.h"
#include "base/File.h"
#include "base/Numbers.h"
#include "base/RuntimeError.h"
#include "base/Views.h"
#include "comm/Device.h"
#include "comm/PortRequests.h"
#include "download/DownloadSupport.h"
#include "download/Downloads.h"
#include "script/ScriptState.h"

namespace posbench {
namespace {

constexpr int32_t kSectorSize = 65536;
constexpr int32_t kBlocksPerSector = kSectorSize / kPieceSize;
constexpr int32_t kMinFlashFile = 100;
constexpr int64_t kMaxSectors = 255;
constexpr char kErased = '\xFF';
constexpr std::size_t kBlockHeader = 6;  // 1D 11, the offset low and high, the length 00 01

namespace step {
constexpr int16_t EnterDownload = 1;
constexpr int16_t QueryTop = 2;
constexpr int16_t Erase = 3;
constexpr int16_t SelectSector = 4;
constexpr int16_t BlockHeader = 5;  // the next block is announced
constexpr int16_t BlockData = 6;    // the announced block is sent, header and data
constexpr int16_t Close = 7;
constexpr int16_t Abort = 8;
}  // namespace step

struct FlashRecord {
    int16_t fileNumber = 0;
    bool active = false;
    int32_t fileSize = 0;
    int16_t step = 0;
    uint8_t sectorCount = 0;
    uint8_t currentSector = 0;   // next sector to select
    int32_t sectorOffset = 0;    // bytes of the current sector already announced
    int64_t blocksDone = 0;      // acknowledged data blocks, for progress
    int32_t filePosition = 0;    // kept here: asking the file would cost a system call a block
    std::string what;            // "Flash " and the bare file name, for progress
};

BoundedArray<FlashRecord, 0, 9> gFlash;

FlashRecord& Record(int16_t port) { return gFlash(port - 1L); }

void WantAnswer(ReadMode readMode) {
    glOutCount = 1;
    glDlReadMode = readMode;
}

// The record made idle, its file closed and the port's flag cleared.
void EndRecord(int16_t port, FlashRecord& rec) {
    CloseFile(rec.fileNumber);
    rec.fileNumber = 0;
    rec.active = false;
    gbFlashDl(port) = false;
    gsOutData.clear();
}

// Whole sectors needed for the file: a tail shorter than a sector still needs one, or it would
// never be written.
int64_t SectorsFor(int32_t fileSize) { return (int64_t{fileSize} + kSectorSize - 1) / kSectorSize; }

// Progress counts what goes to the printer: whole sectors, the erased-flash padding after the
// end of the file included, so 100% comes with the last block.
void ReportBlocks(int16_t port, const FlashRecord& rec) {
    const int64_t blocksTotal = int64_t{rec.sectorCount} * kBlocksPerSector;
    ReportProgress(port, rec.what, rec.blocksDone * kPieceSize, blocksTotal * kPieceSize,
                   rec.blocksDone, blocksTotal);
}

// Opens the file and fills the record; false when the download cannot start.
bool Start(int16_t port, FlashRecord& rec, const std::string& fileName) {
    std::string name = fileName;
    if (!GetCompletePath(name, gDlDefaultPath(port).flash)) {
        Display(gsFileErr);
        return false;
    }
    if (!OpenFile(name, open_mode::BinaryRead)) {
        Display(gsFileErr);
        Display("Error Opening File");
        Display("File Name: " + name);
        return false;
    }
    rec = FlashRecord{};
    rec.fileNumber = giFileNum;
    rec.fileSize = FileLen(rec.fileNumber);
    rec.what = "Flash " + BareName(name);
    Display(PortWords(port) + " File Size is: " + CStr(rec.fileSize));
    if (rec.fileSize < kMinFlashFile) {
        Display("Invalid file name.  Download aborted");
        CloseFile(rec.fileNumber);
        rec.fileNumber = 0;
        return false;
    }
    const int64_t sectors = SectorsFor(rec.fileSize);
    if (sectors > kMaxSectors) Raise(err::Overflow);
    rec.sectorCount = static_cast<uint8_t>(sectors);
    rec.active = true;
    rec.step = step::EnterDownload;
    gbFlashDl(port) = true;
    gbDlAbort(port) = false;  // a cancel of an earlier download must not cut this one's pauses
    Display(PortWords(port) + " Number of Sectors to download is: " + CStr(rec.sectorCount));
    ReportBlocks(port, rec);
    return true;
}

// The block just announced, header and data, built from its own place in the file so that a
// repeated step sends the same bytes again; the part past the end of the file reads as erased
// flash.
std::string Block(FlashRecord& rec) {
    const int32_t offset = rec.sectorOffset - kPieceSize;  // within the sector
    std::string block = "\x1D\x11";
    block += static_cast<char>(offset % 256);
    block += static_cast<char>(offset / 256);
    block += std::string("\x00\x01", 2);
    const int64_t at = int64_t{rec.currentSector - 1} * kSectorSize + offset;
    if (at >= 0 && at < rec.fileSize) {
        const auto fileOffset = static_cast<int32_t>(at);
        if (rec.filePosition != fileOffset) {
            SeekFile(rec.fileNumber, fileOffset);
            rec.filePosition = fileOffset;
        }
        const int32_t count = std::min(kPieceSize, rec.fileSize - fileOffset);
        const std::string data = ReadUpTo(rec.fileNumber, count);
        rec.filePosition += static_cast<int32_t>(data.size());
        // A file cut short since it was opened.
        if (static_cast<int32_t>(data.size()) != count) Raise(err::InputPastEndOfFile);
        block += data;
    }
    block.resize(kBlockHeader + kPieceSize, kErased);
    return block;
}

// Runs steps until one has bytes to send or the download has ended.
bool RunSteps(int16_t port, FlashRecord& rec) {
    bool result = true;
    while (rec.active) {
        switch (rec.step) {
            case step::EnterDownload:
                gsOutData = "\x1B\x5B\x7D";
                rec.step = step::QueryTop;
                return true;
            case step::QueryTop:
                WaitFileTime(port, 100);
                gsOutData = "\x1D\x01";
                WantAnswer(ReadMode::Count);
                return true;
            case step::Erase:
                Display(PortWords(port) + " Erasing Flash ");
                gsOutData = "\x1D\x0E";
                WantAnswer(ReadMode::Count);
                return true;
            case step::SelectSector:
                if (rec.currentSector >= rec.sectorCount) {
                    rec.step = step::Close;
                    WaitFileTime(port, 1500);
                    Display("Reseting " + PortWords(port) + " Printer");
                    gsOutData = "\x1D\xFF";
                    ArmReconnect(port, 300);
                    return true;
                }
                Display("Downloading " + PortWords(port) + " Sector: " + CStr(rec.currentSector));
                gsOutData = "\x1D\x02";
                gsOutData += static_cast<char>(rec.currentSector);
                ++rec.currentSector;
                WantAnswer(ReadMode::Count);
                return true;
            case step::BlockHeader:
                if (rec.sectorOffset >= kSectorSize) {
                    rec.sectorOffset = 0;
                    rec.step = step::SelectSector;
                    DoEvents();
                    break;
                }
                rec.sectorOffset += kPieceSize;
                rec.step = step::BlockData;
                [[fallthrough]];
            case step::BlockData:
                gsOutData = Block(rec);
                // The last block of a sector is read to its count; the others may end early.
                WantAnswer(rec.sectorOffset >= kSectorSize ? ReadMode::Count : ReadMode::CountWait);
                return true;
            case step::Close:
                EndRecord(port, rec);
                ReportEnded(port, result);
                return result;
            case step::Abort:
                rec.step = step::Close;
                WaitFileTime(port, 1500);
                Display(PortWords(port) + " Download Aborted: ");
                Display("Reseting " + PortWords(port) + " Printer");
                ArmReconnect(port, 300);
                result = false;
                DoEvents();
                break;
            default:
                Raise(err::InvalidProcedureCall);
        }
    }
    return result;
}

}  // namespace

bool FlashDownload(int16_t port, bool& abort, const std::string& fileName) {
    try {
        gsOutData.clear();
        glOutCount = 0;
        glDlReadMode = ReadMode::Count;
        FlashRecord& rec = Record(port);
        // A name given while the port runs no flash download starts afresh: a record left
        // active by a dropped request must not carry an old image into the new one.
        if (rec.active && !fileName.empty() && !gbFlashDl(port)) EndRecord(port, rec);
        // A call without a name continues a download; there is none left to continue.
        if (!rec.active && (fileName.empty() || !Start(port, rec, fileName))) return false;
        if (abort) rec.step = step::Abort;
        return RunSteps(port, rec);
    } catch (...) {
        Display(FailureLine("Internal Flash Download Error ", ": "));
        try {
            FlashRecord& rec = Record(port);
            const bool wasActive = rec.active;
            EndRecord(port, rec);
            if (wasActive) ReportEnded(port, false);
        } catch (...) {
            gsOutData.clear();
        }
        return false;
    }
}

void CheckDownloadResponse(int16_t port) {
    try {
        FlashRecord& rec = Record(port);
        const int16_t b = giLastRcvByte(port);
        const std::string who = PortWords(port);
        switch (rec.step) {
            case step::QueryTop:
                if (b == 0x07 || b == 0x0F || b == 0x1F) {
                    // An image larger than the flash would be erased over and then cut short.
                    if (rec.sectorCount > b + 1) {
                        Display(who + " Firmware needs " + CStr(rec.sectorCount) +
                                " sectors, the printer has " + CStr(b + 1));
                        rec.step = step::Abort;
                    } else {
                        rec.step = step::Erase;
                    }
                } else {
                    Display(who + " Invalid top sector #: " + CStr(b));
                    rec.step = step::Abort;
                }
                break;
            case step::Erase:
                if (b == 0x06) {
                    rec.step = step::SelectSector;
                } else {
                    Display(who + " Flash Erase Failed");
                    rec.step = step::Abort;
                }
                break;
            case step::SelectSector:
                if (b == 0x06) {
                    rec.step = step::BlockHeader;
                } else {
                    Display(who + " Unknown Response to Erase Flash Command");
                    rec.step = step::Abort;
                }
                break;
            case step::BlockData:
                if (b == 0x06) {
                    rec.step = step::BlockHeader;
                    ++rec.blocksDone;
                    ReportBlocks(port, rec);
                } else {
                    Display(who + " Download sector response status error");
                    rec.step = step::Abort;
                }
                break;
            default:
                break;
        }
    } catch (...) {
        Display(FailureLine("Internal Download Response Error ", ": "));
    }
}

void ResetFlashRecords() { gFlash.reset(); }

}  // namespace posbench
