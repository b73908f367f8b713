#include <gtest/gtest.h>

#include <string>

#include "base/Text.h"

namespace posbench {
namespace {

std::string Param(int16_t index, const std::string& line, bool toEnd = false) {
    EXPECT_TRUE(GetParameter(index, " ", toEnd, line));
    return gsResult;
}

std::string Bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values) s += static_cast<char>(v);
    return s;
}

TEST(GetParameter, PlainParametersAndMissingOnes) {
    EXPECT_EQ(Param(1, "WAIT 10 20"), "WAIT");
    EXPECT_EQ(Param(3, "WAIT 10 20"), "20");
    EXPECT_EQ(Param(2, "WAIT 10 20", true), "10 20");
    EXPECT_EQ(Param(2, "WORD"), "");
    EXPECT_EQ(Param(2, "WORD "), "");
    EXPECT_EQ(Param(1, ""), "");
    EXPECT_EQ(Param(1, "  AB CD", true), "AB CD");
    EXPECT_EQ(Param(1, "  AB CD"), "AB");
}

TEST(GetParameter, QuotedParameterKeepsBlanksAndQuotes) {
    EXPECT_EQ(Param(2, "A \"B C\" D"), "\"B C\"");
    EXPECT_EQ(Param(3, "A \"B C\" D"), "D");
    EXPECT_EQ(Param(2, "A \"B C\" D", true), "\"B C\" D");
}

TEST(GetParameter, RunsOfBlanksSeparateOnce) {
    EXPECT_EQ(Param(2, "A  B C"), "B");
    EXPECT_EQ(Param(3, "A  B C"), "C");
    EXPECT_EQ(Param(2, " A B"), "B");
    EXPECT_EQ(Param(2, "A   "), "");
}

TEST(GetParameter, CommaFieldsStartAfterTheirBlanks) {
    auto field = [](int16_t index, const std::string& line) {
        EXPECT_TRUE(GetParameter(index, ",", false, line));
        return gsResult;
    };
    EXPECT_EQ(field(1, "115200, DTR, OFF"), "115200");
    EXPECT_EQ(field(2, "115200, DTR, OFF"), "DTR");
    EXPECT_EQ(field(3, " 115200, DTR, OFF"), "OFF");
    EXPECT_EQ(field(4, "115200, DTR, OFF"), "");
}

TEST(GetParameter, UnterminatedQuoteEnds) {
    EXPECT_EQ(Param(1, "\"A B C"), "\"");
    EXPECT_EQ(Param(2, "\"A B C"), "B");
}

TEST(TrimAndComment, LeadingBlanksAndComments) {
    std::string line = "   1B 40";
    EXPECT_TRUE(TrimLeadingSpaces(line));
    EXPECT_EQ(line, "1B 40");
    line = "   ";
    EXPECT_TRUE(TrimLeadingSpaces(line));
    EXPECT_EQ(line, "   ");

    line = "1B 40 ' reset\t";
    EXPECT_TRUE(StripComment(false, line));
    EXPECT_EQ(line, "1B 40");
    line = "Don't stop";
    EXPECT_TRUE(StripComment(true, line));
    EXPECT_EQ(line, "Don");
    line = "AB\xE9";  // a byte above 127 is text, not a control character
    EXPECT_TRUE(StripComment(true, line));
    EXPECT_EQ(line, "AB\xE9");
}

TEST(TrimAndComment, QuotedDataLineKeepsItsText) {
    gsResult = "old";
    std::string line = "\"it's\" ' note";
    EXPECT_TRUE(StripComment(false, line));
    EXPECT_EQ(line, "\"it's\" ' note");
    EXPECT_EQ(gsResult, "\"it's\"");
    // As text the same line loses everything from the first apostrophe.
    EXPECT_TRUE(StripComment(true, line));
    EXPECT_EQ(line, "\"it");
    // A lone opening quote is cut as any other line.
    line = "\"abc ' x  ";
    EXPECT_TRUE(StripComment(false, line));
    EXPECT_EQ(line, "\"abc");
}

TEST(HexLines, TokensOfOneOrTwoCharacters) {
    EXPECT_TRUE(ProcessData("1B 40 0A"));
    EXPECT_EQ(gsResult, Bytes({0x1B, 0x40, 0x0A}));
    EXPECT_TRUE(ProcessData("1b 4"));
    EXPECT_EQ(gsResult, Bytes({0x1B, 0x04}));
    EXPECT_TRUE(ProcessData("1B  40   "));
    EXPECT_EQ(gsResult, Bytes({0x1B, 0x40}));
    EXPECT_TRUE(ProcessData(" 1B 40"));
    EXPECT_EQ(gsResult, Bytes({0x1B, 0x40}));
}

