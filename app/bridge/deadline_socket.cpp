#include "app/bridge/deadline_socket.hpp"

#include <boost/asio/error.hpp>
#include <boost/beast/core/error.hpp>

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>

namespace app {

namespace {

boost::system::error_code lastError() {
    return {errno, boost::system::system_category()};
}

}  // namespace

DeadlineSocket::~DeadlineSocket() {
    if (fd_ >= 0) ::close(fd_);
}

void DeadlineSocket::connect(const boost::asio::ip::tcp::endpoint& endpoint, boost::system::error_code& error) {
    error = {};
    fd_ = ::socket(endpoint.protocol().family(), SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd_ < 0) {
        error = lastError();
        return;
    }
    // Over loopback the handshake is over (or refused) before connect returns; when it isn't,
    // the first write waits for it, and reports its failure.
    if (::connect(fd_, endpoint.data(), static_cast<socklen_t>(endpoint.size())) != 0 && errno != EINPROGRESS) {
        error = lastError();
    }
}

std::size_t DeadlineSocket::transfer(IOVectors& vectors, bool sending, boost::system::error_code& error) {
    error = {};
    if (vectors.bytes == 0) return 0;
    msghdr message{};
    message.msg_iov = vectors.entries;
    message.msg_iovlen = static_cast<std::size_t>(vectors.count);
    // An answer is never there the moment it is asked for, and a write almost always fits:
    // a read waits first, a write tries first.
    if (!sending && !wait(POLLIN, error)) return 0;
    for (;;) {
        const auto count = sending ? ::sendmsg(fd_, &message, MSG_NOSIGNAL) : ::recvmsg(fd_, &message, 0);
        if (count > 0 || (count == 0 && sending)) return static_cast<std::size_t>(count);
        if (count == 0) {
            error = boost::asio::error::eof;
            return 0;
        }
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) {
            error = lastError();
            return 0;
        }
        if (!wait(sending ? POLLOUT : POLLIN, error)) return 0;
    }
}

bool DeadlineSocket::wait(short events, boost::system::error_code& error) {
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline_ - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            error = boost::beast::error::timeout;
            return false;
        }
        pollfd ready{fd_, events, 0};
        const int count = ::poll(&ready, 1, static_cast<int>(std::min<std::int64_t>(left.count(), 60'000)));
        if (count > 0) return true;
        if (count < 0 && errno != EINTR) {
            error = lastError();
            return false;
        }
    }
}

}  // namespace app
