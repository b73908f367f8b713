// File download (logos, bitmaps, binary files): the prefix when there is one, then the file in
// pieces of 256 bytes. Nothing is answered.
#include "base/Display.h"
#include "base/File.h"
#include "base/Numbers.h"
#include "base/RuntimeError.h"
#include "comm/PortRequests.h"
#include "download/DownloadSupport.h"
#include "download/Downloads.h"
#include "script/ScriptState.h"

namespace posbench {
namespace {

DownloadTable gFile;

// The end of a download that ran: all sent, or stopped.
void EndStep(int16_t port, DownloadRecord& rec) {
    const bool stopped = gbStop(port);
    EndDownload(port, rec, gbFileDl, !stopped);
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
    const auto opened =
        OpenDownloadFile(fileName, gDlDefaultPath(port).file, "Error Opening File", rec);
    if (!opened) return false;
    rec.sentCount = kPieceSize;
    rec.what = "File " + rec.name;
    if (!opened->nameOk) {
        // Nothing was sent: the end is not reported as a completed download.
        Display("Invalid File Name");
        EndDownload(port, rec, gbFileDl, false);
        return false;
    }
    Display(rec.name + " file size is: " + CStr(rec.fileSize));
    if (rec.fileSize == 0) {
        // An empty download would be reported complete with nothing sent.
        Display("Empty file: " + rec.name + ": nothing to download");
        EndDownload(port, rec, gbFileDl, false);
        return false;
    }
    rec.active = true;
    rec.piecesTotal = PiecesIn(rec.fileSize);
    ReportPieces(port, rec);
    return true;
}

}  // namespace

bool FileDownload(int16_t port, bool& abort, const std::string& prefix,
                  const std::string& fileName) {
    try {
        DownloadRecord& rec = BeginDownloadCall(port, fileName, gFile, gbFileDl);
        if (!rec.active) {
            // A call without a name continues a download; there is none left to continue.
            if (fileName.empty() || !Start(port, rec, fileName)) return false;
            if (!prefix.empty()) {
                gsOutData = prefix;
                return true;
            }
        }
        if (!abort && NextBodyPiece(port, rec)) return true;
        EndStep(port, rec);
        return !abort;
    } catch (...) {
        Display(FailureLine("Download file Error ", ": "));
        EndDownloadAfterError(port, gFile, gbFileDl);
        return false;
    }
}

void ResetFileRecords() { gFile.reset(); }

}  // namespace posbench
