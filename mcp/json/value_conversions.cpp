#include "mcp/json/value.hpp"

#include "mcp/detail/number_text.hpp"

#include <charconv>
#include <clocale>
#include <cstdlib>
#include <locale.h>

namespace mcp {
namespace {

std::optional<bool> boolFromWord(std::string_view word) {
    for (const std::string_view yes : {"true", "t", "yes", "y", "on", "1"}) {
        if (word == yes) return true;
    }
    for (const std::string_view no : {"false", "f", "no", "n", "off", "0"}) {
        if (word == no) return false;
    }
    return std::nullopt;
}

// Decimal integer text: an optional sign, then one or more ASCII digits, nothing else.
std::optional<std::int64_t> intFromText(std::string_view text) {
    std::string_view digits = text;
    if (digits.starts_with('+') || digits.starts_with('-')) digits.remove_prefix(1);
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string_view::npos) return std::nullopt;

    // from_chars takes a leading "-" but not "+".
    const std::string_view parsed = text.starts_with('+') ? digits : text;
    std::int64_t value = 0;
    const auto result = std::from_chars(parsed.data(), parsed.data() + parsed.size(), value);
    if (result.ec != std::errc{} || result.ptr != parsed.data() + parsed.size()) return std::nullopt;
    return value;
}

// Floating-point text read by strtod in the "C" locale, whatever the process's locale.
std::optional<double> doubleFromText(const std::string& text) {
    if (text.empty() || text.front() == '\0' || std::isspace(static_cast<unsigned char>(text.front()))) {
        return std::nullopt;
    }
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t{});
    char* end = nullptr;
    const double value = strtod_l(text.c_str(), &end, cLocale);
    if (end != text.c_str() + text.size()) return std::nullopt;
    return value;
}

}  // namespace

std::optional<bool> Value::toBool(Conversion conversion) const {
    if (const auto value = boolValue()) return value;
    if (conversion == Conversion::strict) return std::nullopt;
    if (const auto integer = intValue()) {
        if (*integer == 0 || *integer == 1) return *integer == 1;
        return std::nullopt;
    }
    if (const auto number = doubleValue()) {
        if (*number == 0.0 || *number == 1.0) return *number == 1.0;
        return std::nullopt;
    }
    if (const auto* text = stringValue()) return boolFromWord(*text);
    return std::nullopt;
}

std::optional<std::int64_t> Value::toInt(Conversion conversion) const {
    if (const auto integer = intValue()) return integer;
    if (conversion == Conversion::strict) return std::nullopt;
    if (const auto number = doubleValue()) return detail::wholeInt64(*number);
    if (const auto* text = stringValue()) return intFromText(*text);
    return std::nullopt;
}

std::optional<double> Value::toDouble(Conversion conversion) const {
    if (const auto number = doubleValue()) return number;
    if (const auto integer = intValue()) return static_cast<double>(*integer);
    if (conversion == Conversion::strict) return std::nullopt;
    if (const auto* text = stringValue()) return doubleFromText(*text);
    return std::nullopt;
}

std::optional<std::string> Value::toString(Conversion conversion) const {
    if (const auto* text = stringValue()) return *text;
    if (conversion == Conversion::strict) return std::nullopt;
    if (const auto value = boolValue()) return *value ? "true" : "false";
    if (const auto integer = intValue()) return std::to_string(*integer);
    if (const auto number = doubleValue()) return detail::doubleText(*number);
    return std::nullopt;
}

}  // namespace mcp
