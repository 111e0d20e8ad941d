#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace mcp::detail {

// Appends the standard text of a double: the shortest decimal that reads back as the same
// double, written plainly with at least one fractional digit when the decimal exponent lies
// in -4...15 ("1.0", "0.001", "123.25") and in exponent form otherwise ("1e-05", "1e+16").
// Non-finite values give "inf", "-inf" and "nan".
void appendDoubleText(std::string& out, double value);

// The standard text of a double, as `appendDoubleText` writes it.
std::string doubleText(double value);

// The value of `value` as a 64-bit integer when it is a whole number in [-2^63, 2^63);
// absent for fractions, NaN and infinities.
std::optional<std::int64_t> wholeInt64(double value) noexcept;

}  // namespace mcp::detail
