#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

namespace eventsource {

// The answer to an event-source request was not an event stream. The client reports it
// through its error callback and does not connect again.
class EventSourceError : public std::runtime_error {
public:
    enum class Kind {
        invalidHTTPStatus,   // the status was not 200 (0: the answer was not HTTP at all)
        invalidContentType,  // "Content-Type" was missing or not "text/event-stream"
    };

    // "Invalid HTTP response status code: " followed by the code.
    static EventSourceError invalidHTTPStatus(std::int64_t statusCode);
    // "Missing Content-Type header in SSE response" without a value, else
    // "Invalid Content-Type for SSE: " followed by the value as received.
    static EventSourceError invalidContentType(std::optional<std::string> contentType);

    Kind kind() const noexcept { return kind_; }
    // The status of an invalidHTTPStatus error; 0 for the other kind.
    std::int64_t statusCode() const noexcept { return statusCode_; }
    // The received "Content-Type" of an invalidContentType error, if there was one.
    const std::optional<std::string>& contentType() const noexcept { return contentType_; }

private:
    EventSourceError(Kind kind, const std::string& description, std::int64_t statusCode,
                     std::optional<std::string> contentType);

    Kind kind_;
    std::int64_t statusCode_;
    std::optional<std::string> contentType_;
};

}  // namespace eventsource
