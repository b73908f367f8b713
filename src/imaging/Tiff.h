#pragma once
// modTIFF: the check imager's TIFF files (big-endian, the MICR line in private tag 65002):
// the header check, the directory walk, the MICR text, the tag list, and the [TIF] script line.
//
// A TIFF file is hostile input. Directories are read through a buffer of the 2049 bytes that
// follow a directory's offset, and every read out of it is checked: a directory, a MICR text or
// a next-directory pointer that does not lie inside it, a chain of directories that comes back
// to one already read, and a strip outside the file each end with a TIFF error text.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace posbench {

inline constexpr int32_t kTiffBufferSize = 2049;
inline constexpr int32_t kTiffHeaderTextSize = 2048;
inline constexpr uint16_t kTagMicr = 65002;

// "" when the last TIFF operation succeeded, else what failed.
extern std::string gsTiffErr;
// The last image file shown (double-clicking the main window's picture shows it again).
extern std::string gsTNailFile;

// What the last directory walk read.
struct TiffDirectory {
    std::array<uint8_t, kTiffBufferSize> buffer{};  // read from bufferOffset; zeros past the end
    int32_t bufferOffset = 0;
    // The first directory's offset after the header check; after a walk, the buffer position
    // of the walked directory's next-directory pointer.
    int32_t position = 0;
    int32_t imageWidth = 0;
    int32_t imageLength = 0;
    int32_t compression = 0;
    int32_t stripOffset = 0;
    int32_t stripCount = 1;  // how many strips tag 273 names
    int32_t stripByteCount = 0;
    int32_t micrOffset = 0;
    int32_t micrLength = 0;
    bool hasMicr = false;
};
extern TiffDirectory gTiff;

void ResetTiffGlobals();

// The [TIF] script line: IMAGE, MICR or TAG, then SHOW or VIEW, then the file name ("*" in it
// becomes the capture counter). True when the TIFF error text is empty.
bool ProcessTiffFile(int16_t port, const std::string& line);

// The header buffer read from offset 0: "MM", then "*" at byte 3.
bool VerifyHeaderOK();
// position := the 32-bit value at buffer position position.
bool CalcEntriesOffset(int32_t position);
// Walks the directory whose entry count is at buffer position start.
bool bEndian(int32_t start, bool showTags);
// One directory entry: stores the values of the tags the program uses.
bool GetValueOK(int32_t entriesStart, int32_t index);

// ---- Shared with the bitmap output ----

// A file handle closed when it goes out of scope, so that every way out of a procedure closes it.
struct ClosingFile {
    int16_t number = 0;
    ClosingFile() = default;
    ClosingFile(const ClosingFile&) = delete;
    ClosingFile& operator=(const ClosingFile&) = delete;
    ~ClosingFile();
};

// Completes name against the port's script, opens it and checks the header, leaving the first
// directory's offset in gTiff.position. False with the TIFF error text.
bool OpenTiffFile(int16_t port, std::string& name, ClosingFile& file);
// Fills the directory buffer from the file at offset (zeros past the end of the file).
void ReadTiffBuffer(int16_t fileNumber, int32_t offset);

// The offsets of the directories read so far in one walk: a chain that comes back to one of
// them is refused.
class DirectoryChain {
public:
    // False with the TIFF error text when offset was already read.
    bool Visit(int32_t offset);

private:
    std::vector<int32_t> seen_;
};

// The tag list lines of the file's first directory, the header line first.
bool TiffTagLines(int16_t fileNumber, std::vector<std::string>& lines);

}  // namespace posbench
