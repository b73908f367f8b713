#pragma once
// Byte-string helpers with 1-based positions, as the messages and parsers of the system count
// them. Out-of-range positions clamp instead of throwing, except where noted, so that parsers
// fed with hostile input cannot read past a buffer.
#include <string>
#include <string_view>

namespace posbench {

std::string Left(std::string_view s, long n);
std::string Right(std::string_view s, long n);
// Characters from 1-based position start; a start below 1 is "Invalid procedure call".
std::string Mid(std::string_view s, long start);
std::string Mid(std::string_view s, long start, long length);
// 1-based position of needle in haystack at or after start, 0 when absent. An empty needle is
// found at start; nothing is found in an empty haystack or from a start past its end.
long InStr(std::string_view haystack, std::string_view needle, long start = 1);
// The same, without regard to ASCII case.
long InStrNoCase(std::string_view haystack, std::string_view needle, long start = 1);
std::string UCase(std::string_view s);
std::string LCase(std::string_view s);
// Blanks (spaces only) removed from the left, the right, or both ends.
std::string LTrim(std::string_view s);
std::string RTrim(std::string_view s);
std::string Trim(std::string_view s);
bool EqualsNoCase(std::string_view a, std::string_view b);
// A text of n copies of c.
std::string Repeat(char c, long n);

}  // namespace posbench
