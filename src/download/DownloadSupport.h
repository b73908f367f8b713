#pragma once
// What the download step machines share: their per-port record tables, opening the file, the
// frame of every call, reading pieces of the open file, the port's wording in messages, the
// reconnection timer and progress reports.
#include <cstdint>
#include <optional>
#include <string>

#include "base/Arrays.h"
#include "base/PerPort.h"

namespace posbench {

// The record of a boot, file or image-bank download on one port.
struct DownloadRecord {
    int16_t fileNumber = 0;
    bool active = false;
    int32_t fileSize = 0;
    int32_t sentCount = 0;   // byte count reached after the next full piece
    int16_t step = 0;
    uint8_t bank = 0;        // image bank only
    std::string name;        // the bare file name for messages
    std::string what;        // kind and name, for progress
    int64_t piecesDone = 0;
    int64_t piecesTotal = 0;
    int64_t bytesRead = 0;   // the file's position, kept here rather than asked for per piece
};

// Ten records, indexed by port number minus one (only 1..6 are ever used).
using DownloadTable = BoundedArray<DownloadRecord, 0, 9>;
DownloadRecord& RecordOf(DownloadTable& table, int16_t port);

inline constexpr int32_t kPieceSize = 256;

// "Port " followed by the number without a blank.
std::string PortWords(int16_t port);

// The file name as shown in messages: the part after the last separator.
std::string BareName(const std::string& fullName);

// What opening a download's file learnt besides the record.
struct OpenedFile {
    std::string path;     // completed against the default path
    bool nameOk = false;  // the name check's verdict; each kind judges it in its own order
};

// Completes fileName against defaultPath, checks the name and opens the file. The record is
// made afresh (inactive) with the file, its size and its bare name. Nothing when the file
// cannot be opened: gsFileErr is shown, and after a failed open openErrorText and the bare name.
std::optional<OpenedFile> OpenDownloadFile(const std::string& fileName,
                                           const std::string& defaultPath,
                                           const std::string& openErrorText, DownloadRecord& rec);

// The record made idle: its file closed, the port's flag of its kind (`running`) cleared and
// nothing left to send. The end is reported only for a download that had started.
void EndDownload(int16_t port, DownloadRecord& rec, PerPort<bool>& running, bool ok);

// A download stopped or failed in its steps: the link recovery's timer is armed, the record
// ended and the file named as aborted. Always false.
bool AbortDownload(int16_t port, DownloadRecord& rec, PerPort<bool>& running);

// The start of every call: nothing to send and no answer wanted yet. A name given while the
// port's flag is clear starts afresh: a record left active by a dropped request must not carry
// an old file into the new one. Returns the port's record.
DownloadRecord& BeginDownloadCall(int16_t port, const std::string& fileName, DownloadTable& table,
                                  PerPort<bool>& running);

// After an unexpected error: the port's record ended as failed; when even that fails (a port
// out of range), at least nothing is left to send.
void EndDownloadAfterError(int16_t port, DownloadTable& table, PerPort<bool>& running);

// A download run by numbered steps, each call running steps until one has bytes to send.
struct StepMachine {
    DownloadTable& table;
    PerPort<bool>& running;
    const char* errorTitle;  // the first line of an unexpected error, before its number
    // Opens and checks the file; false when the download cannot start.
    bool (*start)(int16_t port, DownloadRecord& rec, const std::string& fileName);
    bool (*runSteps)(int16_t port, DownloadRecord& rec);
};

// One call of a step machine: the first call (with a name) starts the download, later calls
// (without one) continue it, and `abort` aborts it (AbortDownload). An unexpected error is
// shown in two lines and ends the download.
bool CallStepMachine(int16_t port, bool& abort, const std::string& fileName,
                     const StepMachine& machine);

// Up to count bytes from the current position of the record's file (fewer at its end). False
// with gsFileErr when the file cannot be read.
bool ReadPiece(DownloadRecord& rec, int32_t count, std::string& bytes);

// The next piece of a body sent in pieces of kPieceSize after the file's current position. While
// a full piece is left (with `lastMayBeFull`, a full piece that is not the file's last) it is
// read and sentCount grows by kPieceSize; otherwise the rest of the file (fewer than kPieceSize
// bytes, possibly none; exactly kPieceSize with `lastMayBeFull`) is read as the last piece.
enum class Piece { Full, Last, Failed };
Piece NextPiece(DownloadRecord& rec, bool lastMayBeFull, std::string& bytes);

// Progress of a piece-by-piece download at the file's current position.
void ReportPieces(int16_t port, const DownloadRecord& rec);

// Progress for the window or the runner showing it.
void ReportProgress(int16_t port, const std::string& what, int64_t bytesDone, int64_t bytesTotal,
                    int64_t blocksDone, int64_t blocksTotal);
void ReportEnded(int16_t port, bool ok);

// Each step machine's records back to idle (ResetDownloadGlobals).
void ResetFlashRecords();
void ResetBootRecords();
void ResetFileRecords();
void ResetImageBankRecords();

// Blocks of kPieceSize in a number of bytes, the last one partial.
inline int64_t PiecesIn(int64_t bytes) { return (bytes + kPieceSize - 1) / kPieceSize; }

}  // namespace posbench
