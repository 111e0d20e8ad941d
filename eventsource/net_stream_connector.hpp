#pragma once

#include "eventsource/stream_connector.hpp"

#include "net/http_client.hpp"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace eventsource {

// An event-stream answer read through the project's HTTP client: one already started, such
// as the answer to a POST that turned out to be an event stream.
class NetStreamResponse : public StreamResponse {
public:
    explicit NetStreamResponse(net::ResponseStream stream) : stream_(std::move(stream)) {}

    int status() const override { return stream_.status(); }
    std::optional<std::string> header(std::string_view name) const override { return stream_.header(name); }
    // Throws the client's boost::system::system_error.
    boost::asio::awaitable<std::optional<std::string>> read() override;
    void cancel() override { stream_.cancel(); }

private:
    net::ResponseStream stream_;
};

// Opens event streams with the project's HTTP client: a GET of the request's URL with its
// headers and idle timeout. Redirects are not followed, so a 3xx answer is refused as a
// status other than 200.
class NetStreamConnector : public StreamConnector {
public:
    // Keeps `client`, which may be shared with other users.
    explicit NetStreamConnector(std::shared_ptr<net::HTTPClient> client);

    // Throws the client's boost::system::system_error on a failure to connect or send.
    boost::asio::awaitable<std::unique_ptr<StreamResponse>> open(const Request& request) override;

private:
    std::shared_ptr<net::HTTPClient> client_;
};

}  // namespace eventsource
