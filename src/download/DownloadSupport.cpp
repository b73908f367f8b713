#include "download/DownloadSupport.h"

#include <algorithm>

#include "base/File.h"
#include "base/Numbers.h"
#include "base/RuntimeError.h"
#include "base/Views.h"

namespace posbench {

DownloadRecord& RecordOf(DownloadTable& table, int16_t port) { return table(port - 1L); }

std::string PortWords(int16_t port) { return "Port " + CStr(port); }

std::string BareName(const std::string& fullName) {
    const auto cut = fullName.find_last_of("\\/");
    return cut == std::string::npos ? fullName : fullName.substr(cut + 1);
}

bool ReadPiece(int16_t handle, int32_t count, std::string& bytes) {
    try {
        const int32_t left = FileLen(handle) - FilePosition(handle);
        bytes = ReadBytes(handle, std::clamp(left, 0, count));
        return true;
    } catch (...) {
        gsFileErr = ErrorLine("Get Binary Char Error: ", CurrentRuntimeError(), ": ");
        bytes.clear();
        return false;
    }
}

Piece NextPiece(DownloadRecord& rec, bool lastMayBeFull, std::string& bytes) {
    const bool full =
        lastMayBeFull ? rec.sentCount < rec.fileSize : rec.sentCount <= rec.fileSize;
    if (!ReadPiece(rec.fileNumber, kPieceSize, bytes)) return Piece::Failed;
    if (!bytes.empty()) ++rec.piecesDone;
    if (!full) return Piece::Last;
    rec.sentCount += kPieceSize;
    return Piece::Full;
}

void ReportPieces(int16_t port, const DownloadRecord& rec) {
    ReportProgress(port, rec.what, FilePosition(rec.fileNumber), rec.fileSize, rec.piecesDone,
                   rec.piecesTotal);
}

void ArmReconnect(int16_t port, long ms) {
    if (IEngineHost* host = EngineHost()) host->InitializeTimeout(port, ms);
}

void ReportProgress(int16_t port, const std::string& what, int64_t bytesDone, int64_t bytesTotal,
                    int64_t blocksDone, int64_t blocksTotal) {
    if (IProgress* progress = Progress())
        progress->DownloadProgress(port, what, bytesDone, bytesTotal, blocksDone, blocksTotal);
}

void ReportEnded(int16_t port, bool ok) {
    if (IProgress* progress = Progress()) progress->DownloadEnded(port, ok);
}

}  // namespace posbench
