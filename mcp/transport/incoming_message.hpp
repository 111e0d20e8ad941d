#pragma once

// IncomingMessage: one element of a transport's incoming stream. It holds the text of one
// JSON-RPC message or batch array as it arrived, or the value read from that text when the
// transport had to read it anyway (to route it), so that the reader doesn't read it again.

#include "mcp/json/value.hpp"

#include <concepts>
#include <string>
#include <utility>
#include <variant>

namespace mcp {

class IncomingMessage {
public:
    // Implicit, so that a transport pushes the text it received as it is.
    IncomingMessage(std::string text) noexcept : content_(std::move(text)) {}
    // Only a `Value` itself: the many types a `Value` converts from would read as messages.
    template <std::same_as<Value> V>
    IncomingMessage(V message) noexcept : content_(std::move(message)) {}

    // The message read: the value it holds, moved out, or its text read by `parseJSON`; the
    // text stays. Throws `DecodingError` when the text is no JSON.
    Value value() &&;
    // As above, leaving the message whole: a held value is copied.
    Value value() const&;

    // The message as text, for logs and tests: as it arrived, or the held value written
    // compact with its members in their order. Throws `EncodingError` as `writeJSON` does.
    std::string text() const;

    // Whether the message holds text, which `value() &&` leaves in place.
    bool holdsText() const noexcept { return std::holds_alternative<std::string>(content_); }

private:
    std::variant<std::string, Value> content_;
};

}  // namespace mcp
