#include "platform/linux_process_info.hpp"

#include <unistd.h>

#include <filesystem>
#include <system_error>

namespace platform {

namespace {

// The kernel marks the link of an executable that was replaced or removed since it started,
// as a package upgrade does; the path itself is still where the program lives.
constexpr std::string_view kDeletedMark = " (deleted)";

}  // namespace

int LinuxProcessInfo::ownPID() const {
    return static_cast<int>(::getpid());
}

std::string LinuxProcessInfo::executablePath() const {
    std::error_code error;
    auto path = std::filesystem::read_symlink("/proc/self/exe", error).string();
    if (error || path.empty() || path.front() != '/') return std::string(kFallbackExecutablePath);
    if (path.ends_with(kDeletedMark)) path.resize(path.size() - kDeletedMark.size());
    return path;
}

std::string LinuxProcessInfo::appVersion() const {
    return VANTOR_VERSION;
}

}  // namespace platform
