#include "download/DownloadSupport.h"


#include "base/Display.h"
#include "base/File.h"
#include "base/Numbers.h"
#include "base/RuntimeError.h"
#include "base/Views.h"
#include "comm/Device.h"
#include "comm/PortRequests.h"
#include "script/ScriptState.h"

namespace posbench {

DownloadRecord& RecordOf(DownloadTable& table, int16_t port) { return table(port - 1L); }

std::string PortWords(int16_t port) { return "Port " + CStr(port); }

std::string BareName(const std::string& fullName) {
    const auto cut = fullName.find_last_of("\\/");
    return cut == std::string::npos ? fullName : fullName.substr(cut + 1);
}

std::optional<OpenedFile> OpenDownloadFile(const std::string& fileName,
                                           const std::string& defaultPath,
                                           const std::string& openErrorText, DownloadRecord& rec) {
    OpenedFile opened;
    opened.path = fileName;
    if (!GetCompletePath(opened.path, defaultPath)) {
        Display(gsFileErr);
        return std::nullopt;
    }
    opened.nameOk = CheckFileName(opened.path);
    const std::string bare = gsSplitName;
    if (!OpenFile(opened.path, open_mode::BinaryRead)) {
        Display(gsFileErr);
        Display(openErrorText + bare);
        return std::nullopt;
    }
    rec = DownloadRecord{};
    rec.fileNumber = giFileNum;
    rec.fileSize = FileLen(rec.fileNumber);
    rec.name = bare;
    return opened;
}

void EndDownload(int16_t port, DownloadRecord& rec, PerPort<bool>& running, bool ok) {
    CloseFile(rec.fileNumber);
    rec.fileNumber = 0;
    const bool wasActive = rec.active;
    rec.active = false;
    running(port) = false;
    gsOutData.clear();
    if (wasActive) ReportEnded(port, ok);
}

bool AbortDownload(int16_t port, DownloadRecord& rec, PerPort<bool>& running) {
    ArmReconnect(port, 300);
    EndDownload(port, rec, running, false);
    Display(PortWords(port) + " Download File " + rec.name + " Aborted");
    return false;
}

DownloadRecord& BeginDownloadCall(int16_t port, const std::string& fileName, DownloadTable& table,
                                  PerPort<bool>& running) {
    gsOutData.clear();
    glOutCount = 0;
    glDlReadMode = ReadMode::Count;
    DownloadRecord& rec = RecordOf(table, port);
    if (rec.active && !fileName.empty() && !running(port)) EndDownload(port, rec, running, false);
    return rec;
}

void EndDownloadAfterError(int16_t port, DownloadTable& table, PerPort<bool>& running) {
    try {
        EndDownload(port, RecordOf(table, port), running, false);
    } catch (...) {
        gsOutData.clear();
    }
}

bool CallStepMachine(int16_t port, bool& abort, const std::string& fileName,
                     const StepMachine& machine) {
    try {
        DownloadRecord& rec = BeginDownloadCall(port, fileName, machine.table, machine.running);
        // A call without a name continues a download; there is none left to continue.
        if (!rec.active && (fileName.empty() || !machine.start(port, rec, fileName))) return false;
        if (abort) return AbortDownload(port, rec, machine.running);
        return machine.runSteps(port, rec);
    } catch (...) {
        const RuntimeError e = CurrentRuntimeError();
        Display(ErrorLine(machine.errorTitle, e, ": "));
        Display(ErrorLine(PortWords(port) + " File Error. ", e, " "));
        EndDownloadAfterError(port, machine.table, machine.running);
        return false;
    }
}

bool ReadPiece(DownloadRecord& rec, int32_t count, std::string& bytes) {
    try {
        bytes = ReadUpTo(rec.fileNumber, count);
        rec.bytesRead += static_cast<int64_t>(bytes.size());
        return true;
    } catch (...) {
        gsFileErr = FailureLine("Get Binary Char Error: ", ": ");
        bytes.clear();
        return false;
    }
}

Piece NextPiece(DownloadRecord& rec, bool lastMayBeFull, std::string& bytes) {
    const bool full =
        lastMayBeFull ? rec.sentCount < rec.fileSize : rec.sentCount <= rec.fileSize;
    if (!ReadPiece(rec, kPieceSize, bytes)) return Piece::Failed;
    if (!bytes.empty()) ++rec.piecesDone;
    if (!full) return Piece::Last;
    rec.sentCount += kPieceSize;
    return Piece::Full;
}

void ReportPieces(int16_t port, const DownloadRecord& rec) {
    ReportProgress(port, rec.what, rec.bytesRead, rec.fileSize, rec.piecesDone,
                   rec.piecesTotal);
}

void ReportProgress(int16_t port, const std::string& what, int64_t bytesDone, int64_t bytesTotal,
                    int64_t blocksDone, int64_t blocksTotal) {
    if (IProgress* progress = Progress())
        progress->DownloadProgress(port, what, bytesDone, bytesTotal, blocksDone, blocksTotal);
}

void ReportEnded(int16_t port, bool ok) {
    if (!ok) gbPortFailed(port) = true;
    if (IProgress* progress = Progress()) progress->DownloadEnded(port, ok);
}

}  // namespace posbench
