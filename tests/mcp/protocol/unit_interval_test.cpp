#include "mcp/protocol/unit_interval.hpp"

#include "tests/mcp/read_and_write.hpp"

#include <gtest/gtest.h>

#include <limits>

namespace mcp {
namespace {

TEST(UnitInterval, AcceptsZeroToOneInclusive) {
    for (const double inside : {0.0, 1.0, 0.25, -0.0}) {
        SCOPED_TRACE(inside);
        EXPECT_EQ(UnitInterval::make(inside)->doubleValue(), inside);
    }
    for (const double outside : {-0.01, 1.0000001, std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()}) {
        SCOPED_TRACE(outside);
        EXPECT_FALSE(UnitInterval::make(outside).has_value());
    }
    constexpr UnitInterval literal = 0.5;
    EXPECT_EQ(literal.description(), "0.5");
    EXPECT_EQ(UnitInterval(1).description(), "1.0");
    EXPECT_LT(UnitInterval(0.2), UnitInterval(0.3));
}

TEST(UnitInterval, ReadsNumbersInRange) {
    const struct {
        std::string_view in, out;
    } kCases[] = {
        {"0.5", "0.5"},
        {"1", "1.0"},
        {"2", "error: dataCorrupted: Value 2.0 is not in range 0...1"},
        {"1.5", "error: dataCorrupted: Value 1.5 is not in range 0...1"},
        {"-0.1", "error: dataCorrupted: Value -0.1 is not in range 0...1"},
        {R"("0.5")", "error: typeMismatch: Expected a number but found a string"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(testing::readAndWrite<UnitInterval>(c.in), c.out);
    }
}

}  // namespace
}  // namespace mcp
