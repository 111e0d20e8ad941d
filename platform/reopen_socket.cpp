#include "platform/reopen_socket.hpp"

#include "platform/error.hpp"

#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <optional>
#include <string_view>
#include <utility>

namespace platform {

namespace {

constexpr std::string_view kSocketFileName = "vantor-mcp.sock";
constexpr std::string_view kReopen = "reopen";
constexpr std::string_view kBridgeStart = "reopen-by-bridge";

std::optional<sockaddr_un> socketAddress(const std::filesystem::path& file) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const auto& path = file.native();
    if (path.empty() || path.size() >= sizeof(address.sun_path)) return std::nullopt;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return address;
}

}  // namespace

ReopenListener ReopenListener::bind(const std::filesystem::path& file) {
    const auto address = socketAddress(file);
    if (!address) throw Error("Can't listen on " + file.string() + ": the path is too long for a socket");
    const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) throw errnoError("Can't make a socket for " + file.string(), errno);
    // The lock's holder owns the name: a file left there by an instance that ended goes.
    ::unlink(file.c_str());
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&*address), sizeof(*address)) != 0) {
        const int error = errno;
        ::close(fd);
        throw errnoError("Can't listen on " + file.string(), error);
    }
    return ReopenListener(fd, file);
}

ReopenListener::ReopenListener(ReopenListener&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), file_(std::move(other.file_)) {}

ReopenListener& ReopenListener::operator=(ReopenListener&& other) noexcept {
    if (this != &other) {
        this->~ReopenListener();
        fd_ = std::exchange(other.fd_, -1);
        file_ = std::move(other.file_);
    }
    return *this;
}

ReopenListener::~ReopenListener() {
    if (fd_ < 0) return;
    ::close(fd_);
    ::unlink(file_.c_str());
}

Reopens ReopenListener::takeReopens() {
    Reopens reopens;
    char message[64];
    for (;;) {
        const auto received = ::recv(fd_, message, sizeof(message), 0);
        if (received < 0) {
            if (errno == EINTR) continue;
            return reopens;
        }
        const std::string_view text(message, static_cast<std::size_t>(received));
        if (text == kReopen) ++reopens.byUser;
        if (text == kBridgeStart) ++reopens.byBridge;
    }
}

bool sendReopen(const std::filesystem::path& file, ReopenKind kind) noexcept {
    const auto address = socketAddress(file);
    if (!address) return false;
    const auto message = kind == ReopenKind::user ? kReopen : kBridgeStart;
    const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    ssize_t sent = -1;
    do {
        sent = ::sendto(fd, message.data(), message.size(), MSG_DONTWAIT | MSG_NOSIGNAL,
                        reinterpret_cast<const sockaddr*>(&*address), sizeof(*address));
    } while (sent < 0 && errno == EINTR);
    ::close(fd);
    return sent == static_cast<ssize_t>(message.size());
}

std::filesystem::path reopenSocketFile(const std::filesystem::path& lockFile) {
    return lockFile.parent_path() / kSocketFileName;
}

}  // namespace platform
