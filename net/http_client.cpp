#include "net/http_client.hpp"

#include "net/detail/connection.hpp"
#include "net/detail/connection_pool.hpp"
#include "net/detail/operation.hpp"
#include "net/error.hpp"
#include "net/header_check.hpp"

#include <boost/asio/as_tuple.hpp>
#include <boost/asio/bind_cancellation_slot.hpp>
#include <boost/asio/co_spawn.hpp>
#include <boost/asio/error.hpp>
#include <boost/asio/ssl/host_name_verification.hpp>
#include <boost/asio/this_coro.hpp>
#include <boost/asio/use_awaitable.hpp>
#include <boost/beast/core/error.hpp>
#include <boost/beast/http/error.hpp>
#include <boost/beast/http/read.hpp>
#include <boost/beast/http/string_body.hpp>
#include <boost/beast/http/write.hpp>

#include <openssl/ssl.h>

#include <algorithm>

namespace net {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using boost::system::error_code;

namespace {

std::uint16_t portOf(const boost::urls::url& url) {
    if (url.has_port()) return url.port_number();
    return url.scheme_id() == boost::urls::scheme::https ? 443 : 80;
}

// The failures that mean a reused connection had been closed by the server while it sat
// idle, before it saw the request: such a request is sent once more on a new connection.
bool isStaleConnection(const error_code& error) {
    return error == http::error::end_of_stream || error == asio::error::eof ||
           error == asio::error::connection_reset || error == asio::error::broken_pipe ||
           error == asio::ssl::error::stream_truncated;
}

http::request<http::string_body> toBeast(const HTTPRequest& request) {
    http::request<http::string_body> message;
    message.method_string(request.method);
    const auto target = request.url.encoded_target();
    message.target(target.empty() ? std::string_view("/") : std::string_view(target));
    message.version(11);
    for (const auto& [name, value] : request.headers) message.insert(name, value);
    if (!request.headers.contains("Host")) message.set(http::field::host, request.url.encoded_host_and_port());
    message.body() = request.body;
    if (!request.body.empty() || request.method == "POST" || request.method == "PUT" || request.method == "PATCH") {
        message.prepare_payload();
    }
    return message;
}

HeaderMap toHeaderMap(const http::response_parser<http::buffer_body>::value_type& response) {
    HeaderMap headers;
    for (const auto& field : response) headers.add(field.name_string(), field.value());
    return headers;
}

}  // namespace

std::shared_ptr<HTTPClient> HTTPClient::make(asio::any_io_executor executor, HTTPClientOptions options) {
    return std::shared_ptr<HTTPClient>(new HTTPClient(std::move(executor), std::move(options)));
}

HTTPClient::HTTPClient(asio::any_io_executor executor, HTTPClientOptions options)
    : executor_(std::move(executor)),
      options_(std::move(options)),
      tls_(makeTLSContext(options_.tls)),
      pool_(std::make_shared<detail::ConnectionPool>(options_.maxIdleConnectionsPerHost,
                                                     std::max<std::size_t>(options_.maxConnectionsPerHost, 1),
                                                     options_.idleConnectionTimeout)),
      registry_(std::make_shared<detail::OperationRegistry>()) {
    if (!options_.resolver) options_.resolver = std::make_shared<SystemResolver>();
    if (!options_.connector) options_.connector = std::make_shared<TCPConnector>();
}

HTTPClient::~HTTPClient() { shutdown(); }

void HTTPClient::shutdown() {
    registry_->shutdown();
    pool_->close();
}

bool HTTPClient::isShutDown() const { return registry_->isShutDown(); }

asio::awaitable<void> HTTPClient::openConnection(detail::Operation& operation, const HTTPRequest& request,
                                                 const std::string& poolKey) {
    const std::string host = request.url.host_address();
    auto endpoints = co_await asio::co_spawn(operation.executor, options_.resolver->resolve(host, portOf(request.url)),
                                             asio::bind_cancellation_slot(operation.signal.slot(), asio::use_awaitable));
    operation.throwIfCancelled();
    if (request.addressCheck) request.addressCheck(endpoints);
    // Spawned so that cancelling the operation reaches the connector's own waits; the
    // optional because a spawned coroutine's value must have a default.
    auto connecting = [](std::shared_ptr<Connector> connector, asio::any_io_executor executor,
                         std::vector<asio::ip::tcp::endpoint> addresses,
                         std::chrono::milliseconds timeout) -> asio::awaitable<std::optional<beast::tcp_stream>> {
        co_return co_await connector->connect(std::move(executor), std::move(addresses), timeout);
    };
    auto stream = std::move(*co_await asio::co_spawn(
        operation.executor, connecting(options_.connector, operation.executor, std::move(endpoints), request.timeout),
        asio::bind_cancellation_slot(operation.signal.slot(), asio::use_awaitable)));
    operation.throwIfCancelled();
    if (request.url.scheme_id() != boost::urls::scheme::https) {
        operation.connection = std::make_unique<detail::Connection>(poolKey, std::move(stream));
        co_return;
    }
    auto tls = std::make_unique<detail::Connection::TLSStream>(std::move(stream), tls_);
    // SSL_set_tlsext_host_name, without the macro's C cast.
    if (request.url.host_type() == boost::urls::host_type::name &&
        !SSL_ctrl(tls->native_handle(), SSL_CTRL_SET_TLSEXT_HOSTNAME, TLSEXT_NAMETYPE_host_name,
                  const_cast<char*>(host.c_str()))) {
        throw boost::system::system_error(error_code(static_cast<int>(::ERR_get_error()), asio::error::get_ssl_category()));
    }
    tls->set_verify_callback(asio::ssl::host_name_verification(host));
    operation.connection = std::make_unique<detail::Connection>(poolKey, std::move(tls));
    operation.connection->tcp().expires_after(request.timeout);
    auto [error] = co_await operation.connection->tls()->async_handshake(
        asio::ssl::stream_base::client,
        asio::bind_cancellation_slot(operation.signal.slot(), asio::as_tuple(asio::use_awaitable)));
    operation.throwIfCancelled();
    if (error == beast::error::timeout) fail(Error::timedOut);
    if (error) throw boost::system::system_error(error);
}

asio::awaitable<error_code> HTTPClient::exchange(detail::Operation& operation, const HTTPRequest& request) {
    auto& connection = *operation.connection;
    const auto token = [&] {
        return asio::bind_cancellation_slot(operation.signal.slot(), asio::as_tuple(asio::use_awaitable));
    };
    auto message = toBeast(request);
    connection.tcp().expires_after(request.timeout);
    error_code error;
    if (auto* tls = connection.tls()) {
        std::tie(error, std::ignore) = co_await http::async_write(*tls, message, token());
    } else {
        std::tie(error, std::ignore) = co_await http::async_write(*connection.plain(), message, token());
    }
    if (error) co_return error;

    auto& parser = operation.parser.emplace();
    parser.header_limit(static_cast<std::uint32_t>(std::min<std::size_t>(options_.maxHeaderBytes, UINT32_MAX)));
    // Bodies are bounded by whoever reads them: a stream may run as long as it likes.
    parser.body_limit(boost::none);
    if (request.method == "HEAD") parser.skip(true);
    connection.tcp().expires_after(request.timeout);
    if (auto* tls = connection.tls()) {
        std::tie(error, std::ignore) = co_await http::async_read_header(*tls, connection.buffer(), parser, token());
    } else {
        std::tie(error, std::ignore) =
            co_await http::async_read_header(*connection.plain(), connection.buffer(), parser, token());
    }
    co_return error;
}

asio::awaitable<ResponseStream> HTTPClient::start(HTTPRequest request) {
    const auto scheme = request.url.scheme_id();
    if (scheme != boost::urls::scheme::http && scheme != boost::urls::scheme::https) {
        fail(Error::unsupportedScheme, std::string(request.url.scheme()));
    }
    if (!request.url.has_authority() || request.url.encoded_host().empty()) fail(Error::invalidURL);
    checkHeaderFields(request.headers);

    auto operation = std::make_shared<detail::Operation>(co_await asio::this_coro::executor, registry_, pool_,
                                                         request.timeout);
    registry_->add(operation);
    // Connections made for checked requests are kept apart: they went to checked addresses.
    const std::string poolKey = std::string(request.url.scheme()) + "://" + std::string(request.url.encoded_host()) +
                                ":" + std::to_string(portOf(request.url)) + (request.addressCheck ? " checked" : "");

    bool retried = false;
    while (true) {
        operation->connection = pool_->take(poolKey);
        if (!operation->connection) {
            try {
                auto granted = co_await pool_->reserve(poolKey, operation->signal.slot());
                operation->connection = std::move(granted.connection);
                operation->throwIfCancelled();
                if (!operation->connection) {
                    co_await openConnection(*operation, request, poolKey);
                    operation->connection->room = std::move(granted.room);
                }
            } catch (...) {
                operation->release(false);
                // A cancelled resolve or connect ends with the step's own abort error.
                operation->throwIfCancelled();
                throw;
            }
        }
        operation->throwIfCancelled();
        const bool reused = operation->connection->reused;
        auto error = co_await exchange(*operation, request);
        if (operation->cancelled) {
            operation->release(false);
            fail(Error::cancelled);
        }
        if (!error) break;
        const bool nothingReceived = !operation->parser || !operation->parser->got_some();
        operation->release(false);
        if (reused && !retried && nothingReceived && isStaleConnection(error)) {
            retried = true;
            continue;
        }
        if (error == beast::error::timeout) fail(Error::timedOut);
        if (error == http::error::header_limit) fail(Error::headerTooLarge);
        throw boost::system::system_error(error);
    }
    const auto& head = operation->parser->get();
    const int status = static_cast<int>(head.result_int());
    auto headers = toHeaderMap(head);
    co_return ResponseStream(std::move(operation), status, std::move(headers), options_.readChunkBytes);
}

asio::awaitable<HTTPResponse> HTTPClient::fetch(HTTPRequest request) {
    auto stream = co_await start(std::move(request));
    HTTPResponse response{stream.status(), stream.headers(), {}};
    response.body = co_await stream.readAll(options_.maxBodyBytes);
    co_return response;
}

}  // namespace net
