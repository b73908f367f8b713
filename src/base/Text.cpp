#include "base/Text.h"

#include <optional>
#include <string_view>

#include "base/RuntimeError.h"
#include "base/StringOps.h"

namespace posbench {

std::string gsResult;
std::string gsTextErr;

void ResetTextGlobals() {
    gsResult.clear();
    gsTextErr.clear();
}

namespace {

constexpr char kQuote = '"';
constexpr std::string_view kNoPrint = "[NP]";

// Drops every leading delimiter and blank, so that a run of blanks separates two parameters
// exactly once both when a parameter is skipped and when it is taken, and a field after ", "
// starts at its first character.
std::string_view DropDelimiters(std::string_view s, std::string_view delimiter) {
    for (;;) {
        if (!delimiter.empty() && s.substr(0, delimiter.size()) == delimiter)
            s.remove_prefix(delimiter.size());
        else if (!s.empty() && s.front() == ' ')
            s.remove_prefix(1);
        else
            return s;
    }
}

// End (exclusive) of the parameter at the front of s whose separating delimiter is at p: a
// double quote before p stretches it past the closing quote (or just past the opening quote
// when the quote is never closed).
std::size_t ParameterEnd(std::string_view s, std::size_t p) {
    const std::size_t q = s.substr(0, p).find(kQuote);
    if (q == std::string_view::npos) return p;
    const std::size_t closing = s.find(kQuote, q + 1);
    return closing == std::string_view::npos ? q + 1 : closing + 1;
}

// The text after the parameter at the front of s, or nothing when no further parameter exists.
std::optional<std::string_view> SkipParameter(std::string_view s, std::string_view delimiter) {
    s = DropDelimiters(s, delimiter);
    if (delimiter.empty()) return std::nullopt;
    const std::size_t p = s.find(delimiter);
    if (p == std::string_view::npos || p + 1 >= s.size()) return std::nullopt;
    const std::size_t end = ParameterEnd(s, p) + delimiter.size();
    if (end >= s.size()) return std::string_view{};
    return s.substr(end);
}

// The parameter at the front of s (or all of s from it with toEnd).
std::string_view TakeParameter(std::string_view s, std::string_view delimiter, bool toEnd) {
    s = DropDelimiters(s, delimiter);
    if (toEnd || delimiter.empty()) return s;
    const std::size_t p = s.find(delimiter);
    if (p == std::string_view::npos) return s;
    return s.substr(0, ParameterEnd(s, p));
}

int HexValue(unsigned char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

bool GetParameter(int16_t index, const std::string& delimiter, bool toEnd,
                  const std::string& line) {
    try {
        std::string_view s = line;
        for (int i = 1; i < index && !s.empty(); ++i) {
            const auto rest = SkipParameter(s, delimiter);
            if (!rest) {
                gsResult.clear();
                return true;
            }
            s = *rest;
        }
        gsResult = TakeParameter(s, delimiter, toEnd);
        return true;
    } catch (...) {
        gsTextErr = FailureLine("Parameter Error", ": ");
        return false;
    }
}

bool TrimLeadingSpaces(std::string& line) {
    try {
        const std::size_t first = line.find_first_not_of(' ');
        if (first != std::string::npos) line.erase(0, first);
        return true;
    } catch (...) {
        gsTextErr = FailureLine("Leading space Error", ": ");
        return false;
    }
}

bool StripComment(bool isText, std::string& line) {
    try {
        if (line.empty()) return true;
        if (!isText && line.front() == kQuote) {
            const std::size_t closing = line.find(kQuote, 1);
            if (closing != std::string::npos) {
                gsResult = line.substr(0, closing + 1);
                return true;
            }
        }
        const std::size_t comment = line.find('\'');
        if (comment != std::string::npos) line.erase(comment);
        while (!line.empty() && static_cast<unsigned char>(line.back()) <= 32) line.pop_back();
        return true;
    } catch (...) {
        gsTextErr = FailureLine("Comment Error", ": ");
        return false;
    }
}

bool ProcessMixedLine(const std::string& line) {
    try {
        std::string_view text = line;
        bool lineFeed = true;
        if (text.size() >= kNoPrint.size() && text.substr(text.size() - kNoPrint.size()) == kNoPrint) {
            text.remove_suffix(kNoPrint.size());
            lineFeed = false;
        }
        std::string out;
        out.reserve(text.size() + 1);
        for (std::size_t open = text.find('['); open != std::string_view::npos;
             open = text.find('[')) {
            out += text.substr(0, open);
            const std::size_t close = text.find(']', open + 1);
            if (close == std::string_view::npos) {
                gsResult.clear();
                gsTextErr = "Invalid Process Mixed line Data";
                return false;
            }
            if (!ConvertHexPairs(std::string(text.substr(open + 1, close - open - 1)))) return false;
            out += gsResult;
            text.remove_prefix(close + 1);
        }
        out += text;
        if (lineFeed) out += '\n';
        gsResult = std::move(out);
        return true;
    } catch (...) {
        gsResult.clear();
        gsTextErr = FailureLine("Text Error", ": ");
        return false;
    }
}

bool ProcessData(const std::string& line) {
    try {
        if (!line.empty() && line.front() == kQuote) {
            // A lone quote is an empty text line rather than a negative length.
            std::size_t n = line.size() - 1;
            if (n > 0 && line.back() == kQuote) --n;
            return ProcessMixedLine(line.substr(1, n));
        }
        return ConvertHexPairs(line);
    } catch (...) {
        gsResult.clear();
        gsTextErr = FailureLine("Data Error ", ": ");
        return false;
    }
}

bool ConvertHexPairs(const std::string& text) {
    try {
        gsTextErr.clear();
        const std::string upper = UCase(text);
        std::string out;
        out.reserve(upper.size() / 3 + 1);
        // One walk over the line, parameter by parameter, as GetParameter(1), (2), ... would
        // take them (a line of a megabyte must not be rescanned for every token).
        std::string_view rest = upper;
        while (true) {
            const std::string_view token = TakeParameter(rest, " ", false);
            if (token.empty()) break;
            if (token.size() > 2) {
                gsResult.clear();
                gsTextErr = "Invalid Hex Input";
                return false;
            }
            const uint8_t byte = HexCharToByte(std::string(token));
            if (!gsTextErr.empty()) {
                gsResult.clear();
                return false;
            }
            out += static_cast<char>(byte);
            const auto next = SkipParameter(rest, " ");
            if (!next) break;
            rest = *next;
        }
        gsResult = std::move(out);
        return true;
    } catch (...) {
        gsResult.clear();
        gsTextErr = FailureLine("Conversion Error ", ": ");
        return false;
    }
}

uint8_t HexCharToByte(const std::string& text) {
    try {
        const int high = text.size() > 1 ? HexValue(static_cast<unsigned char>(text.front())) : 0;
        const int low = text.empty() ? -1 : HexValue(static_cast<unsigned char>(text.back()));
        if (high < 0 || low < 0) {
            gsTextErr = "Invalid hex character";
            return 0;
        }
        return static_cast<uint8_t>(high * 16 + low);
    } catch (...) {
        gsTextErr = FailureLine("Hex Error ", ": ");
        return 0;
    }
}

}  // namespace posbench
