#pragma once

#include "eventsource/stream_connector.hpp"

#include "net/http_client.hpp"

#include <memory>

namespace eventsource {

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
