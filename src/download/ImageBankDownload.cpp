// Imager bank download: enter download mode, select the bank (answered 06), send the file in
// pieces of 256 bytes and read the printer's verdict on the whole bank after the last one.
#include "base/Display.h"
#include "base/File.h"
#include "base/Numbers.h"
#include "base/RuntimeError.h"
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
constexpr int16_t Abort = 6;
}  // namespace step

DownloadTable gBank;

void EndRecord(int16_t port, DownloadRecord& rec, bool ok) {
    CloseFile(rec.fileNumber);
    rec.fileNumber = 0;
    const bool wasActive = rec.active;
    rec.active = false;
    gbIBankDl(port) = false;
    gsOutData.clear();
    if (wasActive) ReportEnded(port, ok);
}

bool AbortStep(int16_t port, DownloadRecord& rec) {
    ArmReconnect(port, 300);
    EndRecord(port, rec, false);
    Display(PortWords(port) + " Download File " + rec.name + " Aborted");
    return false;
}

void WantAnswer() {
    glOutCount = 1;
    glDlReadMode = STOP_R_NUM;
}

// Opens the file and checks it; false when the download cannot start.
bool Start(int16_t port, DownloadRecord& rec, const std::string& fileName) {
    std::string name = fileName;
    if (!GetCompletePath(name, gDlDefaultPath(port).boot)) {
        Display(gsFileErr);
        return false;
    }
    const bool nameOk = CheckFileName(name);
    const std::string bare = gsSplitName;
    if (!OpenFile(name, open_mode::BinaryRead)) {
        Display(gsFileErr);
        Display("Error Opening " + bare);
        return false;
    }
    rec = DownloadRecord{};
    rec.fileNumber = giFileNum;
    rec.fileSize = FileLen(rec.fileNumber);
    if (rec.fileSize < kMinBankFile || !nameOk) {
        Display(rec.fileSize < kMinBankFile ? "Invalid Imager File" : "Invalid File Name");
        EndRecord(port, rec, false);
        return false;
    }
    rec.bank = EqualsNoCase(Right(name, 3), "IB2") ? 2 : 1;
    rec.sentCount = kPieceSize;
    rec.name = bare;
    rec.what = "Image bank " + bare;
    Display(PortWords(port) + " Downloading Image Bank" + bare);
    Display(bare + " file size is: " + CStr(rec.fileSize));
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
                glDlReadMode = STOP_R_NUM;
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
                EndRecord(port, rec, ok);
                return true;
            }
            case step::Abort:
                return AbortStep(port, rec);
            default:
                Raise(err::InvalidProcedureCall);
        }
    }
    return true;
}

}  // namespace

bool ImageBankDownload(int16_t port, bool& abort, const std::string& fileName) {
    try {
        gsOutData.clear();
        glOutCount = 0;
        glDlReadMode = STOP_R_NUM;
        DownloadRecord& rec = RecordOf(gBank, port);
        if (rec.active && !fileName.empty() && !gbIBankDl(port)) EndRecord(port, rec, false);
        // A call without a name continues a download; there is none left to continue.
        if (!rec.active && (fileName.empty() || !Start(port, rec, fileName))) return false;
        if (abort) rec.step = step::Abort;
        return RunSteps(port, rec);
    } catch (...) {
        const RuntimeError e = CurrentRuntimeError();
        Display(ErrorLine("Internal Imager Bank Download Error ", e, ": "));
        Display(ErrorLine(PortWords(port) + " File Error. ", e, " "));
        try {
            EndRecord(port, RecordOf(gBank, port), false);
        } catch (...) {
            gsOutData.clear();
        }
        return false;
    }
}

void ResetImageBankRecords() { gBank.reset(); }

}  // namespace posbench
