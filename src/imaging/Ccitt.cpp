#include "imaging/Ccitt.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "base/Display.h"
#include "base/File.h"
#include "base/Numbers.h"
#include "base/RuntimeError.h"
#include "imaging/BitmapFile.h"
#include "imaging/Tiff.h"
#include "script/ScriptState.h"

namespace posbench {
namespace {

// ---- The modified Huffman codes (T.4), without the extended make-up codes ----

struct Code {
    uint16_t run;
    uint8_t length;
    uint16_t value;  // the code's bits read as a binary number
};

constexpr Code kWhiteCodes[] = {
    {0, 8, 0b00110101}, {1, 6, 0b000111}, {2, 4, 0b0111}, {3, 4, 0b1000}, {4, 4, 0b1011},
    {5, 4, 0b1100}, {6, 4, 0b1110}, {7, 4, 0b1111}, {8, 5, 0b10011}, {9, 5, 0b10100},
    {10, 5, 0b00111}, {11, 5, 0b01000}, {12, 6, 0b001000}, {13, 6, 0b000011},
    {14, 6, 0b110100}, {15, 6, 0b110101}, {16, 6, 0b101010}, {17, 6, 0b101011},
    {18, 7, 0b0100111}, {19, 7, 0b0001100}, {20, 7, 0b0001000}, {21, 7, 0b0010111},
    {22, 7, 0b0000011}, {23, 7, 0b0000100}, {24, 7, 0b0101000}, {25, 7, 0b0101011},
    {26, 7, 0b0010011}, {27, 7, 0b0100100}, {28, 7, 0b0011000}, {29, 8, 0b00000010},
    {30, 8, 0b00000011}, {31, 8, 0b00011010}, {32, 8, 0b00011011}, {33, 8, 0b00010010},
    {34, 8, 0b00010011}, {35, 8, 0b00010100}, {36, 8, 0b00010101}, {37, 8, 0b00010110},
    {38, 8, 0b00010111}, {39, 8, 0b00101000}, {40, 8, 0b00101001}, {41, 8, 0b00101010},
    {42, 8, 0b00101011}, {43, 8, 0b00101100}, {44, 8, 0b00101101}, {45, 8, 0b00000100},
    {46, 8, 0b00000101}, {47, 8, 0b00001010}, {48, 8, 0b00001011}, {49, 8, 0b01010010},
    {50, 8, 0b01010011}, {51, 8, 0b01010100}, {52, 8, 0b01010101}, {53, 8, 0b00100100},
    {54, 8, 0b00100101}, {55, 8, 0b01011000}, {56, 8, 0b01011001}, {57, 8, 0b01011010},
    {58, 8, 0b01011011}, {59, 8, 0b01001010}, {60, 8, 0b01001011}, {61, 8, 0b00110010},
    {62, 8, 0b00110011}, {63, 8, 0b00110100},
    {64, 5, 0b11011}, {128, 5, 0b10010}, {192, 6, 0b010111}, {256, 7, 0b0110111},
    {320, 8, 0b00110110}, {384, 8, 0b00110111}, {448, 8, 0b01100100}, {512, 8, 0b01100101},
    {576, 8, 0b01101000}, {640, 8, 0b01100111}, {704, 9, 0b011001100},
    {768, 9, 0b011001101}, {832, 9, 0b011010010}, {896, 9, 0b011010011},
    {960, 9, 0b011010100}, {1024, 9, 0b011010101}, {1088, 9, 0b011010110},
    {1152, 9, 0b011010111}, {1216, 9, 0b011011000}, {1280, 9, 0b011011001},
    {1344, 9, 0b011011010}, {1408, 9, 0b011011011}, {1472, 9, 0b010011000},
    {1536, 9, 0b010011001}, {1600, 9, 0b010011010}, {1664, 6, 0b011000},
    {1728, 9, 0b010011011},
};

constexpr Code kBlackCodes[] = {
    {0, 10, 0b0000110111}, {1, 3, 0b010}, {2, 2, 0b11}, {3, 2, 0b10}, {4, 3, 0b011},
    {5, 4, 0b0011}, {6, 4, 0b0010}, {7, 5, 0b00011}, {8, 6, 0b000101}, {9, 6, 0b000100},
    {10, 7, 0b0000100}, {11, 7, 0b0000101}, {12, 7, 0b0000111}, {13, 8, 0b00000100},
    {14, 8, 0b00000111}, {15, 9, 0b000011000}, {16, 10, 0b0000010111},
    {17, 10, 0b0000011000}, {18, 10, 0b0000001000}, {19, 11, 0b00001100111},
    {20, 11, 0b00001101000}, {21, 11, 0b00001101100}, {22, 11, 0b00000110111},
    {23, 11, 0b00000101000}, {24, 11, 0b00000010111}, {25, 11, 0b00000011000},
    {26, 12, 0b000011001010}, {27, 12, 0b000011001011}, {28, 12, 0b000011001100},
    {29, 12, 0b000011001101}, {30, 12, 0b000001101000}, {31, 12, 0b000001101001},
    {32, 12, 0b000001101010}, {33, 12, 0b000001101011}, {34, 12, 0b000011010010},
    {35, 12, 0b000011010011}, {36, 12, 0b000011010100}, {37, 12, 0b000011010101},
    {38, 12, 0b000011010110}, {39, 12, 0b000011010111}, {40, 12, 0b000001101100},
    {41, 12, 0b000001101101}, {42, 12, 0b000011011010}, {43, 12, 0b000011011011},
    {44, 12, 0b000001010100}, {45, 12, 0b000001010101}, {46, 12, 0b000001010110},
    {47, 12, 0b000001010111}, {48, 12, 0b000001100100}, {49, 12, 0b000001100101},
    {50, 12, 0b000001010010}, {51, 12, 0b000001010011}, {52, 12, 0b000000100100},
    {53, 12, 0b000000110111}, {54, 12, 0b000000111000}, {55, 12, 0b000000100111},
    {56, 12, 0b000000101000}, {57, 12, 0b000001011000}, {58, 12, 0b000001011001},
    {59, 12, 0b000000101011}, {60, 12, 0b000000101100}, {61, 12, 0b000001011010},
    {62, 12, 0b000001100110}, {63, 12, 0b000001100111},
    {64, 10, 0b0000001111}, {128, 12, 0b000011001000}, {192, 12, 0b000011001001},
    {256, 12, 0b000001011011}, {320, 12, 0b000000110011}, {384, 12, 0b000000110100},
    {448, 12, 0b000000110101}, {512, 13, 0b0000001101100}, {576, 13, 0b0000001101101},
    {640, 13, 0b0000001001010}, {704, 13, 0b0000001001011}, {768, 13, 0b0000001001100},
    {832, 13, 0b0000001001101}, {896, 13, 0b0000001110010}, {960, 13, 0b0000001110011},
    {1024, 13, 0b0000001110100}, {1088, 13, 0b0000001110101},
    {1152, 13, 0b0000001110110}, {1216, 13, 0b0000001110111},
    {1280, 13, 0b0000001010010}, {1344, 13, 0b0000001010011},
    {1408, 13, 0b0000001010100}, {1472, 13, 0b0000001010101},
    {1536, 13, 0b0000001011010}, {1600, 13, 0b0000001011011},
    {1664, 13, 0b0000001100100}, {1728, 13, 0b0000001100101},
};

static_assert(std::size(kWhiteCodes) == 91 && std::size(kBlackCodes) == 91);

// The two lookup arrays of the bit-at-a-time reading, indexed by (code length, code value). A
// value beyond the array is no code, like any other pattern the table does not hold.
constexpr int kMaxCodeValue = 220;
constexpr int kWhiteMin = 4, kWhiteMax = 9, kBlackMin = 2, kBlackMax = 13;

struct RunTable {
    std::array<std::array<int16_t, kMaxCodeValue + 1>, 14> runs;
};

RunTable BuildRunTable(const Code* codes, std::size_t count) {
    RunTable t;
    for (auto& row : t.runs) row.fill(-1);
    for (std::size_t i = 0; i < count; ++i)
        t.runs[codes[i].length][codes[i].value] = static_cast<int16_t>(codes[i].run);
    return t;
}

const RunTable& Runs(bool white) {
    static const RunTable whiteTable = BuildRunTable(kWhiteCodes, std::size(kWhiteCodes));
    static const RunTable blackTable = BuildRunTable(kBlackCodes, std::size(kBlackCodes));
    return white ? whiteTable : blackTable;
}

// ---- The 13-bit lookup ----

// One entry per 13-bit pattern: the bits the code takes (0: not settled within 13 bits) in the
// top 4 bits, and the run or end code in the low 12.
constexpr int kPeekBits = 13;
constexpr uint16_t kEntryEol = 4094;
constexpr uint16_t kEntryInvalid = 4093;
using PeekTable = std::array<uint16_t, 1u << kPeekBits>;

PeekTable BuildPeekTable(bool white) {
    PeekTable table{};
    for (uint32_t p = 0; p < table.size(); ++p) {
        const uint8_t bytes[2] = {static_cast<uint8_t>(p >> 5), static_cast<uint8_t>(p << 3)};
        StripBits bits{bytes, 2, 0};
        const int16_t run = GetPixelRun(white, bits);
        if (run == kRunEndOfData || bits.pos > kPeekBits) continue;
        const uint16_t value = run == kRunEol       ? kEntryEol
                               : run == kRunInvalid ? kEntryInvalid
                                                    : static_cast<uint16_t>(run);
        table[p] = static_cast<uint16_t>(bits.pos << 12 | value);
    }
    return table;
}

const PeekTable& Peek(bool white) {
    static const PeekTable whiteTable = BuildPeekTable(true);
    static const PeekTable blackTable = BuildPeekTable(false);
    return white ? whiteTable : blackTable;
}

[[gnu::always_inline]] inline int16_t FastPixelRun(bool white, StripBits& bits,
                                                   const PeekTable& table) {
    const std::size_t at = bits.pos >> 3;
    if (at + 4 <= bits.size) {  // 13 bits from any bit of a byte lie within its 4 bytes
        uint32_t word;
        std::memcpy(&word, bits.data + at, 4);
        word = __builtin_bswap32(word);
        const uint32_t pattern = (word << (bits.pos & 7)) >> (32 - kPeekBits);
        const uint16_t entry = table[pattern];
        if (entry != 0) {
            bits.pos += entry >> 12;
            const uint16_t value = entry & 0x0FFF;
            if (value < kEntryInvalid) return static_cast<int16_t>(value);
            return value == kEntryEol ? kRunEol : kRunInvalid;
        }
    }
    // The last bytes of the strip, long fill and bad codes: bit at a time.
    return GetPixelRun(white, bits);
}

// ---- The bit writer: OutPutPixels ----

// Bytes are stored only once full; a partial byte left at the end of a line is carried into the
// next line's first byte. Bytes past the end of the row, and rows past the top of the image,
// are dropped.
struct PixelWriter {
    uint8_t* pixels;
    int32_t rowLength;
    uint32_t out = 0;
    int free = 8;
    int32_t row = 0;       // counted down from the height; below 1 nothing is stored
    int64_t rowPos = 1;    // 1-based byte position within the row

