#pragma once

// ProgressToken and Metadata: the "_meta" object that protocol messages carry, and the token
// in it that ties progress notifications to a request.

#include "mcp/json/codec.hpp"
#include "mcp/json/value.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <variant>

namespace mcp {

// A string or an integer, chosen by the requester.
class ProgressToken {
public:
    ProgressToken(std::string text) noexcept : value_(std::move(text)) {}
    ProgressToken(const char* text) : value_(std::string(text)) {}
    ProgressToken(std::int64_t number) noexcept : value_(number) {}
    ProgressToken(int number) noexcept : value_(std::int64_t{number}) {}

    // A new string token: a fresh random UUID, like a new request id.
    static ProgressToken unique();

    const std::string* stringValue() const noexcept { return std::get_if<std::string>(&value_); }
    std::optional<std::int64_t> integerValue() const noexcept;

    friend bool operator==(const ProgressToken&, const ProgressToken&) = default;
    std::size_t hash() const noexcept;

private:
    std::variant<std::string, std::int64_t> value_;
};

// Written as a JSON string or integer; read from a string or a whole number in the 64-bit
// range, anything else failing with "Progress token must be a string or integer".
template <>
struct Codec<ProgressToken> {
    static Value encode(const ProgressToken& token);
    static ProgressToken decode(const Value& value, const CodingPath& path);
};

// The "_meta" object: any keys, of which "progressToken" has a meaning of its own.
struct Metadata {
    Value::Object fields;

    Metadata() = default;
    explicit Metadata(Value::Object additionalFields) : fields(std::move(additionalFields)) {}
    // Starts from `additionalFields`, then sets the token as `setProgressToken` does: a given
    // token replaces their "progressToken", an absent one removes it.
    Metadata(std::optional<ProgressToken> progressToken, Value::Object additionalFields);

    // The value under `key`, or null.
    const Value* find(std::string_view key) const noexcept { return fields.find(key); }

    // The "progressToken" entry when it is a string or an `int` value; absent for any other
    // value (a double included) or no entry.
    std::optional<ProgressToken> progressToken() const;
    // Stores the token as a string or `int` value; absent removes the entry.
    void setProgressToken(std::optional<ProgressToken> token);

    friend bool operator==(const Metadata&, const Metadata&) = default;
};

// A JSON object of values; anything else fails to read.
template <>
struct Codec<Metadata> {
    static Value encode(const Metadata& metadata) { return metadata.fields; }
    static Metadata decode(const Value& value, const CodingPath& path) {
        return Metadata(Codec<Value::Object>::decode(value, path));
    }
};

}  // namespace mcp

template <>
struct std::hash<mcp::ProgressToken> {
    std::size_t operator()(const mcp::ProgressToken& token) const noexcept { return token.hash(); }
};
