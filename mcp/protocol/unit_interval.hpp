#pragma once

// UnitInterval: a double from 0 to 1, both ends included, never NaN.

#include "mcp/json/codec.hpp"

#include <compare>
#include <optional>
#include <stdexcept>
#include <string>

namespace mcp {

class UnitInterval {
public:
    // A literal in range: `UnitInterval(0.5)`. A literal outside 0...1 does not compile.
    consteval UnitInterval(double value) : value_(value) {
        if (!(value >= 0.0 && value <= 1.0)) throw std::invalid_argument("UnitInterval literal outside 0...1");
    }

    // The interval value of `value`, or absent outside 0...1 (NaN included).
    static std::optional<UnitInterval> make(double value) noexcept;

    double doubleValue() const noexcept { return value_; }
    // The double's standard text ("0.5", "1.0").
    std::string description() const;

    friend bool operator==(UnitInterval a, UnitInterval b) noexcept { return a.value_ == b.value_; }
    friend std::partial_ordering operator<=>(UnitInterval a, UnitInterval b) noexcept { return a.value_ <=> b.value_; }

private:
    struct Unchecked {};
    constexpr UnitInterval(Unchecked, double value) noexcept : value_(value) {}

    double value_;
};

// A bare JSON number; reading one outside 0...1 fails with dataCorrupted
// "Value 1.5 is not in range 0...1".
template <>
struct Codec<UnitInterval> {
    static Value encode(UnitInterval interval) { return interval.doubleValue(); }
    static UnitInterval decode(const Value& value, const CodingPath& path);
};

}  // namespace mcp
