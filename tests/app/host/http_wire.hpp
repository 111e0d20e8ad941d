#pragma once

// A blocking HTTP/1.1 client over a raw loopback socket, for tests of the host: it sends
// exactly the bytes given, so malformed and partial requests can be sent as well, and reads
// whatever comes back until the host closes the connection.

#include "mcp/http/http_request.hpp"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

namespace app::testing {

class WireConnection {
public:
    explicit WireConnection(std::uint16_t port) : fd_(::socket(AF_INET, SOCK_STREAM, 0)) {
        if (fd_ < 0) throw std::runtime_error("socket failed");
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            ::close(fd_);
            throw std::runtime_error("connect failed");
        }
    }
    WireConnection(WireConnection&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    WireConnection(const WireConnection&) = delete;
    WireConnection& operator=(const WireConnection&) = delete;
    ~WireConnection() {
        if (fd_ >= 0) ::close(fd_);
    }

    // send: writes all of bytes; false when the host has closed the connection.
    bool send(std::string_view bytes) {
        while (!bytes.empty()) {
            const auto sent = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
            if (sent <= 0) return false;
            bytes.remove_prefix(static_cast<std::size_t>(sent));
        }
        return true;
    }

    // finishSending: tells the host that nothing more will come.
    void finishSending() { ::shutdown(fd_, SHUT_WR); }

    struct Received {
        std::string bytes;
        // True when the host closed the connection, false when the time-out passed first.
        bool closed = false;
    };

    // receiveAll: reads until the host closes the connection or timeout passes.
    Received receiveAll(std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
        Received received;
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        char buffer[65536];
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) return received;
            timeval wait{static_cast<time_t>(left.count() / 1'000'000), static_cast<suseconds_t>(left.count() % 1'000'000)};
            ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
            const auto count = ::recv(fd_, buffer, sizeof buffer, 0);
            if (count > 0) {
                received.bytes.append(buffer, static_cast<std::size_t>(count));
                continue;
            }
            if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) continue;
            received.closed = true;
            return received;
        }
    }

private:
    int fd_;
};

// Reply: an HTTP reply as the host wrote it.
struct Reply {
    std::string statusLine;
    int status = 0;
    mcp::HTTPHeaders headers;
    std::string body;

    std::optional<std::string> header(std::string_view name) const {
        return mcp::HTTPRequest{"", headers, std::nullopt, std::nullopt}.header(name);
    }
};

// parseReply: the reply in bytes; absent when they hold no complete head.
inline std::optional<Reply> parseReply(const std::string& bytes) {
    const auto headEnd = bytes.find("\r\n\r\n");
    if (headEnd == std::string::npos) return std::nullopt;
    Reply reply;
    std::string_view head(bytes.data(), headEnd);
    auto lineEnd = head.find("\r\n");
    reply.statusLine = std::string(head.substr(0, lineEnd));
    if (reply.statusLine.size() >= 12) reply.status = std::stoi(reply.statusLine.substr(9, 3));
    while (lineEnd != std::string_view::npos) {
        head.remove_prefix(lineEnd + 2);
        lineEnd = head.find("\r\n");
        const auto line = head.substr(0, lineEnd);
        const auto colon = line.find(": ");
        if (colon != std::string_view::npos) reply.headers.emplace_back(line.substr(0, colon), line.substr(colon + 2));
    }
    reply.body = bytes.substr(headEnd + 4);
    return reply;
}

// exchange: sends request on a new connection and reads until the host closes it.
inline WireConnection::Received exchange(std::uint16_t port, std::string_view request,
                                         std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
    WireConnection connection(port);
    connection.send(request);
    return connection.receiveAll(timeout);
}

// post: the bytes of a POST to /mcp with a JSON body, the usual headers and `extra` ones
// (each a whole header line without its line end).
inline std::string post(std::string_view body, std::string_view extra = {}) {
    std::string bytes = "POST /mcp HTTP/1.1\r\nHost: 127.0.0.1:47293\r\nAccept: application/json, text/event-stream\r\n"
                        "Content-Type: application/json\r\nContent-Length: " +
                        std::to_string(body.size()) + "\r\n";
    if (!extra.empty()) {
        bytes += extra;
        bytes += "\r\n";
    }
    bytes += "\r\n";
    bytes += body;
    return bytes;
}

}  // namespace app::testing
