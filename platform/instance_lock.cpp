#include "platform/instance_lock.hpp"

#include "platform/detail/private_folder.hpp"
#include "platform/error.hpp"
#include "platform/ini_settings.hpp"
#include "platform/session/user_folders.hpp"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <utility>

namespace platform {

namespace {

constexpr std::string_view kLockFileName = "vantor-mcp.lock";

}  // namespace

std::optional<InstanceLock> InstanceLock::tryAcquire(const std::filesystem::path& file) {
    detail::makePrivateFolder(file.parent_path());
    const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) throw errnoError("Can't open " + file.string(), errno);
    InstanceLock lock(fd);
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EWOULDBLOCK) return std::nullopt;
        if (errno != EINTR) throw errnoError("Can't lock " + file.string(), errno);
    }
    return lock;
}

InstanceLock::InstanceLock(InstanceLock&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

InstanceLock& InstanceLock::operator=(InstanceLock&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

InstanceLock::~InstanceLock() {
    if (fd_ >= 0) ::close(fd_);
}

std::filesystem::path defaultInstanceLockFile() {
    if (auto runtime = userRuntimeFolder()) return *runtime / kLockFileName;
    return defaultSettingsFile().parent_path() / kLockFileName;
}

}  // namespace platform
