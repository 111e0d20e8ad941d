#pragma once

// One HTTP exchange over loopback as the host's benchmarks make them: a new connection to
// 127.0.0.1:port, the request's bytes, then everything read until the server closes it.
// Plain blocking sockets, so that the client costs far less than the server it measures.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace bench {

// Fills reply with what the server sent; false when connecting or sending failed.
inline bool exchangeOverLoopback(std::uint16_t port, std::string_view request, std::string& reply) {
    reply.clear();
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return false;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
                    ::send(fd, request.data(), request.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(request.size());
    char buffer[16384];
    for (ssize_t count = 0; ok && (count = ::recv(fd, buffer, sizeof buffer, 0)) > 0;) {
        reply.append(buffer, static_cast<std::size_t>(count));
    }
    ::close(fd);
    return ok;
}

}  // namespace bench
