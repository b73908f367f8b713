#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "base/Text.h"

namespace posbench {
namespace {

TEST(GetParameter, BlanksQuotesAndCommas) {
    const struct {
        int16_t index;
        const char* line;
        bool toEnd;
        const char* want;
    } cases[] = {
        {3, "WAIT 10 20", false, "20"}, {2, "WAIT 10 20", true, "10 20"}, {2, "WORD ", false, ""}, {1, "", false, ""},
        {1, "  AB CD", true, "AB CD"}, {3, "A  B C", false, "C"},  // runs of blanks separate once
        {2, " A B", false, "B"}, {2, "A   ", false, ""},
        {2, "A \"B C\" D", false, "\"B C\""},  // a quoted parameter keeps blanks and quotes
        {3, "A \"B C\" D", false, "D"}, {2, "A \"B C\" D", true, "\"B C\" D"},
        {1, "\"A B C", false, "\""}, {2, "\"A B C", false, "B"},  // an unterminated quote ends at once
        {2, "115200, DTR, OFF", false, "DTR"},  // comma fields start after their blanks
        {3, " 115200, DTR, OFF", false, "OFF"}, {4, "115200, DTR, OFF", false, ""},
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(GetParameter(c.index, std::strchr(c.line, ',') ? "," : " ", c.toEnd, c.line));
        EXPECT_EQ(gsResult, c.want) << c.index << " of " << c.line;
    }
}

// StripComment(asText, line) gives the line, and (for a quoted data line) gsResult.
TEST(TrimAndComment, LeadingBlanksAndComments) {
    std::string line = "   1B 40", blank = "   ";
    EXPECT_TRUE(TrimLeadingSpaces(line) && TrimLeadingSpaces(blank));
    EXPECT_EQ(line + "|" + blank, "1B 40|   ");
    const struct {
        bool asText;
        std::string line, after;
    } cases[] = {
        {false, "1B 40 ' reset\t", "1B 40"},
        {true, "AB\xE9", "AB\xE9"},  // a byte above 127 is text, not a control character
        {false, "\"it's\" ' note", "\"it's\" ' note"},  // a quoted data line keeps its text
        {true, "\"it's\" ' note", "\"it"},             // as text it ends at the first apostrophe
        {false, "\"abc ' x  ", "\"abc"},                // a lone opening quote is cut as any line
    };
    for (const auto& c : cases) {
        line = c.line;
        EXPECT_TRUE(StripComment(c.asText, line));
        EXPECT_EQ(line, c.after) << c.line;
    }
    line = "\"it's\" ' note";
    StripComment(false, line);
    EXPECT_EQ(gsResult, "\"it's\"");
}

// A data line is hex tokens of one or two characters, or in quotes a text line whose bracketed
// groups are hex, ending in a line feed unless [NP] ends it. A refused line leaves no partial bytes.
TEST(TextLines, BracketedHexAndLineFeed) {
    const struct {
        bool mixed;  // ProcessMixedLine rather than ProcessData
        const char* line;
        std::string bytes;
        const char* error = nullptr;
    } cases[] = {
        {false, "1b 4", "\x1B\x04"}, {false, " 1B  40   ", "\x1B\x40"},
        {true, "Total[1B 21 08]ABC", "Total\x1B\x21\x08" "ABC\n"}, {true, "Hello[NP]", "Hello"},
        {true, "[0A][NP]", "\n"}, {true, "a[]b", "ab\n"}, {true, "x]y", "x]y\n"}, {false, "\"[1B 40][NP]\"", "\x1B\x40"},
        {false, "\"1B 40\" more", "1B 40\" more\n"},  // a closing quote followed by more text is text
        {false, "\"", "\n"}, {false, "1B4", "", "Invalid Hex Input"}, {false, "1B 1G", "", "Invalid hex character"},
        {true, "A[NP]B", "", "Invalid hex character"}, {true, "Total[1B 21", "", "Invalid Process Mixed line Data"},
        {true, "[1B][123]", "", "Invalid Hex Input"},
    };
    for (const auto& c : cases) {
        gsTextErr.clear();
        EXPECT_EQ(c.mixed ? ProcessMixedLine(c.line) : ProcessData(c.line), c.error == nullptr) << c.line;
        EXPECT_EQ(gsResult, c.bytes) << c.line;
        EXPECT_EQ(gsTextErr, c.error ? c.error : "") << c.line;
    }
}

}  // namespace
}  // namespace posbench
