#pragma once

#include <boost/asio/awaitable.hpp>
#include <boost/beast/http/fields.hpp>
#include <boost/url/url.hpp>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace eventsource {

// The request of every connection attempt of an EventSource.
struct Request {
    boost::urls::url url;
    boost::beast::http::fields headers;
    // How long the connection may stay silent (connecting included) before it fails.
    std::chrono::milliseconds timeout{std::chrono::seconds(60)};
};

// The answer to one event-stream request: its head, and its body in chunks as it arrives.
class StreamResponse {
public:
    virtual ~StreamResponse() = default;

    // The HTTP status code; 0 when the answer was not HTTP.
    virtual int status() const = 0;
    // The value of a header, found without regard to case; nothing when absent.
    virtual std::optional<std::string> header(std::string_view name) const = 0;
    // The next bytes of the body, or nothing once it has ended. Throws on a failure of the
    // connection, and after cancel().
    virtual boost::asio::awaitable<std::optional<std::string>> read() = 0;

    // Ends the response: a read under way fails at once, as does every later one. Called on
    // the executor of the coroutine that reads.
    virtual void cancel() = 0;
};

// What an EventSource needs of an HTTP client: start a request and hand back its answer
// once the head has arrived. Throws on a failure to connect or to send.
class StreamConnector {
public:
    virtual ~StreamConnector() = default;

    virtual boost::asio::awaitable<std::unique_ptr<StreamResponse>> open(const Request& request) = 0;
};

}  // namespace eventsource