    void StartLine() { rowPos = 1; }

    void Store(uint8_t byte) {
        if (row >= 1 && rowPos <= rowLength)
            pixels[static_cast<std::size_t>(row - 1) * rowLength + (rowPos - 1)] = byte;
        ++rowPos;
    }

    void StoreRun(uint8_t fill, int64_t count) {
        if (row >= 1 && rowPos <= rowLength) {
            const int64_t n = std::min<int64_t>(count, rowLength - rowPos + 1);
            std::memset(pixels + static_cast<std::size_t>(row - 1) * rowLength + (rowPos - 1),
                        fill, static_cast<std::size_t>(n));
        }
        rowPos += count;
    }

    void OutPutPixels(int64_t run, bool white) {
        const uint32_t fill = white ? 0xFFu : 0u;
        if (run >= free) {
            Store(static_cast<uint8_t>((out << free) | (fill >> (8 - free))));
            run -= free;
            StoreRun(static_cast<uint8_t>(fill), run / 8);
            run %= 8;
            out = 0;
            free = 8;
        }
        if (run > 0) {
            out = ((out << run) | (fill >> (8 - run))) & 0xFFu;
            free -= static_cast<int>(run);
        }
    }
};

}  // namespace

int GetNextBit(StripBits& bits) {
    if (bits.pos >= bits.size * 8) return -1;
    const int bit = (bits.data[bits.pos >> 3] >> (7 - (bits.pos & 7))) & 1;
    ++bits.pos;
    return bit;
}

int16_t GetPixelRun(bool white, StripBits& bits) {
    const int minLength = white ? kWhiteMin : kBlackMin;
    const int maxLength = white ? kWhiteMax : kBlackMax;
    const RunTable& table = Runs(white);
    uint32_t code = 0;
    int length = 0;
    auto readBit = [&] {
        const int bit = GetNextBit(bits);
        if (bit < 0) return false;
        code = code << 1 | static_cast<uint32_t>(bit);
        ++length;
        return true;
    };
    while (length < minLength)
        if (!readBit()) return kRunEndOfData;
    for (;;) {
        if (length >= 12 && code == 1) return kRunEol;
        if (length <= maxLength) {
            if (code <= kMaxCodeValue && table.runs[length][code] >= 0)
                return table.runs[length][code];
        } else if (code != 0) {
            return kRunInvalid;
        }
        // All zeros so far: fill bits before an EOL.
        if (!readBit()) return kRunEndOfData;
    }
}

void CapImageSize(int32_t& width, int32_t& height) {
    if (width > kMaxLinePixels || height > kMaxLines) {
        Display("Image of" + Str(width) + " x" + Str(height) + " capped to" +
                Str(std::min(width, kMaxLinePixels)) + " x" + Str(std::min(height, kMaxLines)));
        width = std::min(width, kMaxLinePixels);
        height = std::min(height, kMaxLines);
    }
    width = std::max(width, 0);
    height = std::max(height, 0);
}

namespace {

template <bool BitAtATime>
bool DecodeLines(StripBits& bits, DecodedPage& page) {
    const PeekTable& whitePeek = Peek(true);
    const PeekTable& blackPeek = Peek(false);
    auto run = [&](bool white) {
        if constexpr (BitAtATime) return GetPixelRun(white, bits);
        else return FastPixelRun(white, bits, white ? whitePeek : blackPeek);
    };
    PixelWriter writer{page.pixels.data(), page.rowLength};
    writer.row = page.height;

    if (run(true) != kRunEol) {
        Display("Compressed file missing initial EOL");
        return false;
    }
    const int64_t fullLine = static_cast<int64_t>(page.rowLength) * 8;
    for (int32_t line = 0; line < kMaxLines; ++line) {
        writer.StartLine();
        bool white = true;
        int64_t lineLength = 0;
        int16_t code = 0;
        for (;;) {
            code = run(white);
            if (code < 0) break;
            int64_t total = code;
            int16_t last = code;
            while (last >= 64) {  // a make-up code: the run goes on in the same colour
                last = run(white);
                if (last < 0) {
                    Display("decode: make-up code missing");
                    return false;
                }
                total += last;
            }
            lineLength += total;
            if (lineLength > kMaxLinePixels) {
                Display("line too long");
                return false;
            }
            writer.OutPutPixels(total, white);
            white = !white;
        }
        if (code == kRunEndOfData) return true;
        if (code == kRunInvalid) {
            Display("Invalid CCITT Compressed File: " + CStr(code));
            return false;
        }
        // An EOL: a complete line moves to the next row up; an empty line (the EOLs that end a
        // page) changes nothing; a short or long one is written over by the next line.
        if (lineLength == fullLine) --writer.row;
    }
    return false;
}

}  // namespace

bool DecodeStrip(const uint8_t* strip, std::size_t size, int32_t width, int32_t height,
                 DecodedPage& page, bool bitAtATime) {
    CapImageSize(width, height);
    page.width = width;
    page.height = height;
    page.rowLength = width / 8;
    page.pixels.assign(static_cast<std::size_t>(page.rowLength) * height, 0);
    StripBits bits{strip, size, 0};
    return bitAtATime ? DecodeLines<true>(bits, page) : DecodeLines<false>(bits, page);
}

std::string OneBitBitmap(const DecodedPage& page, bool withPixels) {
    const uint32_t stride = BitmapStride(page.width, 1);
    const std::string colours("\0\0\0\0\xFF\xFF\xFF\0", 8);  // 0 black, 1 white
    std::string bmp = BitmapHeaders(page.width, page.height, 1, 8) + colours;
    if (!withPixels) return bmp;
    bmp.reserve(bmp.size() + stride * static_cast<uint32_t>(page.height));
    const std::string padding(stride - static_cast<uint32_t>(page.rowLength), '\0');
    for (int32_t r = 0; r < page.height; ++r) {
        const auto* row = page.pixels.data() + static_cast<std::size_t>(r) * page.rowLength;
        bmp.append(reinterpret_cast<const char*>(row), static_cast<std::size_t>(page.rowLength));
        bmp += padding;
    }
    return bmp;
}

bool ReadStrip(int16_t tiffFileNumber, int32_t stripOffset, int32_t stripByteCount,
               std::string& strip) {
    const int64_t fileSize = FileLen(tiffFileNumber);
    if (stripOffset < 0 || stripByteCount < 0 ||
        static_cast<int64_t>(stripOffset) + stripByteCount > fileSize) {
        gsTiffErr = "TIFF strip at offset" + Str(stripOffset) + " of" + Str(stripByteCount) +
                    " bytes runs past the end of the file (" + CStr(fileSize) + " bytes)";
        return false;
    }
    if (stripByteCount > kMaxStripBytes) {
        gsTiffErr = "TIFF strip of" + Str(stripByteCount) + " bytes is larger than the" +
                    Str(kMaxStripBytes) + " bytes an image may take";
        return false;
    }
    SeekFile(tiffFileNumber, stripOffset);
    strip = ReadBytes(tiffFileNumber, stripByteCount);
    return true;
}

bool DecodeCCITT3(int16_t port, int32_t stripOffset, int32_t width, int32_t height,
                  int32_t stripByteCount, std::string& fileName) {
    gsTiffErr.clear();
    try {
        ClosingFile tiff;
        ClosingFile bmp;
        if (!GetCompletePath(fileName, gPortState(port).ScriptFile)) {
            gsTiffErr = "Invalid TIFF file Name";
            return false;
        }
        if (!OpenFile(fileName, open_mode::BinaryRead)) {
            gsTiffErr = gsFileErr;
            return false;
        }
        tiff.number = giFileNum;
        std::string strip;
        if (!ReadStrip(tiff.number, stripOffset, stripByteCount, strip)) return false;
        std::string bmpName = "\\temp1.bmp";
        if (!GetCompletePath(bmpName, fileName)) {
            gsTiffErr = "Invalid Tiff or bmp path";
            return false;
        }
        fileName = bmpName;
        if (!OpenFile(bmpName, open_mode::BinaryWrite)) {
            gsTiffErr = gsFileErr;
            return false;
        }
        bmp.number = giFileNum;
        DecodedPage page;
        const bool ok = DecodeStrip(reinterpret_cast<const uint8_t*>(strip.data()), strip.size(),
                                    width, height, page);
        WriteBytes(bmp.number, OneBitBitmap(page, ok));
        return ok;
    } catch (...) {
        Display("DecodeCCITT3 Error");
        return false;
    }
}

}  // namespace posbench
