#include "CheckImage.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace posbench::sim {
namespace {

// ---- Drawing ----

// One byte per pixel, true for black.
class Canvas {
public:
    Canvas() : px_(static_cast<std::size_t>(kCheckWidth) * kCheckHeight, 0) {}

    void Dot(int x, int y) {
        if (x >= 0 && x < kCheckWidth && y >= 0 && y < kCheckHeight)
            px_[static_cast<std::size_t>(y) * kCheckWidth + x] = 1;
    }
    void Box(int x, int y, int w, int h) {
        for (int j = y; j < y + h; ++j)
            for (int i = x; i < x + w; ++i) Dot(i, j);
    }
    void Frame(int x, int y, int w, int h, int t) {
        Box(x, y, w, t);
        Box(x, y + h - t, w, t);
        Box(x, y, t, h);
        Box(x + w - t, y, t, h);
    }
    // Text in a 5 x 7 dot font, each dot scale x scale pixels, characters 6 dots apart.
    void Text(int x, int y, const char* text, int scale) {
        for (; *text; ++text, x += 6 * scale) {
            const uint8_t* rows = Glyph(*text);
            for (int r = 0; r < 7; ++r)
                for (int c = 0; c < 5; ++c)
                    if (rows[r] & (0x10 >> c)) Box(x + c * scale, y + r * scale, scale, scale);
        }
    }
    bool Black(int x, int y) const { return px_[static_cast<std::size_t>(y) * kCheckWidth + x]; }

private:
    static const uint8_t* Glyph(char c) {
        static const struct {
            char c;
            uint8_t rows[7];
        } font[] = {
            {'A', {0x0E, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}}, {'B', {0x1E, 0x11, 0x11, 0x1E, 0x11, 0x11, 0x1E}},
            {'C', {0x0E, 0x11, 0x10, 0x10, 0x10, 0x11, 0x0E}}, {'D', {0x1E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x1E}},
            {'E', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F}}, {'F', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x10}},
            {'G', {0x0E, 0x11, 0x10, 0x17, 0x11, 0x11, 0x0F}}, {'H', {0x11, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}},
            {'I', {0x0E, 0x04, 0x04, 0x04, 0x04, 0x04, 0x0E}}, {'K', {0x11, 0x12, 0x14, 0x18, 0x14, 0x12, 0x11}},
            {'L', {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F}}, {'M', {0x11, 0x1B, 0x15, 0x15, 0x11, 0x11, 0x11}},
            {'N', {0x11, 0x19, 0x15, 0x13, 0x11, 0x11, 0x11}}, {'O', {0x0E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}},
            {'P', {0x1E, 0x11, 0x11, 0x1E, 0x10, 0x10, 0x10}}, {'R', {0x1E, 0x11, 0x11, 0x1E, 0x14, 0x12, 0x11}},
            {'S', {0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E}}, {'T', {0x1F, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04}},
            {'U', {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}}, {'V', {0x11, 0x11, 0x11, 0x11, 0x11, 0x0A, 0x04}},
            {'W', {0x11, 0x11, 0x11, 0x15, 0x15, 0x15, 0x0A}}, {'Y', {0x11, 0x11, 0x0A, 0x04, 0x04, 0x04, 0x04}},
            {'0', {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}}, {'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}},
            {'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}}, {'3', {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}},
            {'4', {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}}, {'5', {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}},
            {'6', {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}}, {'7', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
            {'8', {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}}, {'9', {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}},
            {'$', {0x04, 0x0F, 0x14, 0x0E, 0x05, 0x1E, 0x04}}, {'.', {0x00, 0x00, 0x00, 0x00, 0x00, 0x0C, 0x0C}},
            {',', {0x00, 0x00, 0x00, 0x00, 0x0C, 0x04, 0x08}}, {'/', {0x01, 0x01, 0x02, 0x04, 0x08, 0x10, 0x10}},
            {'-', {0x00, 0x00, 0x00, 0x1F, 0x00, 0x00, 0x00}}, {':', {0x00, 0x0C, 0x0C, 0x00, 0x0C, 0x0C, 0x00}},
        };
        static const uint8_t blank[7] = {};
        for (const auto& g : font)
            if (g.c == c) return g.rows;
        return blank;
    }

    std::vector<uint8_t> px_;
};

Canvas DrawCheck() {
    Canvas c;
    c.Frame(16, 16, kCheckWidth - 32, kCheckHeight - 32, 6);
    c.Text(60, 50, "POSBENCH SAVINGS BANK", 5);
    c.Text(60, 100, "1 MARKET STREET, SPRINGFIELD", 3);
    c.Text(1420, 50, "NO. 1042", 5);
    c.Text(1140, 170, "DATE", 4);
    c.Text(1280, 150, "12/07/2026", 5);
    c.Box(1270, 200, 380, 3);
    c.Text(60, 280, "PAY TO THE", 4);
    c.Text(60, 316, "ORDER OF", 4);
    c.Text(320, 285, "A. N. OTHER", 6);
    c.Box(300, 340, 990, 3);
    c.Frame(1316, 270, 370, 80, 4);
    c.Text(1340, 290, "$1,234.56", 6);
    c.Text(60, 400, "ONE THOUSAND TWO HUNDRED THIRTY-FOUR AND 56/100", 4);
    c.Box(60, 440, 1400, 3);
    c.Text(1480, 410, "DOLLARS", 4);
    c.Text(60, 560, "MEMO", 4);
    c.Box(180, 585, 560, 3);
    // The signature: a scribble over its line.
    for (int x = 1000; x < 1600; ++x) {
        const double t = (x - 1000) / 600.0;
        const int y = 560 + static_cast<int>(30 * std::sin(t * 23) * std::cos(t * 5));
        c.Box(x, y, 3, 3);
    }
    c.Box(980, 595, 680, 3);
    c.Text(260, 680, kCheckMicr, 7);
    return c;
}

// ---- Modified Huffman coding: the run-length codes of each colour as bit strings ----

const char* const kWhiteTerminating[64] = {
    "00110101", "000111", "0111", "1000", "1011", "1100", "1110", "1111", "10011", "10100",
    "00111", "01000", "001000", "000011", "110100", "110101", "101010", "101011", "0100111",
    "0001100", "0001000", "0010111", "0000011", "0000100", "0101000", "0101011", "0010011",
    "0100100", "0011000", "00000010", "00000011", "00011010", "00011011", "00010010",
    "00010011", "00010100", "00010101", "00010110", "00010111", "00101000", "00101001",
    "00101010", "00101011", "00101100", "00101101", "00000100", "00000101", "00001010",
    "00001011", "01010010", "01010011", "01010100", "01010101", "00100100", "00100101",
    "01011000", "01011001", "01011010", "01011011", "01001010", "01001011", "00110010",
    "00110011", "00110100"};
// Make-up codes for 64, 128, ... 1728.
const char* const kWhiteMakeUp[27] = {
    "11011", "10010", "010111", "0110111", "00110110", "00110111", "01100100", "01100101",
    "01101000", "01100111", "011001100", "011001101", "011010010", "011010011", "011010100",
    "011010101", "011010110", "011010111", "011011000", "011011001", "011011010",
    "011011011", "010011000", "010011001", "010011010", "011000", "010011011"};
const char* const kBlackTerminating[64] = {
    "0000110111", "010", "11", "10", "011", "0011", "0010", "00011", "000101", "000100",
    "0000100", "0000101", "0000111", "00000100", "00000111", "000011000", "0000010111",
    "0000011000", "0000001000", "00001100111", "00001101000", "00001101100", "00000110111",
    "00000101000", "00000010111", "00000011000", "000011001010", "000011001011",
    "000011001100", "000011001101", "000001101000", "000001101001", "000001101010",
    "000001101011", "000011010010", "000011010011", "000011010100", "000011010101",
    "000011010110", "000011010111", "000001101100", "000001101101", "000011011010",
    "000011011011", "000001010100", "000001010101", "000001010110", "000001010111",
    "000001100100", "000001100101", "000001010010", "000001010011", "000000100100",
    "000000110111", "000000111000", "000000100111", "000000101000", "000001011000",
    "000001011001", "000000101011", "000000101100", "000001011010", "000001100110",
    "000001100111"};
const char* const kBlackMakeUp[27] = {
    "0000001111", "000011001000", "000011001001", "000001011011", "000000110011",
    "000000110100", "000000110101", "0000001101100", "0000001101101", "0000001001010",
    "0000001001011", "0000001001100", "0000001001101", "0000001110010", "0000001110011",
    "0000001110100", "0000001110101", "0000001110110", "0000001110111", "0000001010010",
    "0000001010011", "0000001010100", "0000001010101", "0000001011010", "0000001011011",
    "0000001100100", "0000001100101"};
const char* const kEndOfLine = "000000000001";

class BitSink {
public:
    void Put(const char* bits) {
        for (; *bits; ++bits) {
            acc_ = static_cast<uint8_t>(acc_ << 1 | (*bits == '1'));
            if (++used_ == 8) Flush();
        }
    }
    std::string Finish() {
        while (used_ != 0) Put("0");
        return out_;
    }

private:
    void Flush() {
        out_ += static_cast<char>(acc_);
        acc_ = 0;
        used_ = 0;
    }
    std::string out_;
    uint8_t acc_ = 0;
    int used_ = 0;
};

void PutRun(BitSink& sink, int run, bool black) {
    const char* const* makeUp = black ? kBlackMakeUp : kWhiteMakeUp;
    const char* const* terminating = black ? kBlackTerminating : kWhiteTerminating;
    const std::size_t sixtyFours = static_cast<std::size_t>(run) / 64;
    if (sixtyFours > 0) sink.Put(makeUp[sixtyFours - 1]);
    sink.Put(terminating[static_cast<std::size_t>(run) % 64]);
}

std::string EncodeGroup3(const Canvas& c) {
    BitSink sink;
    for (int y = 0; y < kCheckHeight; ++y) {
        sink.Put(kEndOfLine);
        bool black = false;  // every line starts with a white run, perhaps of 0
        int x = 0;
        while (x < kCheckWidth) {
            int end = x;
            while (end < kCheckWidth && c.Black(end, y) == black) ++end;
            PutRun(sink, end - x, black);
            x = end;
            black = !black;
        }
    }
    for (int i = 0; i < 6; ++i) sink.Put(kEndOfLine);  // return to control
    return sink.Finish();
}

// ---- The TIFF file ----

void Put16(std::string& s, uint32_t v) {
    s += static_cast<char>(v >> 8 & 0xFF);
    s += static_cast<char>(v & 0xFF);
}
void Put32(std::string& s, uint32_t v) {
    Put16(s, v >> 16);
    Put16(s, v & 0xFFFF);
}

std::string BuildTiff() {
    const std::string strip = EncodeGroup3(DrawCheck());
    const std::string micr = std::string(kCheckMicr) + '\0';
    enum Type : uint16_t { kAscii = 2, kShort = 3, kLong = 4, kRational = 5 };
    struct Field {
        uint16_t tag;
        uint16_t type;
        uint32_t count;
        uint32_t value;  // a SHORT goes into the first two bytes
    };
    constexpr uint32_t kEntries = 16;
    const uint32_t afterDirectory = 8 + 2 + 12 * kEntries + 4;
    const uint32_t resolutionAt = afterDirectory;       // two RATIONALs: 200/1 each
    const uint32_t micrAt = resolutionAt + 16;
    const uint32_t stripAt = micrAt + static_cast<uint32_t>(micr.size());
    const Field fields[kEntries] = {
        {254, kLong, 1, 0},
        {256, kLong, 1, kCheckWidth},
        {257, kLong, 1, kCheckHeight},
        {258, kShort, 1, 1},
        {259, kShort, 1, 3},     // CCITT Group 3
        {262, kShort, 1, 0},     // 0 is white
        {266, kShort, 1, 1},     // the most significant bit first
        {273, kLong, 1, stripAt},
        {277, kShort, 1, 1},
        {278, kLong, 1, kCheckHeight},
        {279, kLong, 1, static_cast<uint32_t>(strip.size())},
        {282, kRational, 1, resolutionAt},
        {283, kRational, 1, resolutionAt + 8},
        {292, kLong, 1, 0},      // one-dimensional, EOLs not byte-aligned
        {296, kShort, 1, 2},     // inches
        {65002, kAscii, static_cast<uint32_t>(micr.size()), micrAt},
    };
    std::string tiff("MM", 2);
    Put16(tiff, 42);
    Put32(tiff, 8);
    Put16(tiff, kEntries);
    for (const Field& f : fields) {
        Put16(tiff, f.tag);
        Put16(tiff, f.type);
        Put32(tiff, f.count);
        if (f.type == kShort) {
            Put16(tiff, f.value);
            Put16(tiff, 0);
        } else {
            Put32(tiff, f.value);
        }
    }
    Put32(tiff, 0);  // no further directory
    for (int i = 0; i < 2; ++i) {
        Put32(tiff, 200);
        Put32(tiff, 1);
    }
    return tiff + micr + strip;
}

}  // namespace

const std::string& CheckImageTiff() {
    static const std::string tiff = BuildTiff();
    return tiff;
}

}  // namespace posbench::sim
