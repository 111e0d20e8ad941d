#include "mcp/protocol/metadata.hpp"

#include "mcp/detail/number_text.hpp"
#include "mcp/detail/uuid.hpp"

#include <boost/container_hash/hash.hpp>

namespace mcp {

ProgressToken ProgressToken::unique() { return ProgressToken(detail::randomUUID()); }

std::optional<std::int64_t> ProgressToken::integerValue() const noexcept {
    if (const auto* number = std::get_if<std::int64_t>(&value_)) return *number;
    return std::nullopt;
}

std::size_t ProgressToken::hash() const noexcept {
    std::size_t seed = value_.index();
    if (const auto* text = stringValue()) {
        boost::hash_combine(seed, *text);
    } else {
        boost::hash_combine(seed, *integerValue());
    }
    return seed;
}

Value Codec<ProgressToken>::encode(const ProgressToken& token) {
    if (const auto* text = token.stringValue()) return *text;
    return *token.integerValue();
}

ProgressToken Codec<ProgressToken>::decode(const Value& value, const CodingPath& path) {
    if (value.stringValue() != nullptr || value.dataValue() != nullptr) return Codec<std::string>::decode(value, path);
    if (const auto integer = value.intValue()) return *integer;
    if (const auto number = value.doubleValue()) {
        if (const auto whole = detail::wholeInt64(*number)) return *whole;
    }
    throw DecodingError::dataCorrupted(path, "Progress token must be a string or integer");
}

Metadata::Metadata(std::optional<ProgressToken> progressToken, Value::Object additionalFields)
    : fields(std::move(additionalFields)) {
    setProgressToken(std::move(progressToken));
}

std::optional<ProgressToken> Metadata::progressToken() const {
    const Value* entry = fields.find("progressToken");
    if (entry == nullptr) return std::nullopt;
    if (const auto* text = entry->stringValue()) return ProgressToken(*text);
    if (const auto integer = entry->intValue()) return ProgressToken(*integer);
    return std::nullopt;
}

void Metadata::setProgressToken(std::optional<ProgressToken> token) {
    if (!token) {
        fields.erase("progressToken");
    } else if (const auto* text = token->stringValue()) {
        fields.insertOrAssign("progressToken", *text);
    } else {
        fields.insertOrAssign("progressToken", *token->integerValue());
    }
}

}  // namespace mcp
