#include "app/bridge/host_client.hpp"

#include "app/host/host_headers.hpp"

#include <boost/asio/as_tuple.hpp>
#include <boost/asio/co_spawn.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/address.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/use_awaitable.hpp>
#include <boost/beast/core/error.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/http/read.hpp>
#include <boost/beast/http/string_body.hpp>
#include <boost/beast/http/write.hpp>
#include <boost/url/parse.hpp>

#include <cstddef>
#include <cstdint>
#include <exception>

namespace app {

namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;

// The largest answer body taken; a look's picture is a few megabytes.
constexpr std::uint64_t kBodyLimit = 256 * 1024 * 1024;

struct Target {
    tcp::endpoint endpoint;
    std::string hostHeader;  // "127.0.0.1:47293"
    std::string path;        // "/mcp"
};

Target targetOf(const std::string& url) {
    const auto parsed = boost::urls::parse_uri(url);
    if (!parsed || parsed->scheme() != "http" || !parsed->has_port() || parsed->port_number() == 0) {
        throw HostUnreachable(false, "The address " + url + " can't be used.");
    }
    boost::system::error_code error;
    const auto address = asio::ip::make_address(std::string(parsed->encoded_host()), error);
    if (error) throw HostUnreachable(false, "The address " + url + " can't be used.");
    std::string path(parsed->encoded_path());
    if (path.empty()) path = "/";
    if (parsed->has_query()) path += "?" + std::string(parsed->encoded_query());
    return {tcp::endpoint(address, parsed->port_number()),
            std::string(parsed->encoded_host()) + ":" + std::string(parsed->port()), std::move(path)};
}

// The reason a request got no answer, as HostUnreachable tells it.
HostUnreachable failure(const Target& target, const beast::error_code& error) {
    const auto& where = target.hostHeader;
    if (error == asio::error::connection_refused) {
        return HostUnreachable(true, "Could not connect to " + where + " (" + error.message() + ").");
    }
    if (error == beast::error::timeout) {
        return HostUnreachable(false, "The request to " + where + " timed out.");
    }
    return HostUnreachable(false, "The connection to " + where + " failed (" + error.message() + ").");
}

// The first read takes up to this much at once: most answers whole, in one system call.
constexpr std::size_t kFirstReadBytes = 64 * 1024;

asio::awaitable<HostReply> exchange(tcp::socket& socket, beast::flat_buffer& buffer, const Target& target,
                                    const http::request<http::string_body>& request) {
    const auto token = asio::as_tuple(asio::use_awaitable);
    auto [connectError] = co_await socket.async_connect(target.endpoint, token);
    if (connectError) throw failure(target, connectError);
    auto [writeError, written] = co_await http::async_write(socket, request, token);
    if (writeError) throw failure(target, writeError);

    http::response_parser<http::string_body> parser;
    parser.body_limit(kBodyLimit);
    auto [readError, read] = co_await http::async_read(socket, buffer, parser, token);
    if (readError) throw failure(target, readError);

    auto response = parser.release();
    HostReply reply{static_cast<int>(response.result_int()), std::move(response.body()), std::nullopt};
    if (const auto launch = response.find(kLaunchHeader); launch != response.end()) {
        reply.launch = std::string(launch->value());
    }
    co_return reply;
}

HostReply send(asio::io_context& context, beast::flat_buffer& buffer, const Target& target,
               http::request<http::string_body> request, std::chrono::steady_clock::duration timeout) {
    request.set(http::field::host, target.hostHeader);
    request.prepare_payload();
    // The loop ran out of work at the end of the last exchange.
    context.restart();
    tcp::socket socket(context);
    // One deadline for the whole exchange, armed once: closing the socket ends whatever step
    // it has reached.
    asio::steady_timer deadline(context, timeout);
    bool timedOut = false;
    deadline.async_wait([&](const boost::system::error_code& error) {
        if (error) return;
        timedOut = true;
        boost::system::error_code ignored;
        socket.close(ignored);
    });
    std::exception_ptr failed;
    std::optional<HostReply> reply;
    // A buffer kept from one exchange to the next, so that reading costs no allocation; one
    // that a large answer (a picture) grew goes back to its usual size.
    buffer.clear();
    if (buffer.capacity() > kFirstReadBytes) buffer.shrink_to_fit();
    buffer.reserve(kFirstReadBytes);
    asio::co_spawn(context, exchange(socket, buffer, target, request), [&](std::exception_ptr error, HostReply answer) {
        deadline.cancel();
        failed = error;
        if (!error) reply = std::move(answer);
    });
    context.run();
    if (reply) return std::move(*reply);
    if (timedOut) throw failure(target, beast::error::timeout);
    std::rethrow_exception(failed);
}

}  // namespace

HostReply HttpHostClient::post(const std::string& url, const Headers& headers, const std::string& body) {
    const auto target = targetOf(url);
    http::request<http::string_body> request(http::verb::post, target.path, 11);
    for (const auto& [name, value] : headers) request.set(name, value);
    request.body() = body;
    return send(context_, buffer_, target, std::move(request), timeouts_.post);
}

void HttpHostClient::probe(const std::string& url) {
    const auto target = targetOf(url);
    send(context_, buffer_, target, http::request<http::string_body>(http::verb::post, target.path, 11), timeouts_.probe);
}

}  // namespace app
