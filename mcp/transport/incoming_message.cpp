#include "mcp/transport/incoming_message.hpp"

#include "mcp/json/json.hpp"

namespace mcp {

Value IncomingMessage::value() && {
    if (auto* message = std::get_if<Value>(&content_)) return std::move(*message);
    return parseJSON(std::get<std::string>(content_));
}

Value IncomingMessage::value() const& {
    if (const auto* message = std::get_if<Value>(&content_)) return *message;
    return parseJSON(std::get<std::string>(content_));
}

std::string IncomingMessage::text() const {
    if (const auto* message = std::get_if<Value>(&content_)) return writeJSON(*message);
    return std::get<std::string>(content_);
}

}  // namespace mcp
