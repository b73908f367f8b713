#include <gtest/gtest.h>

#include "support/TestSupport.h"

#include <new>
#include <stdexcept>

#include "base/Arrays.h"
#include "base/PerPort.h"
#include "base/RuntimeError.h"

namespace posbench {
namespace {

using test::ErrorOf;

TEST(RuntimeErrors, ErrorLinesAndTheClassicNumbersOfExceptionsInFlight) {
    EXPECT_EQ(ErrorLine("modComm OpenPort Error ", RuntimeError(9)), "modComm OpenPort Error 9 Subscript out of range");
    EXPECT_EQ(ErrorLine("Parameter Error", RuntimeError(13), ": "), "Parameter Error13: Type mismatch");
    EXPECT_EQ(ErrorLine("x ", RuntimeError(-5, "custom")), "x -5 custom");
    EXPECT_EQ(ErrorDescription(1234), "Application-defined or object-defined error");
    auto mapped = [](const std::function<void()>& f) {
        try {
            f();
        } catch (...) {
            return CurrentRuntimeError();
        }
        return RuntimeError(0, "none");
    };
    RuntimeError e = mapped([] { throw RuntimeError(53, "File not found: x.ini", "modFile"); });
    EXPECT_EQ(e.description() + "|" + e.source(), "File not found: x.ini|modFile");
    EXPECT_EQ(mapped([] { Raise(err::Overflow); }).description(), "Overflow");
    EXPECT_EQ((std::vector<int32_t>{mapped([] { throw std::bad_alloc(); }).number(),
                                 mapped([] { (void)std::string("abc").at(10); }).number(),
                                 mapped([] { throw std::runtime_error("x"); }).number(), mapped([] { throw 42; }).number()}),
              (std::vector<int32_t>{err::OutOfMemory, err::SubscriptOutOfRange, err::InvalidProcedureCall,
                                 err::InvalidProcedureCall}));
}

TEST(Arrays, IndexesOutsideTheBoundsRaiseSubscriptOutOfRange) {
    PerPort<int> ports;
    ports(6) = 60;
    const PerPort<int>& view = ports;
    EXPECT_EQ(view(6), 60);
    BoundedArray<std::string, 0, 2> lpt;
    lpt.fill("OFF");
    EXPECT_EQ(lpt(0), "OFF");
    OneBasedArray<std::string> table;
    EXPECT_EQ(ErrorOf([&] { table(1); }), err::SubscriptOutOfRange);
    table.push_back("COM1, 115200, DTR, OFF");
    table.push_back("LPT1, ON");
    EXPECT_EQ(table(2), "LPT1, ON");
    for (const auto& outside : std::vector<std::function<void()>>{
             [&] { ports(0); }, [&] { ports(7); }, [&] { view(-1); }, [&] { lpt(3); }, [&] { table(3); }, [&] { table(0); }})
        EXPECT_EQ(ErrorOf(outside), err::SubscriptOutOfRange);
    table.resize(-4);
    EXPECT_EQ(table.size(), 0);
}

}  // namespace
}  // namespace posbench
