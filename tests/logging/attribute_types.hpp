#pragma once

#include "logging/metadata_value_attributes.hpp"

#include <cstdint>
#include <optional>

namespace logging::testing {

// Three attribute types for the tests; Color only accepts raw values 0 to 2.
template <int Tag>
struct NumberAttribute {
    std::int64_t value;
    std::int64_t rawValue() const { return value; }
    static std::optional<NumberAttribute> fromRawValue(std::int64_t raw) {
        return NumberAttribute{raw};
    }
    friend bool operator==(const NumberAttribute&, const NumberAttribute&) = default;
};
using A = NumberAttribute<0>;
using B = NumberAttribute<1>;

enum class Color : std::int64_t { red, green, blue };
struct ColorAttribute {
    Color color;
    std::int64_t rawValue() const { return static_cast<std::int64_t>(color); }
    static std::optional<ColorAttribute> fromRawValue(std::int64_t raw) {
        if (raw < 0 || raw > 2) return std::nullopt;
        return ColorAttribute{static_cast<Color>(raw)};
    }
    friend bool operator==(const ColorAttribute&, const ColorAttribute&) = default;
};
using C = ColorAttribute;

}  // namespace logging::testing
