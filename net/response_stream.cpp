#include "net/response_stream.hpp"

#include "net/detail/operation.hpp"
#include "net/error.hpp"

#include <boost/asio/as_tuple.hpp>
#include <boost/asio/bind_cancellation_slot.hpp>
#include <boost/asio/ssl/error.hpp>
#include <boost/asio/use_awaitable.hpp>
#include <boost/beast/core/error.hpp>
#include <boost/beast/http/error.hpp>
#include <boost/beast/http/read.hpp>

#include <algorithm>

namespace net {

namespace asio = boost::asio;
namespace http = boost::beast::http;

void CancelHandle::cancel() const {
    if (auto operation = operation_.lock()) operation->requestCancel();
}

ResponseStream::ResponseStream(std::shared_ptr<detail::Operation> operation, int status, HeaderMap headers,
                               std::size_t chunkSize)
    : operation_(std::move(operation)), status_(status), headers_(std::move(headers)), chunkSize_(chunkSize) {
    if (operation_->parser->is_done()) {
        finished_ = true;
        operation_->release(operation_->parser->keep_alive());
    }
}

ResponseStream::ResponseStream(ResponseStream&&) noexcept = default;
ResponseStream& ResponseStream::operator=(ResponseStream&&) noexcept = default;
ResponseStream::~ResponseStream() = default;

void ResponseStream::cancel() const {
    if (operation_) operation_->requestCancel();
}

CancelHandle ResponseStream::cancelHandle() const { return CancelHandle(operation_); }

void ResponseStream::discard() {
    if (operation_) operation_->release(false);
    finished_ = true;
}

asio::awaitable<std::string> ResponseStream::readSome() {
    // Keeps the operation alive should this stream be moved from while the read waits.
    const auto operation = operation_;
    if (finished_ || !operation) co_return std::string();
    operation->throwIfCancelled();
    if (!operation->connection) fail(Error::cancelled);
    auto& parser = *operation->parser;
    if (!operation->readBuffer) {
        // A body of known length needs no more room than it has bytes.
        const auto length = parser.content_length_remaining();
        readBufferBytes_ = length ? std::max<std::size_t>(1, std::min<std::size_t>(chunkSize_, *length)) : chunkSize_;
        operation->readBuffer.reset(new char[readBufferBytes_]);
    }
    char* const buffer = operation->readBuffer.get();
    while (true) {
        parser.get().body().data = buffer;
        parser.get().body().size = readBufferBytes_;
        auto& connection = *operation->connection;
        connection.tcp().expires_after(operation->timeout);
        const auto token = [&] {
            return asio::bind_cancellation_slot(operation->signal.slot(), asio::as_tuple(asio::use_awaitable));
        };
        boost::system::error_code error;
        if (auto* tls = connection.tls()) {
            std::tie(error, std::ignore) = co_await http::async_read_some(*tls, connection.buffer(), parser, token());
        } else {
            std::tie(error, std::ignore) =
                co_await http::async_read_some(*connection.plain(), connection.buffer(), parser, token());
        }
        const std::size_t produced = readBufferBytes_ - parser.get().body().size;
        if (error == http::error::need_buffer) error = {};
        // A TLS peer that closes without close_notify ends a body that runs to the close.
        if (error == asio::ssl::error::stream_truncated && parser.need_eof()) parser.put_eof(error);
        if (operation->cancelled) {
            operation->release(false);
            fail(Error::cancelled);
        }
        if (error) {
            operation->release(false);
            if (error == boost::beast::error::timeout) fail(Error::timedOut);
            throw boost::system::system_error(error);
        }
        if (parser.is_done()) {
            finished_ = true;
            operation->connection->tcp().expires_never();
            operation->release(parser.keep_alive());
        }
        if (produced > 0 || finished_) co_return std::string(buffer, produced);
    }
}

asio::awaitable<std::string> ResponseStream::readAll(std::size_t limit) {
    std::string body;
    if (operation_ && !finished_) {
        if (const auto length = operation_->parser->content_length(); length && *length > limit) {
            discard();
            fail(Error::bodyTooLarge, "more than " + std::to_string(limit) + " bytes");
        }
    }
    while (true) {
        std::string piece = co_await readSome();
        if (piece.empty()) co_return body;
        if (body.size() + piece.size() > limit) {
            discard();
            fail(Error::bodyTooLarge, "more than " + std::to_string(limit) + " bytes");
        }
        body += piece;
    }
}

}  // namespace net
