#include "imaging/Tiff.h"

#include <algorithm>
#include <cstdio>

#include "base/Display.h"
#include "base/Events.h"
#include "base/File.h"
#include "base/Numbers.h"
#include "base/RuntimeError.h"
#include "base/StringOps.h"
#include "base/Text.h"
#include "imaging/ImagingViews.h"
#include "imaging/TiffBitmap.h"
#include "script/ScriptState.h"
#include "script/Utility.h"

namespace posbench {

std::string gsTiffErr;
std::string gsTNailFile;
TiffDirectory gTiff;

void ResetTiffGlobals() {
    gsTiffErr.clear();
    gsTNailFile.clear();
    gTiff = TiffDirectory{};
}

namespace {

constexpr uint16_t kTypeShort = 3;
constexpr uint16_t kTypeLong = 4;
const char* const kTagListHeader = " Tag                   Type     Count   Value/Offset";

uint32_t Be16(const uint8_t* p) { return static_cast<uint32_t>(p[0]) << 8 | p[1]; }
uint32_t Be32(const uint8_t* p) { return Be16(p) << 16 | Be16(p + 2); }

// The 14-character name of a tag in the tag list.
std::string TagName(uint32_t tag) {
    switch (tag) {
        case 254: return "SubFile Type  ";
        case 256: return "Width         ";
        case 257: return "Height        ";
        case 259: return "Compression   ";
        case 262: return "Photometric   ";
        case 273: return "StripOffSet   ";
        case 278: return "RowsPerStrip  ";
        case 279: return "StripByteCount";
        case 282: return "XResolution   ";
        case 283: return "YResolution   ";
        case 296: return "ResolutionUnit";
        case kTagMicr: return "MICR Data     ";
        default: return std::string(14, ' ');
    }
}

std::string Hex4(uint32_t v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%04X", v & 0xFFFFu);
    return buf;
}

// The bytes of the buffer from position at, or nullptr when [at, at + count) is not inside it.
const uint8_t* BufferAt(int64_t at, int64_t count) {
    if (at < 0 || count < 0 || at + count > kTiffBufferSize) return nullptr;
    return gTiff.buffer.data() + at;
}

// The MICR text of the walked directory: the tagged bytes less their terminator.
bool MicrText(std::string& text) {
    if (gTiff.micrLength < 1) {
        gsTiffErr = "TIFF MICR tag holds no data (count 0)";
        return false;
    }
    const int64_t at = static_cast<int64_t>(gTiff.micrOffset) - gTiff.bufferOffset;
    const uint8_t* p = BufferAt(at, gTiff.micrLength - 1);
    if (!p) {
        gsTiffErr = "TIFF MICR data (offset" + Str(gTiff.micrOffset) + "," +
                    Str(gTiff.micrLength) + " bytes) lies outside the" + Str(kTiffBufferSize) +
                    " bytes read with its directory";
        return false;
    }
    text.assign(reinterpret_cast<const char*>(p), static_cast<std::size_t>(gTiff.micrLength - 1));
    return true;
}

// MICR SHOW / VIEW: the MICR text of every directory of the chain.
bool ShowMicr(int16_t port, std::string name, bool view) {
    ClosingFile file;
    const bool opened = OpenTiffFile(port, name, file);
    DirectoryChain chain;
    while (opened && gTiff.position != 0) {
        if (!chain.Visit(gTiff.position)) break;
        ReadTiffBuffer(file.number, gTiff.position);
        if (!bEndian(0, false)) break;
        IImagingViews* views = ImagingViews();
        if (gTiff.hasMicr) {
            std::string text;
            if (!MicrText(text)) break;
            if (view)
                Display(text);
            else if (views)
                views->ShowMicrText(text);
        } else if (views) {
            views->HideMicrText();
        }
        if (!CalcEntriesOffset(gTiff.position)) break;
        DoEvents();
    }
    return gsTiffErr.empty();
}

// TAG SHOW: the first directory in the tag window.
bool ShowTags(int16_t port, std::string name) {
    ClosingFile file;
    std::vector<std::string> lines;
    if (OpenTiffFile(port, name, file) && TiffTagLines(file.number, lines) && gsTiffErr.empty()) {
        if (IImagingViews* views = ImagingViews()) views->ShowTagList(lines);
    }
    return gsTiffErr.empty();
}

}  // namespace

bool DirectoryChain::Visit(int32_t offset) {
    if (std::find(seen_.begin(), seen_.end(), offset) != seen_.end()) {
        gsTiffErr = "TIFF directory chain loops back to offset" + Str(offset);
        return false;
    }
    seen_.push_back(offset);
    return true;
}

void ReadTiffBuffer(int16_t fileNumber, int32_t offset) {
    gTiff.buffer.fill(0);
    gTiff.bufferOffset = offset;
    const int32_t size = FileLen(fileNumber);
    if (offset < 0 || offset >= size) return;
    const int32_t n = std::min(kTiffBufferSize, size - offset);
    SeekFile(fileNumber, offset);
    const std::string bytes = ReadBytes(fileNumber, n);
    std::copy(bytes.begin(), bytes.end(), gTiff.buffer.begin());
}

ClosingFile::~ClosingFile() {
    if (number != 0) CloseFile(number);
}

bool OpenTiffFile(int16_t port, std::string& name, ClosingFile& file) {
    if (name.empty() || !GetCompletePath(name, gPortState(port).ScriptFile)) {
        gsTiffErr = "Invalid TIFF file Name";
        return false;
    }
    if (!OpenFile(name, open_mode::BinaryRead)) {
        gsTiffErr = gsFileErr;
        return false;
    }
    file.number = giFileNum;
    ReadTiffBuffer(file.number, 0);
    return VerifyHeaderOK() && CalcEntriesOffset(4);
}

bool VerifyHeaderOK() {
    try {
        gsTiffErr = "Invalid or unsupported TIFF header";
        return gTiff.buffer[0] == 'M' && gTiff.buffer[1] == 'M' && gTiff.buffer[3] == '*';
    } catch (...) {
        gsTiffErr = FailureLine("modTiff, VerifyHeaderOK Error ", ": ");
        return false;
    }
}

bool CalcEntriesOffset(int32_t position) {
    try {
        const uint8_t* p = BufferAt(position, 4);
        if (!p) {
            gsTiffErr = "TIFF next-directory offset lies outside the" + Str(kTiffBufferSize) +
                        " bytes read with its directory";
            return false;
        }
        const uint32_t value = Be32(p);
        if (value > 0x7FFFFFFFu) Raise(err::Overflow);
        gTiff.position = static_cast<int32_t>(value);
        return true;
    } catch (...) {
        gsTiffErr = FailureLine("modTiff, CalcEntriesOffset ", ": ");
        return false;
    }
}

bool bEndian(int32_t start, bool showTags) {
    try {
        gsTiffErr.clear();
        gTiff.position = 0;
        gTiff.hasMicr = false;
        gTiff.micrOffset = 0;
        gTiff.micrLength = 0;
        gTiff.stripCount = 1;
        const uint8_t* countAt = BufferAt(start, 2);
        if (!countAt) {
            gsTiffErr = "TIFF directory lies outside the directory buffer";
            return false;
        }
        const int32_t n = static_cast<int32_t>(Be16(countAt));
        if (!BufferAt(start + 2, 12 * static_cast<int64_t>(n))) {
            gsTiffErr = "TIFF directory at offset" + Str(gTiff.bufferOffset) + " has" + Str(n) +
                        " entries, more than fit in the" + Str(kTiffBufferSize) + " bytes read";
            return false;
        }
        if (showTags) {
            if (IImagingViews* views = ImagingViews())
                views->ShowTagList({kTagListHeader, "  "});
        }
        for (int32_t i = 0; i < n; ++i)
            if (!GetValueOK(start + 2, i)) return false;
        gTiff.position = start + 2 + 12 * n;
        return gsTiffErr.empty();
    } catch (...) {
        gsTiffErr = FailureLine("modTiff, bEndian Error ", ": ");
        return false;
    }
}

bool GetValueOK(int32_t entriesStart, int32_t index) {
    try {
        const uint8_t* e = BufferAt(entriesStart + 12 * static_cast<int64_t>(index), 12);
        if (!e) Raise(err::SubscriptOutOfRange);
        const uint32_t tag = Be16(e);
        const uint32_t type = Be16(e + 2);
        const uint32_t count = Be32(e + 4);
        const uint32_t field = Be32(e + 8);
        if (count > 0x7FFFFFFFu || field > 0x7FFFFFFFu) {
            gsTiffErr = "Unable to Calc Tiff value";
            return false;
        }
        // Sizes and the strip are read by their type: a SHORT sits in the first two bytes.
        const int32_t value = static_cast<int32_t>(type == kTypeShort ? Be16(e + 8) : field);
        switch (tag) {
            case 256: gTiff.imageWidth = value; break;
            case 257: gTiff.imageLength = value; break;
            case 259:
                // A SHORT v in the first two bytes reads as v * 65536; the rounding restores v.
                gTiff.compression = static_cast<int32_t>((field + 32767u) / 65535u);
                break;
            case 273:
                gTiff.stripOffset = value;
                gTiff.stripCount = static_cast<int32_t>(count);
                break;
            case 279: gTiff.stripByteCount = value; break;
            case kTagMicr:
                gTiff.micrOffset = static_cast<int32_t>(field);
                gTiff.micrLength = static_cast<int32_t>(count);
                gTiff.hasMicr = true;
                break;
            default: break;
        }
        return true;
    } catch (...) {
        gsTiffErr = FailureLine("modTiff, GetValueOK Error ", ": ");
        return false;
    }
}

bool TiffTagLines(int16_t fileNumber, std::vector<std::string>& lines) {
    const int32_t firstDirectory = gTiff.position;
    ReadTiffBuffer(fileNumber, 0);
    const auto headerText = gTiff.buffer;  // its first 2048 bytes
    ReadTiffBuffer(fileNumber, firstDirectory);
    if (!bEndian(0, false)) return false;
    if (headerText[3] != '*') return true;

    const int64_t dir = Be32(headerText.data() + 4);
    const int64_t n = dir + 2 <= kTiffHeaderTextSize ? Be16(headerText.data() + dir) : 0;
    if (dir + 2 + 12 * n > kTiffHeaderTextSize) {
        gsTiffErr = "TIFF directory lies outside the first" + Str(kTiffHeaderTextSize) +
                    " bytes of the file; its tags cannot be listed";
        return false;
    }
    lines = {kTagListHeader, "  "};
    for (int64_t i = 0; i < n; ++i) {
        const uint8_t* e = headerText.data() + dir + 2 + 12 * i;
        const uint32_t tag = Be16(e);
        const uint32_t type = Be16(e + 2);
        std::string line = TagName(tag) + "  " + Hex4(tag) + "   " + Hex4(type) + "   " +
                           Hex4(Be16(e + 4)) + " " + Hex4(Be16(e + 6)) + "  " +
                           Hex4(Be16(e + 8)) + " " + Hex4(Be16(e + 10)) + "  ";
        const bool numeric = tag == 256 || tag == 257 || tag == 273 || tag == 278 ||
                             tag == 279 || tag == kTagMicr;
        if (tag == kTagMicr && gTiff.micrOffset != 0) {
            std::string text;
            if (!MicrText(text)) return false;
            line += text;
        } else if (numeric) {
            line += type == kTypeShort  ? std::to_string(Be16(e + 8))
                    : type == kTypeLong ? std::to_string(Be32(e + 8))
                                        : std::string("  ");
        }
        lines.push_back(line);
    }
    return true;
}

bool ProcessTiffFile(int16_t port, const std::string& line) {
    try {
        gsTiffErr.clear();
        std::string parameters[3];
        for (int16_t i = 0; i < 3; ++i) {
            if (!GetParameter(static_cast<int16_t>(i + 1), " ", i == 2, line)) {
                gsTiffErr = gsTextErr;
                return false;
            }
            parameters[i] = gsResult;
        }
        const std::string command = UCase(parameters[0]);
        const std::string mode = UCase(parameters[1]);
        std::string name = parameters[2];
        const auto star = name.find('*');
        if (star != std::string::npos && star > 0 && name.find('.', star + 1) != std::string::npos)
            name = FormCaptureName(name, glCaptureCounter % 10000).value_or(name);

        if (command == "IMAGE") {
            if (mode == "SHOW" || mode == "VIEW")
                ShowTiffImage(port, name, mode == "VIEW");
            else
                gsTiffErr = "Invalid TIFF IMAGE parameter";
        } else if (command == "MICR") {
            if (mode == "SHOW" || mode == "VIEW")
                ShowMicr(port, name, mode == "VIEW");
            else
                gsTiffErr = "Invalid TIFF MICR parameter";
        } else if (command == "TAG") {
            if (mode == "SHOW")
                ShowTags(port, name);
            else
                gsTiffErr = "Invalid TIFF TAG parameter";
        } else {
            gsTiffErr = "Invalid TIFF parameter";
        }
        return gsTiffErr.empty();
    } catch (...) {
        gsTiffErr = FailureLine("modTiff, ProcessTiffFile Error ", ": ");
        return false;
    }
}

}  // namespace posbench
