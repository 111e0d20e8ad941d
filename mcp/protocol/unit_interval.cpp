#include "mcp/protocol/unit_interval.hpp"

#include "mcp/detail/number_text.hpp"

namespace mcp {

std::optional<UnitInterval> UnitInterval::make(double value) noexcept {
    if (!(value >= 0.0 && value <= 1.0)) return std::nullopt;
    return UnitInterval(Unchecked{}, value);
}

std::string UnitInterval::description() const { return detail::doubleText(value_); }

UnitInterval Codec<UnitInterval>::decode(const Value& value, const CodingPath& path) {
    const double number = Codec<double>::decode(value, path);
    if (const auto interval = UnitInterval::make(number)) return *interval;
    throw DecodingError::dataCorrupted(path, "Value " + detail::doubleText(number) + " is not in range 0...1");
}

}  // namespace mcp
