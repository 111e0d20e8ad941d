#pragma once

// ID: the id of a JSON-RPC request, a string or a 64-bit integer.

#include "mcp/json/codec.hpp"

#include <concepts>
#include <cstdint>
#include <functional>
#include <string>
#include <variant>

namespace mcp {

class ID {
public:
    ID(std::string text) noexcept : value_(std::move(text)) {}
    ID(const char* text) : value_(std::string(text)) {}
    template <std::integral T>
        requires(!std::same_as<T, bool> && !std::same_as<T, char>)
    ID(T number) : value_(static_cast<std::int64_t>(number)) {}

    // A new string id: a fresh random UUID in upper-case 8-4-4-4-12 form.
    static ID random();

    bool isString() const noexcept { return std::holds_alternative<std::string>(value_); }
    // The text of a string id, else null.
    const std::string* stringValue() const noexcept { return std::get_if<std::string>(&value_); }
    // The number of a numeric id, else absent.
    std::optional<std::int64_t> numberValue() const noexcept;

    // The text itself, or the decimal digits of a number ("-3").
    std::string description() const;

    // Same case and equal payload: the string "1" and the number 1 differ.
    friend bool operator==(const ID&, const ID&) = default;
    std::size_t hash() const noexcept;

private:
    std::variant<std::string, std::int64_t> value_;
};

// Written as a JSON string or integer. Read from a string, from any whole number in the
// 64-bit range (7 and 7.0 alike), or from null as the empty string; anything else is
// dataCorrupted "ID must be string or number".
template <>
struct Codec<ID> {
    static Value encode(const ID& id);
    static ID decode(const Value& value, const CodingPath& path);
};

}  // namespace mcp

template <>
struct std::hash<mcp::ID> {
    std::size_t operator()(const mcp::ID& id) const noexcept { return id.hash(); }
};
