#include "eventsource/event_source_error.hpp"

namespace eventsource {

EventSourceError::EventSourceError(Kind kind, const std::string& description, std::int64_t statusCode,
                                   std::optional<std::string> contentType)
    : std::runtime_error(description), kind_(kind), statusCode_(statusCode), contentType_(std::move(contentType)) {}

EventSourceError EventSourceError::invalidHTTPStatus(std::int64_t statusCode) {
    return EventSourceError(Kind::invalidHTTPStatus, "Invalid HTTP response status code: " + std::to_string(statusCode),
                            statusCode, std::nullopt);
}

EventSourceError EventSourceError::invalidContentType(std::optional<std::string> contentType) {
    std::string description =
        contentType ? "Invalid Content-Type for SSE: " + *contentType : "Missing Content-Type header in SSE response";
    return EventSourceError(Kind::invalidContentType, description, 0, std::move(contentType));
}

}  // namespace eventsource
