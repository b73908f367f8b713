#include <gtest/gtest.h>

#include <string>

#include "base/Text.h"

namespace posbench {
namespace {

std::string Param(int16_t index, const std::string& line, bool toEnd = false, const char* sep = " ") {
    EXPECT_TRUE(GetParameter(index, sep, toEnd, line));
    return gsResult;
}

std::string Bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values) s += static_cast<char>(v);
    return s;
}

TEST(GetParameter, BlanksQuotesAndCommas) {
    EXPECT_EQ(Param(3, "WAIT 10 20"), "20");
    EXPECT_EQ(Param(2, "WAIT 10 20", true), "10 20");
    EXPECT_EQ(Param(2, "WORD "), "");
    EXPECT_EQ(Param(1, ""), "");
    EXPECT_EQ(Param(1, "  AB CD", true), "AB CD");
    EXPECT_EQ(Param(3, "A  B C"), "C");  // runs of blanks separate once
    EXPECT_EQ(Param(2, " A B"), "B");
    EXPECT_EQ(Param(2, "A   "), "");
    EXPECT_EQ(Param(2, "A \"B C\" D"), "\"B C\"");  // a quoted parameter keeps blanks and quotes
    EXPECT_EQ(Param(3, "A \"B C\" D"), "D");
    EXPECT_EQ(Param(2, "A \"B C\" D", true), "\"B C\" D");
    EXPECT_EQ(Param(1, "\"A B C"), "\"");  // an unterminated quote ends at once
    EXPECT_EQ(Param(2, "\"A B C"), "B");
    EXPECT_EQ(Param(2, "115200, DTR, OFF", false, ","), "DTR");  // comma fields start after their blanks
    EXPECT_EQ(Param(3, " 115200, DTR, OFF", false, ","), "OFF");
    EXPECT_EQ(Param(4, "115200, DTR, OFF", false, ","), "");
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

TEST(HexLines, TokensOfOneOrTwoCharactersAndBadTokensWithoutPartialBytes) {
    EXPECT_TRUE(ProcessData("1b 4"));
    EXPECT_EQ(gsResult, Bytes({0x1B, 0x04}));
    EXPECT_TRUE(ProcessData(" 1B  40   "));
    EXPECT_EQ(gsResult, Bytes({0x1B, 0x40}));
    EXPECT_EQ(HexCharToByte("1X2"), 0x12);  // a token is read from its first and last character
    for (const auto& [line, message] : {std::pair{"1B4", "Invalid Hex Input"}, {"1B 1G", "Invalid hex character"}}) {
        EXPECT_FALSE(ProcessData(line));
        EXPECT_EQ(gsTextErr, message);
        EXPECT_EQ(gsResult, "");
    }
    EXPECT_FALSE(ConvertHexPairs("1B\t40"));
    EXPECT_EQ(gsTextErr, "Invalid Hex Input");
    EXPECT_TRUE(ConvertHexPairs("0D"));  // starts with a clean message
    EXPECT_EQ(gsTextErr, "");
    for (const char* bad : {"a", "\xC1"}) {
        gsTextErr.clear();
        EXPECT_EQ(HexCharToByte(bad), 0);
        EXPECT_EQ(gsTextErr, "Invalid hex character");
    }
}

TEST(TextLines, BracketedHexAndLineFeed) {
    const std::pair<const char*, std::string> cases[] = {
        {"Total[1B 21 08]ABC", "Total" + Bytes({0x1B, 0x21, 0x08}) + "ABC\n"}, {"Hello[NP]", "Hello"},
        {"[0A][NP]", "\n"}, {"a[]b", "ab\n"}, {"x]y", "x]y\n"}, {"\"[1B 40][NP]\"", Bytes({0x1B, 0x40})},
        {"\"1B 40\" more", "1B 40\" more\n"},  // a closing quote followed by more text is text
        {"\"", "\n"}};
    for (const auto& [line, bytes] : cases) {
        EXPECT_TRUE(line[0] == '"' ? ProcessData(line) : ProcessMixedLine(line)) << line;
        EXPECT_EQ(gsResult, bytes) << line;
    }
}

TEST(TextLines, BadGroups) {
    for (const auto& [line, message] : {std::pair{"A[NP]B", "Invalid hex character"},
                                        {"Total[1B 21", "Invalid Process Mixed line Data"},
                                        {"[1B][123]", "Invalid Hex Input"}}) {
        EXPECT_FALSE(ProcessMixedLine(line));
        EXPECT_EQ(gsTextErr + "|" + gsResult, std::string(message) + "|") << line;
    }
}

TEST(TextLines, EveryByteButAGroupPassesUnchanged) {
    std::string all;
    for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    EXPECT_TRUE(ProcessMixedLine(all.substr(0, '[') + all.substr('[' + 1)));
    EXPECT_EQ(gsResult.size(), 256u);
    std::string line = all;
    EXPECT_TRUE(StripComment(true, line));
    EXPECT_EQ(line, all.substr(0, '\''));
}

}  // namespace
}  // namespace posbench
