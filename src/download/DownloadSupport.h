#pragma once
// What the download step machines share: their per-port record tables, reading pieces of the
// open file, the port's wording in messages, the reconnection timer and progress reports.
#include <cstdint>
#include <string>

#include "base/Arrays.h"

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
};

// Ten records, indexed by port number minus one (only 1..6 are ever used).
using DownloadTable = BoundedArray<DownloadRecord, 0, 9>;
DownloadRecord& RecordOf(DownloadTable& table, int16_t port);

inline constexpr int32_t kPieceSize = 256;

// "Port " followed by the number without a blank.
std::string PortWords(int16_t port);

// The file name as shown in messages: the part after the last separator.
std::string BareName(const std::string& fullName);

// Up to count bytes from the current position (fewer at the end of the file). False with
// gsFileErr when the file cannot be read.
bool ReadPiece(int16_t handle, int32_t count, std::string& bytes);

// The next piece of a body sent in pieces of kPieceSize after the file's current position. While
// a full piece is left (with `lastMayBeFull`, a full piece that is not the file's last) it is
// read and sentCount grows by kPieceSize; otherwise the rest of the file (fewer than kPieceSize
// bytes, possibly none; exactly kPieceSize with `lastMayBeFull`) is read as the last piece.
enum class Piece { Full, Last, Failed };
Piece NextPiece(DownloadRecord& rec, bool lastMayBeFull, std::string& bytes);

// Progress of a piece-by-piece download at the file's current position.
void ReportPieces(int16_t port, const DownloadRecord& rec);

// Arms the link recovery's reconnection timer of the port (nothing without a host).
void ArmReconnect(int16_t port, long ms);

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
