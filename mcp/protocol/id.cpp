#include "mcp/protocol/id.hpp"

#include "mcp/detail/number_text.hpp"
#include "mcp/detail/uuid.hpp"

#include <boost/container_hash/hash.hpp>

#include <functional>
#include <string_view>

namespace mcp {

ID ID::random() { return ID(detail::randomUUID()); }

std::optional<std::int64_t> ID::numberValue() const noexcept {
    if (const auto* number = std::get_if<std::int64_t>(&value_)) return *number;
    return std::nullopt;
}

std::string ID::description() const {
    if (const auto* text = stringValue()) return *text;
    return std::to_string(*numberValue());
}

std::size_t ID::hash() const noexcept {
    std::size_t seed = isString() ? 0 : 1;
    if (const auto* text = stringValue()) {
        // The standard library's string hash: under half the cost of Boost's for the 36
        // characters of a random id, and ids are hashed on every request and every answer.
        boost::hash_combine(seed, std::hash<std::string_view>{}(*text));
    } else {
        boost::hash_combine(seed, *numberValue());
    }
    return seed;
}

Value Codec<ID>::encode(const ID& id) {
    if (const auto* text = id.stringValue()) return *text;
    return *id.numberValue();
}

ID Codec<ID>::decode(const Value& value, const CodingPath& path) {
    if (value.stringValue() != nullptr || value.dataValue() != nullptr) return ID(Codec<std::string>::decode(value, path));
    if (const auto integer = value.intValue()) return ID(*integer);
    if (const auto number = value.doubleValue()) {
        if (const auto whole = detail::wholeInt64(*number)) return ID(*whole);
    }
    if (value.isNull()) return ID(std::string());
    throw DecodingError::dataCorrupted(path, "ID must be string or number");
}

}  // namespace mcp
