#include "base/StringOps.h"

#include <gtest/gtest.h>

#include "support/TestSupport.h"

#include "base/RuntimeError.h"

namespace posbench {
namespace {

using test::ErrorOf;

TEST(StringOps, LeftRightAndMidClampToTheText) {
    EXPECT_EQ(Left("abc", 5), "abc");
    EXPECT_EQ(Left("abc", -1), "");
    EXPECT_EQ(Right("abc", 2), "bc");
    EXPECT_EQ(Right("abc", 10), "abc");
    EXPECT_EQ(Right("abc", -3), "");
    EXPECT_EQ(Mid("abc", 3), "c");
    EXPECT_EQ(Mid("abc", 4), "");
    EXPECT_EQ(Mid("abc", 1000), "");
    EXPECT_EQ(Mid("abc", 2, 10), "bc");
    EXPECT_EQ(Mid("abc", 4, 1), "");
    EXPECT_EQ(Mid(std::string("a\0b", 3), 2, 2), std::string("\0b", 2));
    EXPECT_EQ(ErrorOf([] { Mid("abc", 0); }), err::InvalidProcedureCall);
    EXPECT_EQ(ErrorOf([] { Mid("abc", 1, -1); }), err::InvalidProcedureCall);
}

TEST(StringOps, InStrEdges) {
    const struct {
        const char *text, *find;
        long start, at;
    } cases[] = {{"abcabc", "c", 4, 6}, {"abcabc", "bc", 3, 5}, {"abc", "x", 1, 0},     {"abc", "abcd", 1, 0},
                 {"abc", "", 3, 3},     {"abc", "", 4, 0},      {"abc", "c", 4, 0},     {"", "", 1, 0},
                 {"", "a", 1, 0},       {"abc", "a", 100000, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(InStr(c.text, c.find, c.start), c.at) << c.text << " / " << c.find << " from " << c.start;
    EXPECT_EQ(ErrorOf([] { InStr("abc", "c", 0); }), err::InvalidProcedureCall);
    EXPECT_EQ(InStrNoCase("Hello", "LL"), 3);
    EXPECT_EQ(InStrNoCase("Hello", "LL", 4), 0);
}

TEST(StringOps, CaseAndTrimTouchOnlyAsciiAndBlanks) {
    EXPECT_EQ(UCase("ab\xe9z1"), "AB\xe9Z1");
    EXPECT_EQ(LCase("AB\xc9Z"), "ab\xc9z");
    EXPECT_EQ(Trim("\t a \t"), "\t a \t");  // only blanks are trimmed
    EXPECT_EQ(Trim("    "), "");
    EXPECT_EQ(LTrim("  a "), "a ");
    EXPECT_EQ(RTrim("  a "), "  a");
    EXPECT_TRUE(EqualsNoCase("Startup.INI", "startup.ini"));
    EXPECT_FALSE(EqualsNoCase("abc", "abcd"));
    EXPECT_FALSE(EqualsNoCase("\xe9", "\xc9"));
    EXPECT_EQ(Repeat('x', -1), "");
}

}  // namespace
}  // namespace posbench
