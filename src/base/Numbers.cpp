#include "base/Numbers.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "base/RuntimeError.h"

namespace posbench {
namespace {

bool IsSkippable(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

int DigitValue(char c, int base) {
    int v = -1;
    if (c >= '0' && c <= '9') v = c - '0';
    else if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
    return v < base ? v : -1;
}

double RadixValue(std::string_view text, std::size_t pos, int base) {
    uint64_t value = 0;
    int digits = 0;
    for (; pos < text.size(); ++pos) {
        if (IsSkippable(text[pos])) continue;
        int d = DigitValue(text[pos], base);
        if (d < 0) break;
        if (value == 0 && d == 0) continue;  // leading zeros do not count towards the width
        value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(d);
        if (++digits > 11 || value > 0xFFFFFFFFull) Raise(err::Overflow);
    }
    if (value <= 0xFFFF) return static_cast<double>(static_cast<int16_t>(value));
    return static_cast<double>(static_cast<int32_t>(static_cast<uint32_t>(value)));
}

std::string FormatDouble(double n) {
    if (n == std::floor(n) && std::fabs(n) < 1e15) {
        return std::to_string(static_cast<int64_t>(n));
    }
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.15g", n);
    std::string s(buf);
    // Exponents read "1E+20", and "0.5" is shown as ".5", the shortest form the status lines and
    // stored settings use.
    if (std::size_t e = s.find('e'); e != std::string::npos) s[e] = 'E';
    if (s.rfind("0.", 0) == 0) s.erase(0, 1);
    else if (s.rfind("-0.", 0) == 0) s.erase(1, 1);
    return s;
}

double RoundHalfEven(double value) {
    if (!std::isfinite(value)) Raise(err::Overflow);
    return std::nearbyint(value);  // the default rounding mode is to nearest, ties to even
}

}  // namespace

double Val(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsSkippable(text[i])) ++i;
    if (i + 1 < text.size() && text[i] == '&') {
        char kind = text[i + 1];
        if (kind == 'H' || kind == 'h') return RadixValue(text, i + 2, 16);
        if (kind == 'O' || kind == 'o') return RadixValue(text, i + 2, 8);
    }
    // Collect sign, digits, one point and an exponent, skipping blanks, then convert.
    std::string number;
    bool seenDigit = false, seenPoint = false, seenExp = false;
    for (; i < text.size(); ++i) {
        char c = text[i];
        if (IsSkippable(c)) continue;
        if ((c == '+' || c == '-') &&
            (number.empty() || (seenExp && (number.back() == 'e')))) {
            number += c;
        } else if (c >= '0' && c <= '9') {
            number += c;
            seenDigit = true;
        } else if (c == '.' && !seenPoint && !seenExp) {
            number += c;
            seenPoint = true;
        } else if ((c == 'e' || c == 'E' || c == 'd' || c == 'D') && seenDigit && !seenExp) {
            number += 'e';
            seenExp = true;
        } else {
            break;
        }
    }
    if (!seenDigit) return 0.0;
    while (!number.empty() && (number.back() == 'e' || number.back() == '+' || number.back() == '-'))
        number.pop_back();
    double value = std::strtod(number.c_str(), nullptr);
    if (!std::isfinite(value)) Raise(err::Overflow);
    return value;
}

std::string Str(int64_t n) { return n < 0 ? CStr(n) : " " + CStr(n); }
std::string Str(double n) { return n < 0 ? CStr(n) : " " + CStr(n); }
std::string CStr(int64_t n) { return std::to_string(n); }
std::string CStr(double n) { return FormatDouble(n); }

std::string Hex(int64_t n) {
    char buf[24];
    if (n < 0) std::snprintf(buf, sizeof buf, "%X", static_cast<uint32_t>(static_cast<int32_t>(n)));
    else std::snprintf(buf, sizeof buf, "%llX", static_cast<unsigned long long>(n));
    return buf;
}

std::string Hex2(unsigned char byte) {
    static const char digits[] = "0123456789ABCDEF";
    return {digits[byte >> 4], digits[byte & 0x0F]};
}

int16_t CInt(double value) {
    double r = RoundHalfEven(value);
    if (r < std::numeric_limits<int16_t>::min() || r > std::numeric_limits<int16_t>::max())
        Raise(err::Overflow);
    return static_cast<int16_t>(r);
}

int32_t CLng(double value) {
    double r = RoundHalfEven(value);
    if (r < std::numeric_limits<int32_t>::min() || r > std::numeric_limits<int32_t>::max())
        Raise(err::Overflow);
    return static_cast<int32_t>(r);
}

uint8_t CByte(double value) {
    double r = RoundHalfEven(value);
    if (r < 0 || r > 255) Raise(err::Overflow);
    return static_cast<uint8_t>(r);
}

int16_t ToInteger(int64_t value) {
    if (value < std::numeric_limits<int16_t>::min() || value > std::numeric_limits<int16_t>::max())
        Raise(err::Overflow);
    return static_cast<int16_t>(value);
}

int32_t ToLong(int64_t value) {
    if (value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<int32_t>::max())
        Raise(err::Overflow);
    return static_cast<int32_t>(value);
}

}  // namespace posbench
