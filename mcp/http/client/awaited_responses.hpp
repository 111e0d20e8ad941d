#pragma once

// AwaitedResponses: the ids of the requests that one posted message carries (a request, or
// the requests of a batch), struck off as the messages that answer them go by. The HTTP
// client transport keeps one per POST, so that it can tell an event stream that ended after
// its answers from one that broke off before them, and resume the latter, and so that a
// request whose answer can no longer come fails instead of waiting for ever.
//
//     auto awaited = AwaitedResponses::of(R"({"jsonrpc":"2.0","id":7,"method":"ping"})");
//     awaited.strikeAnswered(R"({"jsonrpc":"2.0","id":7,"result":{}})");
//     awaited.empty();   // true
//
// An answer counts only when the client can read it: it is read by the client's own rules
// (`readServerMessage`), so that the transport never takes for an answer what the client
// drops. A plain value; it reads JSON and knows nothing of HTTP.

#include "mcp/protocol/id.hpp"
#include "mcp/protocol/mcp_error.hpp"
#include "mcp/protocol/server_message.hpp"

#include <optional>
#include <string_view>
#include <vector>

namespace mcp {

class AwaitedResponses {
public:
    // The requests of `message`: an object with "method" and "id", or an array holding such
    // objects. A notification, a response, and bytes that are not JSON await nothing.
    static AwaitedResponses of(std::string_view message);

    // Strikes off the requests that `message` answers: a response whose id is awaited, or a
    // batch of responses. Anything else changes nothing; a message the client can't read at
    // all is remembered for `unanswered`.
    void strikeAnswered(std::string_view message);
    // The same for a message read already: absent when it was unreadable.
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
