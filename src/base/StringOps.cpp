#include "base/StringOps.h"

#include <algorithm>

#include "base/RuntimeError.h"

namespace posbench {
namespace {
char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
}  // namespace

std::string Left(std::string_view s, long n) {
    if (n <= 0) return {};
    return std::string(s.substr(0, static_cast<std::size_t>(n)));
}

std::string Right(std::string_view s, long n) {
    if (n <= 0) return {};
    std::size_t count = std::min(s.size(), static_cast<std::size_t>(n));
    return std::string(s.substr(s.size() - count));
}

std::string Mid(std::string_view s, long start) {
    if (start < 1) Raise(err::InvalidProcedureCall);
    if (static_cast<std::size_t>(start) > s.size()) return {};
    return std::string(s.substr(static_cast<std::size_t>(start - 1)));
}

std::string Mid(std::string_view s, long start, long length) {
    if (start < 1 || length < 0) Raise(err::InvalidProcedureCall);
    if (static_cast<std::size_t>(start) > s.size()) return {};
    return std::string(s.substr(static_cast<std::size_t>(start - 1), static_cast<std::size_t>(length)));
}

long InStr(std::string_view haystack, std::string_view needle, long start) {
    if (start < 1) Raise(err::InvalidProcedureCall);
    // An empty haystack or a start past its end finds nothing, not even an empty needle.
    if (haystack.empty() || static_cast<std::size_t>(start) > haystack.size()) return 0;
    std::size_t pos = haystack.find(needle, static_cast<std::size_t>(start - 1));
    return pos == std::string_view::npos ? 0 : static_cast<long>(pos + 1);
}

long InStrNoCase(std::string_view haystack, std::string_view needle, long start) {
    return InStr(UCase(haystack), UCase(needle), start);
}

std::string UCase(std::string_view s) {
    std::string r(s);
    std::transform(r.begin(), r.end(), r.begin(), Upper);
    return r;
}

std::string LCase(std::string_view s) {
    std::string r(s);
    std::transform(r.begin(), r.end(), r.begin(), Lower);
    return r;
}

std::string LTrim(std::string_view s) {
    std::size_t b = s.find_first_not_of(' ');
    return b == std::string_view::npos ? std::string() : std::string(s.substr(b));
}

std::string RTrim(std::string_view s) {
    std::size_t e = s.find_last_not_of(' ');
    return e == std::string_view::npos ? std::string() : std::string(s.substr(0, e + 1));
}

std::string Trim(std::string_view s) { return LTrim(RTrim(s)); }

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Upper(a[i]) != Upper(b[i])) return false;
    return true;
}

std::string Repeat(char c, long n) { return n <= 0 ? std::string() : std::string(static_cast<std::size_t>(n), c); }

}  // namespace posbench