TEST(HexLines, BadTokensFailWithoutPartialBytes) {
    EXPECT_FALSE(ProcessData("1B4"));
    EXPECT_EQ(gsTextErr, "Invalid Hex Input");
    EXPECT_EQ(gsResult, "");
    EXPECT_FALSE(ProcessData("1B 1G"));
    EXPECT_EQ(gsTextErr, "Invalid hex character");
    EXPECT_EQ(gsResult, "");
    EXPECT_FALSE(ConvertHexPairs("1,"));
    EXPECT_EQ(gsTextErr, "Invalid hex character");
    EXPECT_FALSE(ConvertHexPairs("1B\t40"));
    EXPECT_EQ(gsTextErr, "Invalid Hex Input");
    // ConvertHexPairs starts with a clean message.
    EXPECT_TRUE(ConvertHexPairs("0D"));
    EXPECT_EQ(gsTextErr, "");
}

TEST(HexLines, HexCharToByteLooksAtFirstAndLast) {
    EXPECT_EQ(HexCharToByte("A"), 0x0A);
    EXPECT_EQ(HexCharToByte("1X2"), 0x12);
    EXPECT_EQ(gsTextErr, "");
    EXPECT_EQ(HexCharToByte("a"), 0);
    EXPECT_EQ(gsTextErr, "Invalid hex character");
    gsTextErr.clear();
    EXPECT_EQ(HexCharToByte("\xC1"), 0);
    EXPECT_EQ(gsTextErr, "Invalid hex character");
}

TEST(TextLines, BracketedHexAndLineFeed) {
    EXPECT_TRUE(ProcessMixedLine("Total[1B 21 08]ABC"));
    EXPECT_EQ(gsResult, "Total" + Bytes({0x1B, 0x21, 0x08}) + "ABC\n");
    EXPECT_TRUE(ProcessMixedLine("Hello"));
    EXPECT_EQ(gsResult, "Hello\n");
    EXPECT_TRUE(ProcessMixedLine("Hello[NP]"));
    EXPECT_EQ(gsResult, "Hello");
    EXPECT_TRUE(ProcessMixedLine("[0A][NP]"));
    EXPECT_EQ(gsResult, "\n");
    EXPECT_TRUE(ProcessMixedLine("a[]b"));
    EXPECT_EQ(gsResult, "ab\n");
    EXPECT_TRUE(ProcessMixedLine("x]y"));
    EXPECT_EQ(gsResult, "x]y\n");
}

TEST(TextLines, BadGroups) {
    EXPECT_FALSE(ProcessMixedLine("A[NP]B"));
    EXPECT_EQ(gsTextErr, "Invalid hex character");
    EXPECT_FALSE(ProcessMixedLine("Total[1B 21"));
    EXPECT_EQ(gsTextErr, "Invalid Process Mixed line Data");
    EXPECT_EQ(gsResult, "");
    EXPECT_FALSE(ProcessMixedLine("[1B][123]"));
    EXPECT_EQ(gsTextErr, "Invalid Hex Input");
}

TEST(TextLines, QuotedDataLines) {
    EXPECT_TRUE(ProcessData("\"Hello\""));
    EXPECT_EQ(gsResult, "Hello\n");
    EXPECT_TRUE(ProcessData("\"[1B 40][NP]\""));
    EXPECT_EQ(gsResult, Bytes({0x1B, 0x40}));
    // A closing quote followed by more text is part of the text.
    EXPECT_TRUE(ProcessData("\"1B 40\" more"));
    EXPECT_EQ(gsResult, "1B 40\" more\n");
    EXPECT_TRUE(ProcessData("\""));
    EXPECT_EQ(gsResult, "\n");
}

TEST(HostileInput, LongLinesAndEveryByte) {
    std::string hex;
    for (int i = 0; i < 350000; ++i) hex += "A5 ";
    ASSERT_TRUE(ConvertHexPairs(hex));
    EXPECT_EQ(gsResult.size(), 350000u);
    EXPECT_EQ(static_cast<unsigned char>(gsResult.back()), 0xA5);

    std::string all;
    for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    EXPECT_TRUE(ProcessMixedLine(all.substr(0, '[') + all.substr('[' + 1)));
    EXPECT_EQ(gsResult.size(), 256u);
    EXPECT_FALSE(ProcessData(all));
    std::string line = all;
    EXPECT_TRUE(StripComment(true, line));
    EXPECT_EQ(line, all.substr(0, '\''));

    const std::string text(1 << 20, 'x');
    EXPECT_TRUE(ProcessMixedLine(text));
    EXPECT_EQ(gsResult.size(), text.size() + 1);
    EXPECT_FALSE(ProcessMixedLine(std::string(1 << 20, '[')));
    EXPECT_TRUE(GetParameter(30000, " ", false, hex));
    EXPECT_EQ(gsResult, "A5");
    EXPECT_TRUE(GetParameter(32767, " ", false, std::string(1 << 20, '"')));
}

}  // namespace
}  // namespace posbench
