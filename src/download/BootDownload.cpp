// Boot code download: the first 3 bytes, a pause, the next 5, a pause, then the rest in pieces
// of 256 bytes. Nothing is answered; the pauses alone pace the printer.
#include "base/Display.h"
#include "base/File.h"
#include "base/RuntimeError.h"
#include "base/Views.h"
#include "comm/PortRequests.h"
#include "download/DownloadSupport.h"
#include "download/Downloads.h"
#include "script/ScriptState.h"

namespace posbench {
namespace {

constexpr int32_t kMinBootFile = 256;
constexpr int32_t kHeadBytes = 3;
constexpr int32_t kSecondBytes = 5;

namespace step {
constexpr int16_t Head = 1;
constexpr int16_t Second = 2;
constexpr int16_t Pause = 3;
constexpr int16_t Body = 4;
constexpr int16_t Finish = 5;
}  // namespace step

DownloadTable gBoot;

bool AbortStep(int16_t port, DownloadRecord& rec) { return AbortDownload(port, rec, gbBootDl); }

// Opens the file and checks it; false when the download cannot start.
bool Start(int16_t port, DownloadRecord& rec, const std::string& fileName) {
    const auto opened =
        OpenDownloadFile(fileName, gDlDefaultPath(port).boot, "Error Opening ", rec);
    if (!opened) return false;
    rec.what = "Boot " + rec.name;
    rec.active = true;
    gbDlAbort(port) = false;  // a cancel of an earlier download must not cut this one's pauses
    if (rec.fileSize < kMinBootFile) {
        Display("Invalid Boot File");
        return AbortStep(port, rec);
    }
    if (!opened->nameOk) {
        Display("Invalid File Name");
        return AbortStep(port, rec);
    }
    Display(PortWords(port) + " Downloading Boot " + rec.name);
    rec.step = step::Head;
    rec.piecesTotal = 2 + PiecesIn(rec.fileSize - kHeadBytes - kSecondBytes);
    ReportPieces(port, rec);
    return true;
}

// Runs steps until one has bytes to send or the download has ended.
bool RunSteps(int16_t port, DownloadRecord& rec) {
    while (rec.active) {
        switch (rec.step) {
            case step::Head:
                rec.step = step::Second;
                if (!ReadPiece(rec, kHeadBytes, gsOutData)) return AbortStep(port, rec);
                ++rec.piecesDone;
                ReportPieces(port, rec);
                return true;
            case step::Second:
                WaitFileTime(port, 100);
                rec.step = step::Pause;
                if (!ReadPiece(rec, kSecondBytes, gsOutData)) {
                    Display(gsFileErr);
                    return AbortStep(port, rec);
                }
                ++rec.piecesDone;
                ReportPieces(port, rec);
                return true;
            case step::Pause:
                WaitFileTime(port, 100);
                rec.step = step::Body;
                rec.sentCount = kHeadBytes + kSecondBytes + kPieceSize;
                break;
            case step::Body:
                switch (NextPiece(rec, false, gsOutData)) {
                    case Piece::Failed:
                        Display(gsFileErr);
                        return AbortStep(port, rec);
                    case Piece::Last:
                        rec.step = step::Finish;
                        if (gsOutData.empty()) break;
                        [[fallthrough]];
                    case Piece::Full:
                        ReportPieces(port, rec);
                        return true;
                }
                break;
            case step::Finish:
                WaitFileTime(port, 1500);
                ArmReconnect(port, 300);
                EndDownload(port, rec, gbBootDl, true);
                Display(PortWords(port) + " Download File " + rec.name + " is Complete");
                return true;
            default:
                Raise(err::InvalidProcedureCall);
        }
    }
    return true;
}

const StepMachine kBoot{gBoot, gbBootDl, "Internal Boot Error ", Start, RunSteps};

}  // namespace

bool BootDownload(int16_t port, bool& abort, const std::string& fileName) {
    return CallStepMachine(port, abort, fileName, kBoot);
}

void ResetBootRecords() { gBoot.reset(); }

}  // namespace posbench
