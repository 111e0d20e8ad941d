#include "app/bridge/host_client.hpp"

#include "app/bridge/deadline_socket.hpp"
#include "app/host/host_headers.hpp"

#include <boost/asio/ip/address.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core/error.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/http/read.hpp>
#include <boost/beast/http/string_body.hpp>
#include <boost/beast/http/write.hpp>
#include <boost/url/parse.hpp>

#include <cstddef>
#include <cstdint>

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

HostReply send(beast::flat_buffer& buffer, const Target& target, http::request<http::string_body> request,
               std::chrono::steady_clock::duration timeout) {
    request.set(http::field::host, target.hostHeader);
    request.prepare_payload();
    DeadlineSocket socket(std::chrono::steady_clock::now() + timeout);
    beast::error_code error;
    socket.connect(target.endpoint, error);
    if (error) throw failure(target, error);
    http::write(socket, request, error);
    if (error) throw failure(target, error);

    // A buffer kept from one exchange to the next, so that reading costs no allocation; one
    // that a large answer (a picture) grew goes back to its usual size.
    buffer.clear();
    if (buffer.capacity() > kFirstReadBytes) buffer.shrink_to_fit();
    buffer.reserve(kFirstReadBytes);
    http::response_parser<http::string_body> parser;
    parser.body_limit(kBodyLimit);
    http::read(socket, buffer, parser, error);
    if (error) throw failure(target, error);

    auto response = parser.release();
    HostReply reply{static_cast<int>(response.result_int()), std::move(response.body()), std::nullopt};
    if (const auto launch = response.find(kLaunchHeader); launch != response.end()) {
        reply.launch = std::string(launch->value());
    }
    return reply;
}

}  // namespace

HostReply HTTPHostClient::post(const std::string& url, const Headers& headers, const std::string& body) {
    const auto target = targetOf(url);
    http::request<http::string_body> request(http::verb::post, target.path, 11);
    for (const auto& [name, value] : headers) request.set(name, value);
    request.body() = body;
    return send(buffer_, target, std::move(request), timeouts_.post);
}

void HTTPHostClient::probe(const std::string& url) {
    const auto target = targetOf(url);
    send(buffer_, target, http::request<http::string_body>(http::verb::post, target.path, 11), timeouts_.probe);
}

}  // namespace app
