#pragma once
// Files and paths: opening a file in one of four ways behind a small numbered handle, reading
// and writing through the handle, splitting and completing the Windows-style names that
// scripts and INI files carry, the per-port default directories of the downloads, and a timed
// wait that a download can abort.
//
// Names. "\" and "/" both separate directories. A name is absolute when its second character
// is ":" (a drive, which means nothing here and is dropped when opening: C:\fw\a.bin opens
// /fw/a.bin), when it begins with "\\" (a network name, opened as //server/share/...) or with
// "/". Stored names keep the separators they were written with; NativePath makes the path
// that is really opened.
//
// Handles. Numbers 1..255 as FreeFile hands them out. The reading and writing calls below the
// OpenFile family raise RuntimeError: 52 "Bad file name or number" for a handle that is not
// open, 54 "Bad file mode" for a call the handle's mode does not allow, 62 "Input past end of
// file" for a read beyond the end. Positions are 0-based byte offsets.
#include <cstdint>
#include <string>

#include "base/PerPort.h"

namespace posbench {

inline constexpr int16_t kMaxFileHandles = 255;
// The longest line LineInput reads; a longer one is the run-time error "Out of string space"
// with the description "Line longer than 1 MiB".
inline constexpr std::size_t kMaxLineLength = 1u << 20;

// The open modes of OpenFile.
namespace open_mode {
inline constexpr int16_t BinaryRead = 1;  // existing file, binary, read
inline constexpr int16_t TextRead = 2;    // existing file, lines, read
inline constexpr int16_t TextAppend = 3;  // text, appended to (created when missing)
inline constexpr int16_t BinaryWrite = 4; // binary, written from the start (created or emptied)
}  // namespace open_mode

// Handle chosen by the last OpenFile, whether or not the open succeeded.
extern int16_t giFileNum;
// Name given to the last OpenFile that succeeded ("" from the start of every OpenFile).
extern std::string gsFileName;
// CheckPath: the directory with its trailing separator; CheckFileName: the bare file name;
// "" after a failure of either.
extern std::string gsSplitName;
// Reason of the last failure of OpenFile, GetBinaryChar, GetCompletePath, CheckPath,
// CheckFileName.
extern std::string gsFileErr;

// Default directory of each download kind of a port: the script file name given to
// SetDefaultPath; the downloads complete relative names against its directory with
// GetCompletePath (file and image-bank downloads read `file` and `boot`, the flash download
// reads `flash`).
struct DlDefaultPath {
    std::string file;
    std::string flash;
    std::string boot;
};
extern PerPort<DlDefaultPath> gDlDefaultPath;

// The port's download-abort flag: set by the download and cancel code, it ends WaitFileTime.
extern PerPort<bool> gbDlAbort;

// Closes every open handle and clears the globals above.
void ResetFileGlobals();

// ---- The procedures of scripts and downloads: results and gsFileErr, never raising. ----

// Opens name in mode 1..4; the handle is in giFileNum. Modes 1 and 2 need an existing file
// ("Can't find " + name); another mode gives "Invalid Open Request".
bool OpenFile(const std::string& name, int16_t mode);
// Closes the handle (nothing for one that is not open). False when the bytes written through it
// could not all be stored (a full disk shows only now, on the last flush), with the reason in
// gsFileErr.
bool CloseFile(int16_t handle);
// Reads the next byte of a binary file and appends it to text.
bool GetBinaryChar(int16_t handle, std::string& text);
// gsSplitName = the directory part of full, with its last separator.
bool CheckPath(const std::string& full);
// gsSplitName = the part of full after its last separator (all of it when it has none).
bool CheckFileName(const std::string& full);
// Makes name absolute against the directory of scriptName (a leading "\" is joined to that
// directory too). False with gsFileErr when scriptName has no directory.
bool GetCompletePath(std::string& name, const std::string& scriptName);
// Stores scriptName as the default path of the port's file, flash and boot downloads.
void SetDefaultPath(int16_t port, const std::string& scriptName);
// Waits ms milliseconds pumping events; False as soon as gbDlAbort(port) is set.
bool WaitFileTime(int16_t port, int32_t ms);

// ---- Names. ----

// True when name is absolute by the rules above.
bool IsAbsoluteName(const std::string& name);
// The POSIX path opened for a stored name: drive dropped, "\" made "/", then each component
// matched without regard to case when the exact path does not exist. With toCreate, a file
// that does not exist yet keeps its last component as written inside the matched directory.
std::string NativePath(const std::string& name, bool toCreate = false);

// ---- Handles: raising calls for the code that reads and writes through them. ----

// The lowest free handle (67 "Too many files" when all are in use).
int16_t FreeFile();
bool IsFileOpen(int16_t handle);
// Closes every open handle (script and program end).
void CloseAllFiles();
// The next line of a text or binary read handle, without its end (CR LF, LF or CR); false
// with line empty at the end of the file.
bool LineInput(int16_t handle, std::string& line);
// True when no byte is left to read (always true for the write modes).
bool FileEOF(int16_t handle);
// Length of the file in bytes; for a read handle, its length when it was opened.
int32_t FileLen(int16_t handle);
// Exactly count bytes from the current position (62 when fewer remain, nothing consumed).
std::string ReadBytes(int16_t handle, int32_t count);
// Up to count bytes from the current position, fewer at the end of the file. Asks the file
// nothing else, so that reading a file piece by piece stays within stdio's buffer.
std::string ReadUpTo(int16_t handle, int32_t count);
// The next byte (62 at the end of the file).
uint8_t ReadByte(int16_t handle);
// Current 0-based byte offset, and moving it (reads only; appends always go to the end).
int32_t FilePosition(int16_t handle);
void SeekFile(int16_t handle, int32_t offset);
// Writes bytes as they are; PrintLine adds CR LF, as text files of the system end lines.
void WriteBytes(int16_t handle, const std::string& bytes);
void PrintText(int16_t handle, const std::string& text);
void PrintLine(int16_t handle, const std::string& text);

}  // namespace posbench
