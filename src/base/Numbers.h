#pragma once
// Number reading and formatting with the conventions every message and script relies on:
// leading-number reading, the leading blank of Str, whole-number conversion with halves to
// even, and checked 16-/32-bit arithmetic that raises Overflow instead of wrapping.
#include <cstdint>
#include <string>
#include <string_view>

namespace posbench {

// The leading number of a text: blanks, tabs and line feeds are ignored anywhere, reading
// stops at the first character that cannot continue the number, "&H" reads hexadecimal
// (and "&O" octal), an empty or non-numeric text reads 0. Hexadecimal of up to four digits is
// a 16-bit value, up to eight a 32-bit value (so "&HFFFF" is -1); longer overflows.
double Val(std::string_view text);

// Plain conversion with a leading blank for non-negative numbers: Str(2) == " 2".
std::string Str(int64_t n);
std::string Str(double n);
// Conversion without the blank: CStr(2) == "2".
std::string CStr(int64_t n);
std::string CStr(double n);
// Plain int (and the 16-bit Integer, which promotes to it) would be ambiguous between the
// 64-bit and the double overloads.
inline std::string Str(int n) { return Str(static_cast<int64_t>(n)); }
inline std::string CStr(int n) { return CStr(static_cast<int64_t>(n)); }

// Upper-case hexadecimal without leading zeros (Hex(255) == "FF"); negative values show their
// 32-bit two's complement.
std::string Hex(int64_t n);
// Two hex digits of a byte, zero-padded ("0A").
std::string Hex2(unsigned char byte);

// Whole-number conversions: round half to even, Overflow outside the type's range.
int16_t CInt(double value);
int32_t CLng(double value);
uint8_t CByte(double value);

// Checked narrowing for 16-bit Integer and 32-bit Long arithmetic.
int16_t ToInteger(int64_t value);
int32_t ToLong(int64_t value);

}  // namespace posbench
