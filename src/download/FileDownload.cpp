// File download (logos, bitmaps, binary files): the prefix when there is one, then the file in
// pieces of 256 bytes. Nothing is answered.
#include "base/Display.h"
#include "base/File.h"
#include "base/Numbers.h"
#include "base/RuntimeError.h"
#include "comm/Device.h"
#include "comm/PortRequests.h"
#include "download/DownloadSupport.h"
#include "download/Downloads.h"
#include "script/ScriptState.h"

namespace posbench {
namespace {

DownloadTable gFile;

void EndRecord(int16_t port, DownloadRecord& rec, bool ok) {
    CloseFile(rec.fileNumber);
    rec.fileNumber = 0;
    const bool wasActive = rec.active;
    rec.active = false;
    gbFileDl(port) = false;
    gsOutData.clear();
    if (wasActive) ReportEnded(port, ok);
}

// The end of a download that ran: all sent, or stopped.
void EndStep(int16_t port, DownloadRecord& rec) {
    const bool stopped = gbStop(port);
    EndRecord(port, rec, !stopped);
    if (stopped)
        Display("Error or operator initiated cancel.");
    else
        Display(PortWords(port) + " download is complete");
}

// The next piece of the file into gsOutData; false when nothing is left.
bool NextBodyPiece(int16_t port, DownloadRecord& rec) {
    if (NextPiece(rec, true, gsOutData) == Piece::Failed) {
        // The piece is lost; what was read of it is not sent.
        Display(gsFileErr);
        gsOutData.clear();
    }
    if (gsOutData.empty()) return false;
    ReportPieces(port, rec);
    return true;
}

// Opens the file; false when the download cannot start.
bool Start(int16_t port, DownloadRecord& rec, const std::string& fileName) {
    std::string name = fileName;
    if (!GetCompletePath(name, gDlDefaultPath(port).file)) {
        Display(gsFileErr);
        return false;
    }
    const bool nameOk = CheckFileName(name);
    const std::string bare = gsSplitName;
    if (!OpenFile(name, open_mode::BinaryRead)) {
        Display(gsFileErr);
        Display("Error Opening File" + bare);
        return false;
    }
    rec = DownloadRecord{};
    rec.fileNumber = giFileNum;
    rec.fileSize = FileLen(rec.fileNumber);
    rec.sentCount = kPieceSize;
    rec.name = bare;
    rec.what = "File " + bare;
    if (!nameOk) {
        // Nothing was sent: the end is not reported as a completed download.
        Display("Invalid File Name");
        EndRecord(port, rec, false);
        return false;
    }
    Display(bare + " file size is: " + CStr(rec.fileSize));
    rec.active = true;
    rec.piecesTotal = PiecesIn(rec.fileSize);
    ReportPieces(port, rec);
    return true;
}

}  // namespace

bool FileDownload(int16_t port, bool& abort, const std::string& prefix,
                  const std::string& fileName) {
    try {
        gsOutData.clear();
        glOutCount = 0;
        glDlReadMode = STOP_R_NUM;
        DownloadRecord& rec = RecordOf(gFile, port);
        if (!rec.active || (!fileName.empty() && !gbFileDl(port))) {
            // A call without a name continues a download; there is none left to continue.
            if (fileName.empty()) return false;
            if (rec.active) EndRecord(port, rec, false);
            if (!Start(port, rec, fileName)) return false;
            if (!prefix.empty()) {
                gsOutData = prefix;
                return true;
            }
        }
        if (!abort && NextBodyPiece(port, rec)) return true;
        EndStep(port, rec);
        return !abort;
    } catch (...) {
        Display(ErrorLine("Download file Error ", CurrentRuntimeError(), ": "));
        try {
            EndRecord(port, RecordOf(gFile, port), false);
        } catch (...) {
            gsOutData.clear();
        }
        return false;
    }
}

void ResetFileRecords() { gFile.reset(); }

}  // namespace posbench
