#include "mcp/detail/number_text.hpp"

#include <charconv>
#include <cmath>
#include <string_view>

namespace mcp::detail {

void appendDoubleText(std::string& out, double value) {
    if (std::isnan(value)) {
        out += "nan";
        return;
    }
    if (std::isinf(value)) {
        out += value < 0 ? "-inf" : "inf";
        return;
    }
    // The scientific form of to_chars carries the shortest round-trip digits; only the layout
    // differs from ours ("1e+15" must read "1000000000000000.0").
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
    std::string_view text(buffer, static_cast<std::size_t>(result.ptr - buffer));

    const auto exponentAt = text.find('e');
    std::string_view exponentText = text.substr(exponentAt + 1);
    const bool negativeExponent = exponentText.front() == '-';
    exponentText.remove_prefix(1);
    int exponent = 0;
    std::from_chars(exponentText.data(), exponentText.data() + exponentText.size(), exponent);
    if (negativeExponent) exponent = -exponent;
    if (exponent < -4 || exponent > 15) {
        out += text;
        return;
    }

    std::string_view mantissa = text.substr(0, exponentAt);
    if (mantissa.front() == '-') {
        out += '-';
        mantissa.remove_prefix(1);
    }
    std::string digits;
    digits.reserve(mantissa.size());
    for (const char c : mantissa) {
        if (c != '.') digits += c;
    }

    if (exponent < 0) {
        out += "0.";
        out.append(static_cast<std::size_t>(-exponent - 1), '0');
        out += digits;
        return;
    }
    const auto integerDigits = static_cast<std::size_t>(exponent) + 1;
    if (digits.size() <= integerDigits) {
        out += digits;
        out.append(integerDigits - digits.size(), '0');
        out += ".0";
    } else {
        out.append(digits, 0, integerDigits);
        out += '.';
        out.append(digits, integerDigits);
    }
}

std::string doubleText(double value) {
    std::string text;
    appendDoubleText(text, value);
    return text;
}

std::optional<std::int64_t> wholeInt64(double value) noexcept {
    // 2^63 is exactly representable; the negated comparison also refuses NaN.
    constexpr double kTwoTo63 = 9223372036854775808.0;
    if (!(value >= -kTwoTo63 && value < kTwoTo63)) return std::nullopt;
    if (std::trunc(value) != value) return std::nullopt;
    return static_cast<std::int64_t>(value);
}

}  // namespace mcp::detail
