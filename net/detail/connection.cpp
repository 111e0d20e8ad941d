#include "net/detail/connection.hpp"

namespace net::detail {

Connection::Connection(std::string poolKey, PlainStream stream)
    : poolKey_(std::move(poolKey)), stream_(std::make_unique<PlainStream>(std::move(stream))) {}

Connection::Connection(std::string poolKey, std::unique_ptr<TLSStream> stream)
    : poolKey_(std::move(poolKey)), stream_(std::move(stream)) {}

Connection::PlainStream& Connection::tcp() noexcept {
    if (auto* plainStream = plain()) return *plainStream;
    return tls()->next_layer();
}

Connection::TLSStream* Connection::tls() noexcept {
    auto* stream = std::get_if<std::unique_ptr<TLSStream>>(&stream_);
    return stream ? stream->get() : nullptr;
}

Connection::PlainStream* Connection::plain() noexcept {
    auto* stream = std::get_if<std::unique_ptr<PlainStream>>(&stream_);
    return stream ? stream->get() : nullptr;
}

void Connection::close() noexcept {
    boost::system::error_code ignored;
    tcp().socket().shutdown(boost::asio::ip::tcp::socket::shutdown_both, ignored);
    tcp().socket().close(ignored);
}

bool Connection::isOpen() noexcept { return tcp().socket().is_open(); }

}  // namespace net::detail
