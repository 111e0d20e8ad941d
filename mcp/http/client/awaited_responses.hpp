#pragma once

// AwaitedResponses: the ids of the requests that one posted message carries (a request, or
// the requests of a batch), struck off as the messages that answer them go by. The HTTP
// client transport keeps one per POST, so that it can tell an event stream that ended after
// its answers from one that broke off before them, and resume the latter, and so that a
// request whose answer can no longer come fails instead of waiting for ever.
//
//     AwaitedResponses awaited({ID(7)});
//     awaited.strikeAnswered(AwaitedResponses::read(R"({"jsonrpc":"2.0","id":7,"result":{}})").shape);
//     awaited.empty();   // true
//
// An answer counts only when the client can read it: it is read by the client's own rules
// (`readParsedServerMessage`), so that the transport never takes for an answer what the
// client drops. A plain value; it knows nothing of HTTP.

#include "mcp/protocol/id.hpp"
#include "mcp/protocol/mcp_error.hpp"
#include "mcp/protocol/server_message.hpp"
#include "mcp/transport/incoming_message.hpp"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mcp {

class AwaitedResponses {
public:
    // Awaits the answers to the requests `ids` (none for a notification or a response).
    explicit AwaitedResponses(std::vector<ID> ids = {}) noexcept : ids_(std::move(ids)) {}

    // One incoming message read as the client reads it, for `strikeAnswered`.
    struct Reading {
        // The message as the client's incoming stream takes it: the value read, so that the
        // client needn't read it again; the text as it came when it has no shape the client
        // knows, for the client's warning to show.
        IncomingMessage message;
        // Its shape; absent when it has none (text that is no JSON included).
        std::optional<ServerMessage> shape;
    };
    static Reading read(std::string message);

    // Strikes off the requests that `message` answers: a response whose id is awaited, or a
    // batch of responses. Anything else changes nothing; a message the client can't read at
    // all (absent) is remembered for `unanswered`.
    void strikeAnswered(const std::optional<ServerMessage>& message);

    // True when no answer is awaited any more (or none ever was).
    bool empty() const noexcept { return ids_.empty(); }

    // The failure of the requests still awaited once nothing more can answer them:
    // "No response to request <ids>: <why>", and a word on unreadable messages seen.
    MCPError unanswered(std::string_view why) const;

private:
    void strike(const ID& id);

    std::vector<ID> ids_;
    bool sawUnreadable_ = false;
};

}  // namespace mcp
