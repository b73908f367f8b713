#include "script/WholeNumber.h"

#include <cctype>

#include "base/Numbers.h"
#include "base/RuntimeError.h"

namespace posbench {

namespace {

bool IsDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

bool AllOf(std::string_view s, bool (*accept)(char)) {
    if (s.empty()) return false;
    for (char c : s) {
        if (!accept(c)) return false;
    }
    return true;
}

bool IsHexDigit(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }
bool IsOctDigit(char c) { return c >= '0' && c <= '7'; }

bool IsDecimal(std::string_view s) {
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    std::size_t digits = 0;
    while (i < s.size() && IsDigit(s[i])) { ++i; ++digits; }
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && IsDigit(s[i])) { ++i; ++digits; }
    }
    if (digits == 0) return false;
    if (i < s.size() && (s[i] == 'E' || s[i] == 'e')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
        std::size_t expDigits = 0;
        while (i < s.size() && IsDigit(s[i])) { ++i; ++expDigits; }
        if (expDigits == 0) return false;
    }
    return i == s.size();
}

}  // namespace

bool IsNumericText(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return false;
    const auto last = text.find_last_not_of(' ');
    std::string_view s = text.substr(first, last - first + 1);
    if (s.size() > 2 && s[0] == '&' && (s[1] == 'H' || s[1] == 'h')) return AllOf(s.substr(2), IsHexDigit);
    if (s.size() > 2 && s[0] == '&' && (s[1] == 'O' || s[1] == 'o')) return AllOf(s.substr(2), IsOctDigit);
    return IsDecimal(s);
}

int32_t WholeNumber(std::string_view text) {
    if (!IsNumericText(text)) Raise(err::TypeMismatch);
    return CLng(Val(text));
}

}  // namespace posbench
