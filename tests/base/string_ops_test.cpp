#include "base/StringOps.h"

#include <gtest/gtest.h>

#include "support/TestSupport.h"

#include "base/RuntimeError.h"

namespace posbench {
namespace {

using test::ErrorOf;
using Strings = std::vector<std::string>;

TEST(StringOps, LeftRightAndMidClampToTheText) {
    EXPECT_EQ((Strings{Left("abc", 5), Left("abc", -1), Right("abc", 2), Right("abc", 10), Right("abc", -3),
                       Mid("abc", 3), Mid("abc", 4), Mid("abc", 1000), Mid("abc", 2, 10), Mid("abc", 4, 1),
                       Mid(std::string("a\0b", 3), 2, 2)}),
              (Strings{"abc", "", "bc", "abc", "", "c", "", "", "bc", "", std::string("\0b", 2)}));
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
    EXPECT_EQ(InStrNoCase("Hello", "LL") * 10 + InStrNoCase("Hello", "LL", 4), 30);
}

TEST(StringOps, CaseAndTrimTouchOnlyAsciiAndBlanks) {
    EXPECT_EQ((Strings{UCase("ab\xe9z1"), LCase("AB\xc9Z"), Trim("\t a \t"), Trim("    "), LTrim("  a "),
                       RTrim("  a "), Repeat('x', -1)}),
              (Strings{"AB\xe9Z1", "ab\xc9z", "\t a \t", "", "a ", "  a", ""}));  // only blanks are trimmed
    EXPECT_TRUE(EqualsNoCase("Startup.INI", "startup.ini"));
    EXPECT_FALSE(EqualsNoCase("abc", "abcd") || EqualsNoCase("\xe9", "\xc9"));
}

}  // namespace
}  // namespace posbench
