#pragma once

// Transport: what the server and the client need of a connection to their peer. Stream,
// HTTP and in-memory transports implement it.

#include "mcp/transport/async_queue.hpp"
#include "mcp/transport/incoming_message.hpp"
#include "mcp/transport/outgoing_message.hpp"
#include "mcp/protocol/id.hpp"

#include "logging/logger.hpp"

#include <boost/asio/awaitable.hpp>

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <utility>

namespace mcp {

// The incoming messages of a transport: each element one JSON-RPC message or batch array, as
// text or as the value the transport read from it; the stream ends when the transport is
// finished, possibly with an error.
using MessageStream = AsyncQueue<IncomingMessage>;

// How many received messages a transport that reads from a peer lets wait for its consumer
// before it stops reading (see AsyncQueue::waitForRoom): a peer that sends faster than they
// are handled then waits, instead of filling the memory.
inline constexpr std::size_t kIncomingMessageCapacity = 64;

// The logger a transport uses: the caller's, or else one labelled `label` that discards
// everything, so the library writes no log unless its caller asks for one.
logging::Logger givenOrSilentLogger(std::optional<logging::Logger> given, std::string label);

// A connection to a peer. Implementations are actors: every operation runs on the
// transport's own strand, one at a time, so callers may use them from any executor.
class Transport {
public:
    virtual ~Transport() = default;

    // The transport's logger; the server and the client write their own log lines through
    // it. Immutable, so it may be read from anywhere.
    virtual const logging::Logger& logger() const = 0;

    // Makes the transport ready; awaited before anything is read or sent. Throws when the
    // transport can't connect (the server's or client's start fails with that error).
    virtual boost::asio::awaitable<void> connect() = 0;

    // Ends the transport. Never throws.
    virtual boost::asio::awaitable<void> disconnect() = 0;

    // Hands one outgoing message to the peer: the UTF-8 JSON text of one JSON-RPC request,
    // notification or response, or of one batch array, exactly as given. What the sender
    // tells of it (its requests' ids, its method) spares a transport that needs to know the
    // reading of the text. Throws on failure.
    virtual boost::asio::awaitable<void> send(OutgoingMessage message) = 0;

    // Hands one outgoing response to the peer as `send` does; `id` is the id of the request it
    // answers, so that a transport that routes responses to their requests needn't read the
    // message again to find it. Throws as `send` does. By default, `send`, told that the
    // message is a response.
    virtual boost::asio::awaitable<void> sendResponse(std::string message, [[maybe_unused]] const ID& id) {
        return send(OutgoingMessage::response(std::move(message)));
    }

    // Hands one request or notification that goes out while the peer's request
    // `relatedRequestID` is being served (a progress report, a log line, a question back to
    // the peer) as `send` does. A transport that answers each request on a channel of its
    // own may carry the message there. Throws as `send` does. By default, `send`.
    virtual boost::asio::awaitable<void> sendRelated(std::string message,
                                                     [[maybe_unused]] const ID& relatedRequestID) {
        return send(std::move(message));
    }

    // The stream of incoming messages. Called once; the caller reads it to its end.
    virtual std::shared_ptr<MessageStream> receive() = 0;
};

}  // namespace mcp
