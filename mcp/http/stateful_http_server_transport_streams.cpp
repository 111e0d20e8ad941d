// The streams of a session beyond the per-request ones: the standing GET stream that carries
// what the server starts by itself, the resumption of any stream by "Last-Event-ID", and the
// pieces every stream reply shares.

#include "mcp/http/stateful_http_server_transport.hpp"

#include "eventsource/writer.hpp"
#include "mcp/http/http_header_name.hpp"
#include "mcp/protocol/initialize.hpp"
#include "mcp/protocol/mcp_error.hpp"
#include "mcp/http/sse_event.hpp"

#include <utility>

namespace mcp {
namespace {

// Clients older than this revision don't expect an event without a message.
constexpr std::string_view kFirstRevisionWithPrimingEvents = "2025-03-26";

std::string headerProtocolVersion(const HTTPRequest& request) {
    return request.header(HTTPHeaderName::protocolVersion).value_or(Version::latest());
}

}  // namespace

HTTPResponse StatefulHTTPServerTransport::handleGETRequest(const HTTPRequest& request) {
    if (auto refused = validationPipeline_->validate(request, validationContext("GET", false))) {
        return std::move(*refused);
    }
    if (auto lastEventID = request.header(HTTPHeaderName::lastEventID)) return resumeStream(*lastEventID, request);
    if (standaloneStream_) {
        return refusal(409, MCPError::invalidRequest("Conflict: Only one SSE stream is allowed per session"));
    }
    standaloneStream_ = EventStream::make();
    sendPrimingEvent(std::string(kStandaloneStreamID), *standaloneStream_, headerProtocolVersion(request));
    return streamReply(standaloneStream_);
}

void StatefulHTTPServerTransport::routeServerInitiatedMessage(const std::string& message) {
    const std::string eventID = storedEvents_.store(std::string(kStandaloneStreamID), message);
    if (standaloneStream_) {
        standaloneStream_->push(eventsource::encodeSSEEvent(makeMessageEvent(message, eventID)));
        return;
    }
    logger_.debug("No standalone GET stream connected, message stored for replay");
}

HTTPResponse StatefulHTTPServerTransport::resumeStream(const std::string& lastEventID, const HTTPRequest& request) {
    auto replay = storedEvents_.eventsAfter(lastEventID);
    if (!replay) return refusal(400, MCPError::invalidRequest("Invalid Last-Event-ID"));

    auto stream = EventStream::make();
    for (const auto& [eventID, message] : replay->events) {
        stream->push(eventsource::encodeSSEEvent(makeMessageEvent(message, eventID)));
    }

    // The stream this one replaces is finished: its client has reconnected, and an HTTP reply
    // nobody writes to again would otherwise stay open until the client gives up on it.
    const std::string& streamID = replay->streamID;
    const bool isStandalone = streamID == kStandaloneStreamID;
    const bool awaitsResponse = !isStandalone && requestsInFlight_.contains(streamID);
    std::shared_ptr<EventStream> replaced;
    if (isStandalone) {
        replaced = std::exchange(standaloneStream_, stream);
    } else if (awaitsResponse) {
        replaced = std::exchange(requestStreams_[streamID], stream);
    }
    if (replaced) replaced->finish();

    sendPrimingEvent(streamID, *stream, headerProtocolVersion(request));

    // A request no longer in flight has had its response written, and either the replay holds
    // it or the client resumed after it: nothing more will come on this stream.
    if (!isStandalone && !awaitsResponse) stream->finish();
    return streamReply(std::move(stream));
}

void StatefulHTTPServerTransport::sendPrimingEvent(const std::string& streamID, EventStream& stream,
                                                   std::string_view protocolVersion) {
    // Revisions are dates, so text order is release order.
    if (protocolVersion < kFirstRevisionWithPrimingEvents) return;
    const std::string eventID = storedEvents_.store(streamID, std::nullopt);
    stream.push(eventsource::encodeSSEEvent(eventsource::Event{.id = eventID, .event = std::nullopt, .data = {}, .retry = retryInterval_}));
}

HTTPResponse StatefulHTTPServerTransport::streamReply(std::shared_ptr<EventStream> stream) const {
    HTTPHeaders headers{
        {std::string(HTTPHeaderName::contentType), "text/event-stream"},
        {std::string(HTTPHeaderName::cacheControl), "no-cache, no-transform"},
        {std::string(HTTPHeaderName::connection), "keep-alive"},
    };
    if (sessionID_) headers.emplace_back(HTTPHeaderName::sessionID, *sessionID_);
    return HTTPResponse(HTTPResponse::Stream{std::move(stream), std::move(headers)});
}

}  // namespace mcp
