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

TEST(RuntimeErrors, ErrorLineJoinsPrefixNumberAndDescription) {
    EXPECT_EQ(ErrorLine("modComm OpenPort Error ", RuntimeError(9)),
              "modComm OpenPort Error 9 Subscript out of range");
    EXPECT_EQ(ErrorLine("Parameter Error", RuntimeError(13), ": "), "Parameter Error13: Type mismatch");
    EXPECT_EQ(ErrorLine("x ", RuntimeError(-5, "custom")), "x -5 custom");
    EXPECT_EQ(ErrorDescription(1234), "Application-defined or object-defined error");
}

TEST(RuntimeErrors, ExceptionsInFlightMapToClassicErrors) {
    auto mapped = [](const std::function<void()>& f) {
        try {
            f();
        } catch (...) {
            return CurrentRuntimeError();
        }
        return RuntimeError(0, "none");
    };
    RuntimeError e = mapped([] { throw RuntimeError(53, "File not found: x.ini", "modFile"); });
    EXPECT_EQ(e.description(), "File not found: x.ini");
    EXPECT_EQ(e.source(), "modFile");
    EXPECT_EQ(mapped([] { Raise(err::Overflow); }).description(), "Overflow");
    EXPECT_EQ(mapped([] { throw std::bad_alloc(); }).number(), err::OutOfMemory);
    EXPECT_EQ(mapped([] { (void)std::string("abc").at(10); }).number(), err::SubscriptOutOfRange);
    EXPECT_EQ(mapped([] { throw std::runtime_error("x"); }).number(), err::InvalidProcedureCall);
    EXPECT_EQ(mapped([] { throw 42; }).number(), err::InvalidProcedureCall);
}

TEST(Arrays, IndexesOutsideTheBoundsRaiseSubscriptOutOfRange) {
    PerPort<int> ports;
    for (long p = 1; p <= 6; ++p) ports(p) = static_cast<int>(p * 10);
    const PerPort<int>& view = ports;
    EXPECT_EQ(view(6), 60);
    EXPECT_EQ(ErrorOf([&] { ports(0); }), err::SubscriptOutOfRange);
    EXPECT_EQ(ErrorOf([&] { ports(7); }), err::SubscriptOutOfRange);
    EXPECT_EQ(ErrorOf([&] { view(-1); }), err::SubscriptOutOfRange);
    ports.reset();
    EXPECT_EQ(ports(3), 0);

    BoundedArray<std::string, 0, 2> lpt;
    lpt.fill("OFF");
    EXPECT_EQ(lpt(0), "OFF");
    EXPECT_EQ(ErrorOf([&] { lpt(3); }), err::SubscriptOutOfRange);

    OneBasedArray<std::string> table;
    EXPECT_EQ(ErrorOf([&] { table(1); }), err::SubscriptOutOfRange);
    table.push_back("COM1, 115200, DTR, OFF");
    table.push_back("LPT1, ON");
    EXPECT_EQ(table(2), "LPT1, ON");
    EXPECT_EQ(ErrorOf([&] { table(3); }), err::SubscriptOutOfRange);
    EXPECT_EQ(ErrorOf([&] { table(0); }), err::SubscriptOutOfRange);
    table.resize(-4);
    EXPECT_EQ(table.size(), 0);
}

}  // namespace
}  // namespace posbench
