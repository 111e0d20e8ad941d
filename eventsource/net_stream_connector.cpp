#include "eventsource/net_stream_connector.hpp"

namespace eventsource {
namespace {

class NetStreamResponse : public StreamResponse {
public:
    explicit NetStreamResponse(net::ResponseStream stream) : stream_(std::move(stream)) {}

    int status() const override { return stream_.status(); }

    std::optional<std::string> header(std::string_view name) const override { return stream_.header(name); }

    boost::asio::awaitable<std::optional<std::string>> read() override {
        std::string piece = co_await stream_.readSome();
        if (piece.empty()) co_return std::nullopt;
        co_return piece;
    }

    void cancel() override { stream_.cancel(); }

private:
    net::ResponseStream stream_;
};

}  // namespace

NetStreamConnector::NetStreamConnector(std::shared_ptr<net::HTTPClient> client) : client_(std::move(client)) {}

boost::asio::awaitable<std::unique_ptr<StreamResponse>> NetStreamConnector::open(const Request& request) {
    net::HTTPRequest get{.method = "GET", .url = request.url, .timeout = request.timeout};
    for (const auto& field : request.headers) get.headers.add(field.name_string(), field.value());
    co_return std::make_unique<NetStreamResponse>(co_await client_->start(std::move(get)));
}

}  // namespace eventsource
