#include "base/File.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>

#include "base/Display.h"
#include "base/Events.h"
#include "base/Numbers.h"
#include "base/PathCase.h"
#include "base/RuntimeError.h"
#include "base/Tick.h"

namespace posbench {

int16_t giFileNum = 0;
std::string gsFileName;
std::string gsSplitName;
std::string gsFileErr;
PerPort<DlDefaultPath> gDlDefaultPath;
PerPort<bool> gbDlAbort;

namespace {

// Large enough that reading a firmware image byte by byte stays in memory most of the time.
constexpr std::size_t kFileBuffer = 64 * 1024;

struct FileCloser {
    void operator()(std::FILE* fp) const { std::fclose(fp); }
};

struct OpenHandle {
    std::unique_ptr<std::FILE, FileCloser> fp;
    int16_t mode = 0;
    std::string name;
    // A read handle's length, taken once at the open: asking the file again (fflush, fstat)
    // would throw away stdio's buffer and make a download read its file once per piece.
    int64_t readLength = -1;
};

std::array<OpenHandle, kMaxFileHandles + 1>& Handles() {
    static std::array<OpenHandle, kMaxFileHandles + 1> handles;
    return handles;
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool IsReadMode(int16_t mode) {
    return mode == open_mode::BinaryRead || mode == open_mode::TextRead;
}

OpenHandle& Open(int16_t handle) {
    if (handle < 1 || handle > kMaxFileHandles || !Handles()[handle].fp)
        Raise(err::BadFileNameOrNumber);
    return Handles()[handle];
}

std::FILE* Reader(int16_t handle) {
    OpenHandle& h = Open(handle);
    if (!IsReadMode(h.mode)) Raise(err::BadFileMode);
    return h.fp.get();
}

std::FILE* Writer(int16_t handle) {
    OpenHandle& h = Open(handle);
    if (IsReadMode(h.mode)) Raise(err::BadFileMode);
    return h.fp.get();
}

int32_t OpenErrorNumber(int error) {
    switch (error) {
    case EACCES:
    case EPERM:
    case EROFS: return err::PermissionDenied;
    case ENOENT:
    case ENOTDIR: return err::PathNotFound;
    case EMFILE:
    case ENFILE: return err::TooManyFiles;
    case ENOSPC: return err::DiskFull;
    default: return err::PathFileAccessError;
    }
}

// Something by that name exists (whether it is a file that can be read is told on opening).
bool Exists(const std::string& path) {
    struct stat st{};
    return !path.empty() && ::stat(path.c_str(), &st) == 0;
}

// Length of the name part after the last separator.
std::size_t FileNamePartLength(const std::string& full) {
    const std::size_t last = full.find_last_of("\\/");
    return last == std::string::npos ? full.size() : full.size() - last - 1;
}

// Opens a regular file for reading without ever blocking: a FIFO or a device could hold the
// open (or feed a script for ever). Null with errno set on failure, or with errno 0 and
// gsFileErr set when the name is not a regular file.
std::FILE* OpenRegularForReading(const std::string& path, const std::string& name) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return nullptr;
    struct stat st{};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        gsFileErr = "Not a regular file: " + name;
        errno = 0;
        return nullptr;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    std::FILE* fp = ::fdopen(fd, "rb");
    if (!fp) ::close(fd);
    return fp;
}

void CheckRead(std::FILE* fp) {
    if (std::ferror(fp)) Raise(err::DeviceIoError);
}

}  // namespace

void ResetFileGlobals() {
    CloseAllFiles();
    giFileNum = 0;
    gsFileName.clear();
    gsSplitName.clear();
    gsFileErr.clear();
    gDlDefaultPath.reset();
    gbDlAbort.reset();
}

// ---- Names ----

bool IsAbsoluteName(const std::string& name) {
    if (name.size() >= 2 && name[1] == ':') return true;
    if (name.rfind("\\\\", 0) == 0) return true;
    return !name.empty() && name.front() == '/';
}

std::string NativePath(const std::string& name, bool toCreate) {
    std::string path = (name.size() >= 2 && name[1] == ':') ? name.substr(2) : name;
    std::replace(path.begin(), path.end(), '\\', '/');
    return toCreate ? ResolveParentNoCase(path) : ResolvePathNoCase(path);
}

bool CheckPath(const std::string& full) {
    try {
        gsSplitName.clear();
        if (full.empty()) {
            gsFileErr = "Missing path error - blank line";
            return false;
        }
        if (full.find_first_of("\\/") == std::string::npos) {
            gsFileErr = "Invalid File path/name";
            return false;
        }
        gsSplitName = full.substr(0, full.size() - FileNamePartLength(full));
        return true;
    } catch (...) {
        gsSplitName.clear();
        gsFileErr = FailureLine("Path Error", ": ");
        return false;
    }
}

bool CheckFileName(const std::string& full) {
    try {
        gsSplitName.clear();
        if (full.empty()) {
            gsFileErr = "Missing file name error - blank line";
            return false;
        }
        if (IsSeparator(full.back())) {
            gsFileErr = "Invalid File Name";
            return false;
        }
        gsSplitName = full.substr(full.size() - FileNamePartLength(full));
        return true;
    } catch (...) {
        gsSplitName.clear();
        gsFileErr = FailureLine("File Name Error", ": ");
        return false;
    }
}

bool GetCompletePath(std::string& name, const std::string& scriptName) {
    try {
        if (IsAbsoluteName(name)) return true;
        if (!CheckPath(scriptName)) return false;
        // The directory keeps the script's own trailing separator, so a name that starts with
        // "\" loses that one character instead of doubling the separator.
        if (!name.empty() && name.front() == '\\') name = gsSplitName + name.substr(1);
        else name = gsSplitName + name;
        return true;
    } catch (...) {
        gsFileErr = FailureLine("Get Complete Path Error: ", ": ");
        return false;
    }
}

void SetDefaultPath(int16_t port, const std::string& scriptName) {
    try {
        DlDefaultPath& paths = gDlDefaultPath(port);
        paths.file = scriptName;
        paths.flash = scriptName;
        paths.boot = scriptName;
    } catch (...) {
        Display(FailureLine("Internal Set Default Path Error", ": "));
    }
}

bool WaitFileTime(int16_t port, int32_t ms) {
    try {
        const bool& abort = gbDlAbort(port);  // an unknown port fails before any waiting
        const uint32_t end = TickCount() + static_cast<uint32_t>(ms);
        DoEvents();
        while (true) {
            const uint32_t now = TickCount();
            if (TickReached(now, end)) return true;
            if (abort) return false;
            // Asleep until the deadline, a notice (a cancel wakes the pump), a timer due, or
            // the answer another port's read awaits on its line: the pump serves that port at
            // once instead of leaving its transfer stalled for the rest of this pause.
            WaitEventsOrInput(std::chrono::milliseconds(static_cast<int32_t>(end - now)));
        }
    } catch (...) {
        Display(FailureLine("Interanl Wait File Time Ok ", ": "));
        return false;
    }
}

// ---- Opening and closing ----

int16_t FreeFile() {
    for (int16_t h = 1; h <= kMaxFileHandles; ++h)
        if (!Handles()[h].fp) return h;
    Raise(err::TooManyFiles);
}

bool IsFileOpen(int16_t handle) {
    return handle >= 1 && handle <= kMaxFileHandles && Handles()[handle].fp != nullptr;
}

bool OpenFile(const std::string& name, int16_t mode) {
    try {
        gsFileName.clear();
        giFileNum = 0;
        giFileNum = FreeFile();
        const char* flags = nullptr;
        std::string path;
        switch (mode) {
        case open_mode::BinaryRead:
        case open_mode::TextRead:
            path = NativePath(name);
            if (!Exists(path)) {
                gsFileErr = "Can't find " + name;
                return false;
            }
            flags = "rb";
            break;
        case open_mode::TextAppend:
            path = NativePath(name, true);
            flags = "ab";
            break;
        case open_mode::BinaryWrite:
            path = NativePath(name, true);
            flags = "wb";
            break;
        default:
            gsFileErr = "Invalid Open Request";
            return false;
        }
        if (path.empty()) Raise(err::BadFileNameOrNumber);
        errno = 0;
        std::unique_ptr<std::FILE, FileCloser> fp(
            IsReadMode(mode) ? OpenRegularForReading(path, name) : std::fopen(path.c_str(), flags));
        if (!fp) {
            if (errno == 0) return false;  // not a regular file: gsFileErr says so
            Raise(OpenErrorNumber(errno));
        }
        std::setvbuf(fp.get(), nullptr, _IOFBF, kFileBuffer);
        int64_t readLength = -1;
        if (IsReadMode(mode)) {
            struct stat st{};
            if (::fstat(::fileno(fp.get()), &st) != 0) Raise(err::DeviceIoError);
            readLength = st.st_size;
        }
        Handles()[giFileNum] = OpenHandle{std::move(fp), mode, name, readLength};
        gsFileName = name;
        return true;
    } catch (...) {
        gsFileErr = FailureLine("Open File Error: ", ": ");
        return false;
    }
}

bool CloseFile(int16_t handle) {
    if (handle < 1 || handle > kMaxFileHandles || !Handles()[handle].fp) return true;
    OpenHandle& h = Handles()[handle];
    std::FILE* fp = h.fp.release();
    const bool written = IsReadMode(h.mode) || (std::fflush(fp) == 0 && !std::ferror(fp));
    const int error = errno;
    const bool closed = std::fclose(fp) == 0;
    const std::string name = std::move(h.name);
    h = OpenHandle{};
    if (written && closed) return true;
    gsFileErr = "Error writing " + name + ": " + std::strerror(written ? errno : error);
    return false;
}

void CloseAllFiles() {
    for (OpenHandle& h : Handles()) h = OpenHandle{};
}

bool GetBinaryChar(int16_t handle, std::string& text) {
    try {
        text += static_cast<char>(ReadByte(handle));
        return true;
    } catch (...) {
        gsFileErr = FailureLine("Get Binary Char Error: ", ": ");
        return false;
    }
}

// ---- Reading and writing through handles ----

bool LineInput(int16_t handle, std::string& line) {
    std::FILE* fp = Reader(handle);
    line.clear();
    int c = std::getc(fp);
    if (c == EOF) {
        CheckRead(fp);
        return false;
    }
    while (c != EOF && c != '\n' && c != '\r') {
        if (line.size() >= kMaxLineLength)
            throw RuntimeError(err::OutOfStringSpace,
                               "Line longer than " + std::to_string(kMaxLineLength >> 20) + " MiB");
        line += static_cast<char>(c);
        c = std::getc(fp);
    }
    if (c == '\r') {
        const int next = std::getc(fp);
        if (next != '\n' && next != EOF) std::ungetc(next, fp);
    }
    CheckRead(fp);
    return true;
}

bool FileEOF(int16_t handle) {
    OpenHandle& h = Open(handle);
    if (!IsReadMode(h.mode)) return true;
    std::FILE* fp = h.fp.get();
    const int c = std::getc(fp);
    if (c == EOF) {
        CheckRead(fp);
        return true;
    }
    std::ungetc(c, fp);
    return false;
}

int32_t FileLen(int16_t handle) {
    const OpenHandle& h = Open(handle);
    if (h.readLength >= 0) return ToLong(h.readLength);
    std::FILE* fp = h.fp.get();
    if (std::fflush(fp) != 0) Raise(err::DeviceIoError);
    struct stat st{};
    if (::fstat(::fileno(fp), &st) != 0) Raise(err::DeviceIoError);
    return ToLong(st.st_size);
}

int32_t FilePosition(int16_t handle) {
    const long pos = std::ftell(Open(handle).fp.get());
    if (pos < 0) Raise(err::DeviceIoError);
    return ToLong(pos);
}

void SeekFile(int16_t handle, int32_t offset) {
    std::FILE* fp = Reader(handle);
    if (offset < 0) Raise(err::BadRecordNumber);
    if (std::fseek(fp, offset, SEEK_SET) != 0) Raise(err::DeviceIoError);
}

std::string ReadBytes(int16_t handle, int32_t count) {
    std::FILE* fp = Reader(handle);
    if (count < 0) Raise(err::InvalidProcedureCall);
    if (static_cast<int64_t>(FilePosition(handle)) + count > FileLen(handle))
        Raise(err::InputPastEndOfFile);
    std::string bytes(static_cast<std::size_t>(count), '\0');
    if (std::fread(bytes.data(), 1, bytes.size(), fp) != bytes.size()) {
        CheckRead(fp);
        Raise(err::InputPastEndOfFile);
    }
    return bytes;
}

std::string ReadUpTo(int16_t handle, int32_t count) {
    std::FILE* fp = Reader(handle);
    if (count < 0) Raise(err::InvalidProcedureCall);
    std::string bytes(static_cast<std::size_t>(count), '\0');
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), fp));
    CheckRead(fp);
    return bytes;
}

uint8_t ReadByte(int16_t handle) {
    std::FILE* fp = Reader(handle);
    const int c = std::getc(fp);
    if (c == EOF) {
        CheckRead(fp);
        Raise(err::InputPastEndOfFile);
    }
    return static_cast<uint8_t>(c);
}

void WriteBytes(int16_t handle, const std::string& bytes) {
    std::FILE* fp = Writer(handle);
    if (std::fwrite(bytes.data(), 1, bytes.size(), fp) != bytes.size())
        Raise(errno == ENOSPC ? err::DiskFull : err::DeviceIoError);
}

void PrintText(int16_t handle, const std::string& text) { WriteBytes(handle, text); }

void PrintLine(int16_t handle, const std::string& text) { WriteBytes(handle, text + "\r\n"); }

}  // namespace posbench
