#include "base/Numbers.h"

#include <gtest/gtest.h>

#include "support/TestSupport.h"

#include <cmath>
#include <limits>

#include "base/RuntimeError.h"

namespace posbench {
namespace {

using test::ErrorOf;

TEST(Val, ReadsTheLeadingNumberIgnoringBlanks) {
    EXPECT_EQ(Val(""), 0);
    EXPECT_EQ(Val("abc"), 0);
    EXPECT_EQ(Val("  12  34abc"), 1234);
    EXPECT_EQ(Val("\t7\n"), 7);
    EXPECT_EQ(Val(" - 5"), -5);
    EXPECT_EQ(Val("-3.75"), -3.75);
    EXPECT_EQ(Val(".5"), 0.5);
    EXPECT_EQ(Val("1.2.3"), 1.2);
    EXPECT_EQ(Val("12,5"), 12);
    EXPECT_EQ(Val("5+3"), 5);
    EXPECT_EQ(Val("--5"), 0);
    EXPECT_EQ(Val("."), 0);
    EXPECT_EQ(Val("e5"), 0);
}

TEST(Val, ExponentsAndTheirLooseEnds) {
    EXPECT_EQ(Val("1.5e2"), 150);
    EXPECT_EQ(Val("3D2"), 300);
    EXPECT_EQ(Val("2E-1"), 0.2);
    EXPECT_EQ(Val("1e"), 1);
    EXPECT_EQ(Val("1e+x"), 1);
    EXPECT_EQ(Val("1e5e3"), 100000);
    EXPECT_EQ(ErrorOf([] { Val("1e999"); }), err::Overflow);
}

TEST(Val, HexadecimalAndOctal) {
    EXPECT_EQ(Val("&HFFFF"), -1);
    EXPECT_EQ(Val("&hff"), 255);
    EXPECT_EQ(Val(" &H 1 0"), 16);
    EXPECT_EQ(Val("&H7FFF"), 32767);
    EXPECT_EQ(Val("&H8000"), -32768);
    EXPECT_EQ(Val("&H10000"), 65536);
    EXPECT_EQ(Val("&H0000FFFF"), -1);  // leading zeros do not widen the value
    EXPECT_EQ(Val("&HFFFFFFFF"), -1);
    EXPECT_EQ(Val("&H7FFFFFFF"), 2147483647);
    EXPECT_EQ(Val("&H1Fg"), 31);
    EXPECT_EQ(Val("&HZ"), 0);
    EXPECT_EQ(Val("&H"), 0);
    EXPECT_EQ(Val("&O17"), 15);
    EXPECT_EQ(Val("&O8"), 0);
    EXPECT_EQ(Val("&"), 0);
    EXPECT_EQ(ErrorOf([] { Val("&H1FFFFFFFF"); }), err::Overflow);
    EXPECT_EQ(ErrorOf([] { Val("&H" + std::string(40, 'F')); }), err::Overflow);
}

TEST(Formatting, StrHasALeadingBlankUnlessNegative) {
    EXPECT_EQ(Str(int64_t{2}), " 2");
    EXPECT_EQ(Str(2), " 2");
    EXPECT_EQ(Str(int16_t{-2}), "-2");
    EXPECT_EQ(Str(0), " 0");
    EXPECT_EQ(Str(0.5), " .5");
    EXPECT_EQ(Str(-0.5), "-.5");
    EXPECT_EQ(Str(2.0), " 2");
    EXPECT_EQ(Str(-1.25), "-1.25");
    EXPECT_EQ(CStr(2), "2");
    EXPECT_EQ(CStr(1e20), "1E+20");
    EXPECT_EQ(CStr(1.5e-7), "1.5E-07");
    EXPECT_EQ(CStr(int64_t{-9000000000}), "-9000000000");
}

TEST(Formatting, Hex) {
    EXPECT_EQ(Hex(255), "FF");
    EXPECT_EQ(Hex(0), "0");
    EXPECT_EQ(Hex(-1), "FFFFFFFF");
    EXPECT_EQ(Hex(-32768), "FFFF8000");
    EXPECT_EQ(Hex2(10), "0A");
    EXPECT_EQ(Hex2(255), "FF");
    EXPECT_EQ(Hex2(0), "00");
}

TEST(WholeNumbers, HalvesGoToEven) {
    EXPECT_EQ(CInt(2.5), 2);
    EXPECT_EQ(CInt(3.5), 4);
    EXPECT_EQ(CInt(-2.5), -2);
    EXPECT_EQ(CInt(-3.5), -4);
    EXPECT_EQ(CInt(2.4999), 2);
    EXPECT_EQ(CInt(2.5001), 3);
    EXPECT_EQ(CLng(1000000.5), 1000000);
    EXPECT_EQ(CByte(254.5), 254);
    EXPECT_EQ(CByte(-0.5), 0);
}

TEST(WholeNumbers, OutOfRangeIsOverflow) {
    EXPECT_EQ(CInt(32767.4), 32767);
    EXPECT_EQ(ErrorOf([] { CInt(32767.5); }), err::Overflow);
    EXPECT_EQ(CInt(-32768.5), -32768);
    EXPECT_EQ(ErrorOf([] { CInt(-32768.6); }), err::Overflow);
    EXPECT_EQ(ErrorOf([] { CInt(std::nan("")); }), err::Overflow);
    EXPECT_EQ(ErrorOf([] { CInt(std::numeric_limits<double>::infinity()); }), err::Overflow);
    EXPECT_EQ(ErrorOf([] { CLng(2147483647.5); }), err::Overflow);
    EXPECT_EQ(CLng(-2147483648.0), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(ErrorOf([] { CByte(255.5); }), err::Overflow);
    EXPECT_EQ(ErrorOf([] { CByte(-1); }), err::Overflow);
    EXPECT_EQ(ErrorOf([] { ToInteger(32768); }), err::Overflow);
    EXPECT_EQ(ToInteger(-32768), -32768);
    EXPECT_EQ(ErrorOf([] { ToLong(int64_t{1} << 31); }), err::Overflow);
}

}  // namespace
}  // namespace posbench
