#include "base/Numbers.h"

#include <gtest/gtest.h>

#include "support/TestSupport.h"

#include <cmath>
#include <functional>
#include <limits>

#include "base/RuntimeError.h"

namespace posbench {
namespace {

using test::ErrorOf;

TEST(Val, LeadingNumberInDecimalHexOrOctal) {
    const std::pair<const char*, double> cases[] = {
        {"", 0}, {"abc", 0}, {"  12  34abc", 1234}, {"\t7\n", 7}, {" - 5", -5}, {"-3.75", -3.75},
        {".5", 0.5}, {"1.2.3", 1.2}, {"12,5", 12}, {"5+3", 5}, {"--5", 0}, {".", 0}, {"e5", 0},
        // exponents and their loose ends
        {"1.5e2", 150}, {"3D2", 300}, {"2E-1", 0.2}, {"1e", 1}, {"1e+x", 1}, {"1e5e3", 100000},
        // &H and &O: 16-bit values come out signed; leading zeros do not widen the value
        {"&HFFFF", -1}, {"&hff", 255}, {" &H 1 0", 16}, {"&H8000", -32768}, {"&H10000", 65536},
        {"&H0000FFFF", -1}, {"&H7FFFFFFF", 2147483647}, {"&H1Fg", 31}, {"&HZ", 0}, {"&H", 0},
        {"&O17", 15}, {"&O8", 0}, {"&", 0},
    };
    for (const auto& [text, value] : cases) EXPECT_EQ(Val(text), value) << '"' << text << '"';
    EXPECT_EQ(ErrorOf([] { Val("1e999"); }), err::Overflow);
    EXPECT_EQ(ErrorOf([] { Val("&H1FFFFFFFF"); }), err::Overflow);
    EXPECT_EQ(ErrorOf([] { Val("&H" + std::string(40, 'F')); }), err::Overflow);
}

TEST(Formatting, StrCStrAndHex) {
    EXPECT_EQ((std::vector<std::string>{Str(int64_t{2}), Str(int16_t{-2}), Str(0.5), Str(-0.5), Str(2.0), CStr(1e20),
                                        CStr(1.5e-7), CStr(int64_t{-9000000000}), Hex(0), Hex(-32768), Hex2(10)}),
              (std::vector<std::string>{" 2", "-2", " .5", "-.5", " 2", "1E+20", "1.5E-07", "-9000000000", "0",
                                        "FFFF8000", "0A"}));
}

TEST(WholeNumbers, HalvesGoToEven) {
    const std::pair<double, int> cases[] = {{2.5, 2},     {3.5, 4},     {-2.5, -2},         {-3.5, -4},
                                            {2.4999, 2},  {2.5001, 3},  {32767.4, 32767},  {-32768.5, -32768}};
    for (const auto& [value, whole] : cases) EXPECT_EQ(CInt(value), whole) << value;
    EXPECT_EQ((std::vector<int64_t>{CLng(1000000.5), CLng(-2147483648.0), CByte(254.5), CByte(-0.5), ToInteger(-32768)}),
              (std::vector<int64_t>{1000000, std::numeric_limits<int32_t>::min(), 254, 0, -32768}));
}

TEST(WholeNumbers, OutOfRangeIsOverflow) {
    const std::function<void()> cases[] = {
        [] { CInt(32767.5); },   [] { CInt(-32768.6); },       [] { CInt(std::nan("")); },
        [] { CInt(std::numeric_limits<double>::infinity()); }, [] { CLng(2147483647.5); },
        [] { CByte(255.5); },    [] { CByte(-1); },            [] { ToInteger(32768); },
        [] { ToLong(int64_t{1} << 31); },
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(ErrorOf(cases[i]), err::Overflow) << "case " << i;
}

}  // namespace
}  // namespace posbench
