#pragma once

// OutgoingMessage: one message handed to a transport to send. It holds the UTF-8 JSON text of
// one JSON-RPC request, notification or response, or of one batch array, and what its sender
// knows of it that a transport may need: the ids of the requests it carries and its method.
// A transport that waits for the answers or names the operation (the HTTP client transport
// does both) takes them from here instead of reading the text its sender has just written:
// a message is written once, and read once, by its receiver.
//
//     co_await transport->send(OutgoingMessage::request(writeJSON(encode(request)), request.id, request.method));
//     co_await transport->send(std::string(R"({"jsonrpc":"2.0","method":"notifications/initialized"})"));
//
// Text alone tells nothing; a transport that needs to know reads it (`outlineOf`).

#include "mcp/protocol/id.hpp"

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace mcp {

class OutgoingMessage {
public:
    // What a message is, as far as a transport cares.
    struct Outline {
        // The ids of the requests it carries, in their order: one for a request, those of the
        // requests in a batch, none for a notification or a response.
        std::vector<ID> requestIDs;
        // The method of a request or a notification, as written; absent for a response and a
        // batch.
        std::optional<std::string> method;

        friend bool operator==(const Outline&, const Outline&) = default;
    };

    // Implicit, so that text goes out as it is: its sender tells nothing of it.
    OutgoingMessage(std::string text) noexcept : text_(std::move(text)) {}
    OutgoingMessage(const char* text) : text_(text) {}
    OutgoingMessage(std::string text, Outline outline) noexcept
        : text_(std::move(text)), outline_(std::move(outline)) {}

    static OutgoingMessage request(std::string text, ID id, std::string method);
    static OutgoingMessage notification(std::string text, std::string method);
    static OutgoingMessage response(std::string text);
    // A batch array holding the requests `requestIDs`, and perhaps notifications.
    static OutgoingMessage batch(std::string text, std::vector<ID> requestIDs);

    const std::string& text() const& noexcept { return text_; }
    std::string text() && noexcept { return std::move(text_); }

    // What the sender told of the message; absent for text alone.
    const std::optional<Outline>& outline() const noexcept { return outline_; }

    // The outline read from `text`, for text sent alone: a request is an object with "method"
    // and an id that is not null (a string or a whole number), a batch an array of such
    // objects among others; "method" counts only as a string. Text that is no JSON carries
    // no request and no method.
    static Outline outlineOf(std::string_view text);

private:
    std::string text_;
    std::optional<Outline> outline_;
};

}  // namespace mcp
