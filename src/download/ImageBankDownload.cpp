// Imager bank download: enter download mode, select the bank (answered 06), send the file in
// pieces of 256 bytes and read the printer's verdict on the whole bank after the last one.
#include "base/Display.h"
#include "base/File.h"
#include "base/Numbers.h"
#include "base/RuntimeError.h"
#include "base/Views.h"
#include "base/StringOps.h"
#include "comm/Device.h"
#include "comm/PortRequests.h"
#include "download/DownloadSupport.h"
#include "download/Downloads.h"
#include "script/ScriptState.h"

namespace posbench {
namespace {

constexpr int32_t kMinBankFile = 256;

namespace step {
constexpr int16_t EnterDownload = 1;
constexpr int16_t SelectBank = 2;
constexpr int16_t CheckSelect = 3;
constexpr int16_t Body = 4;
constexpr int16_t Finish = 5;
}  // namespace step

DownloadTable gBank;

bool AbortStep(int16_t port, DownloadRecord& rec) { return AbortDownload(port, rec, gbIBankDl); }

void WantAnswer() {
    glOutCount = 1;
    glDlReadMode = ReadMode::Count;
}

// Opens the file and checks it; false when the download cannot start.
bool Start(int16_t port, DownloadRecord& rec, const std::string& fileName) {
    const auto opened =
        OpenDownloadFile(fileName, gDlDefaultPath(port).boot, "Error Opening ", rec);
    if (!opened) return false;
    if (rec.fileSize < kMinBankFile || !opened->nameOk) {
        Display(rec.fileSize < kMinBankFile ? "Invalid Imager File" : "Invalid File Name");
        EndDownload(port, rec, gbIBankDl, false);
        return false;
    }
    rec.bank = EqualsNoCase(Right(opened->path, 3), "IB2") ? 2 : 1;
    rec.sentCount = kPieceSize;
    rec.what = "Image bank " + rec.name;
    Display(PortWords(port) + " Downloading Image Bank" + rec.name);
    Display(rec.name + " file size is: " + CStr(rec.fileSize));
    rec.active = true;
    rec.step = step::EnterDownload;
    rec.piecesTotal = PiecesIn(rec.fileSize);
    gbDlAbort(port) = false;  // a cancel of an earlier download must not cut this one's pauses
    ReportPieces(port, rec);
    return true;
}

// Runs steps until one has bytes to send or the download has ended.
bool RunSteps(int16_t port, DownloadRecord& rec) {
    while (rec.active) {
        switch (rec.step) {
            case step::EnterDownload:
                rec.step = step::SelectBank;
                gsOutData = "\x1B\x5B\x7D";
                return true;
            case step::SelectBank:
                WaitFileTime(port, 200);
                rec.step = step::CheckSelect;
                gsOutData = "\x1D\x16";
                gsOutData += static_cast<char>(rec.bank);
                WantAnswer();
                return true;
            case step::CheckSelect:
                if (giLastRcvByte(port) != 0x06) return AbortStep(port, rec);
                WaitFileTime(port, 200);
                rec.step = step::Body;
                glOutCount = 0;
                glDlReadMode = ReadMode::Count;
                break;
            case step::Body:
                switch (NextPiece(rec, true, gsOutData)) {
                    case Piece::Failed:
                        Display(gsFileErr);
                        return AbortStep(port, rec);
                    case Piece::Last:
                        rec.step = step::Finish;
                        if (gsOutData.empty()) break;
                        WantAnswer();
                        ReportPieces(port, rec);
                        return true;
                    case Piece::Full:
                        ReportPieces(port, rec);
                        return true;
                }
                break;
            case step::Finish: {
                CloseFile(rec.fileNumber);
                rec.fileNumber = 0;  // the pause below may let another port open a file
                const bool ok = giLastRcvByte(port) == 0;
                if (!ok) Display("Data error during download - download failed");
                Display(PortWords(port) + " Download File " + rec.name + " is Complete");
                WaitFileTime(port, 500);
                ArmReconnect(port, 300);
                EndDownload(port, rec, gbIBankDl, ok);
                return true;
            }
            default:
                Raise(err::InvalidProcedureCall);
        }
    }
    return true;
}

const StepMachine kImageBank{gBank, gbIBankDl, "Internal Imager Bank Download Error ", Start,
                             RunSteps};

}  // namespace

bool ImageBankDownload(int16_t port, bool& abort, const std::string& fileName) {
    return CallStepMachine(port, abort, fileName, kImageBank);
}

void ResetImageBankRecords() { gBank.reset(); }

}  // namespace posbench
