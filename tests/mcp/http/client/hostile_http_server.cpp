#include "tests/mcp/http/client/hostile_http_server.hpp"

#include "net/header_map.hpp"

#include <boost/asio/as_tuple.hpp>
#include <boost/asio/co_spawn.hpp>
#include <boost/asio/detached.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/use_awaitable.hpp>
#include <boost/asio/write.hpp>

#include <algorithm>
#include <array>
#include <charconv>
#include <mutex>
#include <thread>
#include <utility>

namespace mcp::testing {

namespace asio = boost::asio;
using asio::ip::tcp;

namespace {

constexpr auto kAwait = asio::as_tuple(asio::use_awaitable);
constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kHeadEnd = "\r\n\r\n";

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

// The request line and the fields of `head`, split at CR LF and nothing else.
HostileRequest readHead(std::string_view head) {
    HostileRequest request;
    bool first = true;
    while (!head.empty()) {
        const auto end = std::min(head.find(kLineEnd), head.size());
        const auto line = head.substr(0, end);
        head.remove_prefix(std::min(end + kLineEnd.size(), head.size()));
        if (first) {
            first = false;
            const auto space = line.find(' ');
            request.method = std::string(line.substr(0, space));
            const auto rest = space == std::string_view::npos ? std::string_view() : line.substr(space + 1);
            request.target = std::string(rest.substr(0, rest.find(' ')));
            continue;
        }
        const auto colon = line.find(':');
        if (colon == std::string_view::npos) continue;
        request.headers.emplace_back(std::string(line.substr(0, colon)), std::string(trimmed(line.substr(colon + 1))));
    }
    return request;
}

std::size_t contentLength(const HostileRequest& request) {
    const auto value = request.header("Content-Length");
    std::size_t length = 0;
    if (value) std::from_chars(value->data(), value->data() + value->size(), length);
    return length;
}

HostileReply withHead(std::string_view statusLine, std::string_view fields, std::string_view body) {
    return HostileReply{.raw = "HTTP/1.1 " + std::string(statusLine) + "\r\n" + std::string(fields) +
                               "Connection: close\r\n\r\n" + std::string(body)};
}

}  // namespace

std::optional<std::string> HostileRequest::header(std::string_view name) const {
    for (const auto& [field, value] : headers) {
        if (net::sameFieldName(field, name)) return value;
    }
    return std::nullopt;
}

HostileReply HostileReply::json(std::string_view body) {
    return withHead("200 OK", "Content-Type: application/json\r\nContent-Length: " + std::to_string(body.size()) + "\r\n",
                    body);
}

HostileReply HostileReply::eventStream(std::string_view events) {
    return withHead("200 OK", "Content-Type: text/event-stream\r\n", events);
}

HostileReply HostileReply::status(int status) {
    return withHead(std::to_string(status) + " Hostile", "Content-Length: 0\r\n", "");
}

struct HostileHTTPServer::State {
    explicit State(Script script_)
        : script(std::move(script_)), acceptor(io, tcp::endpoint(asio::ip::make_address("127.0.0.1"), 0)) {}

    Script script;
    asio::io_context io;
    tcp::acceptor acceptor;
    std::thread thread;

    mutable std::mutex mutex;
    std::string received;
    std::vector<HostileRequest> requests;

    asio::awaitable<void> accept() {
        while (true) {
            auto [error, socket] = co_await acceptor.async_accept(kAwait);
            if (error) co_return;
            asio::co_spawn(io, serve(std::move(socket)), asio::detached);
        }
    }

    // Reads more of the connection into `buffer`, keeping a copy; false once it has ended.
    asio::awaitable<bool> readMore(tcp::socket& socket, std::string& buffer) {
        std::array<char, 4096> chunk{};
        auto [error, count] = co_await socket.async_read_some(asio::buffer(chunk), kAwait);
        if (error) co_return false;
        const std::string_view bytes(chunk.data(), count);
        buffer += bytes;
        std::lock_guard lock(mutex);
        received += bytes;
        co_return true;
    }

    // Answers the first request of the connection; later ones (smuggled in its bytes, say)
    // are only recorded, and the connection is read until the client closes it.
    asio::awaitable<void> serve(tcp::socket socket) {
        std::string buffer;
        bool answered = false;
        while (true) {
            const auto headEnd = buffer.find(kHeadEnd);
            if (headEnd == std::string::npos) {
                if (!co_await readMore(socket, buffer)) co_return;
                continue;
            }
            HostileRequest request = readHead(std::string_view(buffer).substr(0, headEnd));
            const std::size_t bodyStart = headEnd + kHeadEnd.size();
            const std::size_t length = contentLength(request);
            while (buffer.size() < bodyStart + length) {
                if (!co_await readMore(socket, buffer)) co_return;
            }
            request.body = buffer.substr(bodyStart, length);
            buffer.erase(0, bodyStart + length);
            {
                std::lock_guard lock(mutex);
                requests.push_back(request);
            }
            if (std::exchange(answered, true)) continue;
            const HostileReply reply = script(request);
            if (reply.hang) continue;
            co_await asio::async_write(socket, asio::buffer(reply.raw), kAwait);
            boost::system::error_code ignored;
            socket.shutdown(tcp::socket::shutdown_send, ignored);
        }
    }
};

HostileHTTPServer::HostileHTTPServer(Script script) : state_(std::make_shared<State>(std::move(script))) {
    port_ = state_->acceptor.local_endpoint().port();
    asio::co_spawn(state_->io, state_->accept(), asio::detached);
    state_->thread = std::thread([state = state_] { state->io.run(); });
}

HostileHTTPServer::~HostileHTTPServer() {
    state_->io.stop();
    state_->thread.join();
}

std::string HostileHTTPServer::url(std::string_view path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

std::string HostileHTTPServer::received() const {
    std::lock_guard lock(state_->mutex);
    return state_->received;
}

std::vector<HostileRequest> HostileHTTPServer::requests() const {
    std::lock_guard lock(state_->mutex);
    return state_->requests;
}

}  // namespace mcp::testing
