#include "base/StringOps.h"

#include <gtest/gtest.h>

#include "support/TestSupport.h"

#include "base/RuntimeError.h"

namespace posbench {
namespace {

using test::ErrorOf;

TEST(StringOps, LeftAndRightClamp) {
    EXPECT_EQ(Left("abc", 2), "ab");
    EXPECT_EQ(Left("abc", 5), "abc");
    EXPECT_EQ(Left("abc", 0), "");
    EXPECT_EQ(Left("abc", -1), "");
    EXPECT_EQ(Right("abc", 2), "bc");
    EXPECT_EQ(Right("abc", 10), "abc");
    EXPECT_EQ(Right("", 1), "");
    EXPECT_EQ(Right("abc", -3), "");
}

TEST(StringOps, MidEdges) {
    EXPECT_EQ(Mid("abc", 1), "abc");
    EXPECT_EQ(Mid("abc", 3), "c");
    EXPECT_EQ(Mid("abc", 4), "");
    EXPECT_EQ(Mid("abc", 1000), "");
    EXPECT_EQ(Mid("abc", 2, 10), "bc");
    EXPECT_EQ(Mid("abc", 2, 0), "");
    EXPECT_EQ(Mid("abc", 4, 1), "");
    EXPECT_EQ(Mid(std::string("a\0b", 3), 2, 2), std::string("\0b", 2));
    EXPECT_EQ(ErrorOf([] { Mid("abc", 0); }), err::InvalidProcedureCall);
    EXPECT_EQ(ErrorOf([] { Mid("abc", 1, -1); }), err::InvalidProcedureCall);
}

TEST(StringOps, InStrEdges) {
    EXPECT_EQ(InStr("abc", "c"), 3);
    EXPECT_EQ(InStr("abcabc", "c", 4), 6);
    EXPECT_EQ(InStr("abcabc", "bc", 3), 5);
    EXPECT_EQ(InStr("abc", "x"), 0);
    EXPECT_EQ(InStr("abc", "abcd"), 0);
    EXPECT_EQ(InStr("abc", "", 2), 2);
    EXPECT_EQ(InStr("abc", "", 3), 3);
    EXPECT_EQ(InStr("abc", "", 4), 0);
    EXPECT_EQ(InStr("abc", "c", 4), 0);
    EXPECT_EQ(InStr("", ""), 0);
    EXPECT_EQ(InStr("", "a"), 0);
    EXPECT_EQ(InStr("abc", "a", 100000), 0);
    EXPECT_EQ(ErrorOf([] { InStr("abc", "c", 0); }), err::InvalidProcedureCall);
    EXPECT_EQ(InStrNoCase("Hello", "LL"), 3);
    EXPECT_EQ(InStrNoCase("Hello", "LL", 4), 0);
}

TEST(StringOps, CaseAndTrimTouchOnlyAsciiAndBlanks) {
    EXPECT_EQ(UCase("ab\xe9z1"), "AB\xe9Z1");
    EXPECT_EQ(LCase("AB\xc9Z"), "ab\xc9z");
    EXPECT_EQ(Trim("  a b  "), "a b");
    EXPECT_EQ(Trim("\t a \t"), "\t a \t");  // only blanks are trimmed
    EXPECT_EQ(Trim("    "), "");
    EXPECT_EQ(LTrim("  a "), "a ");
    EXPECT_EQ(RTrim("  a "), "  a");
    EXPECT_TRUE(EqualsNoCase("Startup.INI", "startup.ini"));
    EXPECT_FALSE(EqualsNoCase("abc", "abcd"));
    EXPECT_FALSE(EqualsNoCase("\xe9", "\xc9"));
    EXPECT_EQ(Repeat('x', 3), "xxx");
    EXPECT_EQ(Repeat('x', -1), "");
}

}  // namespace
}  // namespace posbench
