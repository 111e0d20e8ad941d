#include "eventsource/net_stream_connector.hpp"

namespace eventsource {

boost::asio::awaitable<std::optional<std::string>> NetStreamResponse::read() {
    std::string piece = co_await stream_.readSome();
    if (piece.empty()) co_return std::nullopt;
    co_return piece;
}

NetStreamConnector::NetStreamConnector(std::shared_ptr<net::HTTPClient> client) : client_(std::move(client)) {}

boost::asio::awaitable<std::unique_ptr<StreamResponse>> NetStreamConnector::open(const Request& request) {
    net::HTTPRequest get{.method = "GET", .url = request.url, .timeout = request.timeout};
    for (const auto& field : request.headers) get.headers.add(field.name_string(), field.value());
    co_return std::make_unique<NetStreamResponse>(co_await client_->start(std::move(get)));
}

}  // namespace eventsource
