#include "platform/session/user_folders.hpp"

#include "platform/error.hpp"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace platform {

namespace {

// The value of an XDG variable that names a folder: the rules ignore a relative one.
std::optional<std::filesystem::path> absoluteVariable(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value != '/') return std::nullopt;
    return std::filesystem::path(value);
}

}  // namespace

std::filesystem::path userConfigFolder() {
    if (auto config = absoluteVariable("XDG_CONFIG_HOME")) return *config;
    const char* home = std::getenv("HOME");
    if (home == nullptr || *home == '\0') {
        const passwd* user = ::getpwuid(::geteuid());
        home = user ? user->pw_dir : nullptr;
    }
    if (home == nullptr || *home == '\0') throw Error("Can't find the home folder for the settings");
    return std::filesystem::path(home) / ".config";
}

std::optional<std::filesystem::path> systemRuntimeFolder(uid_t uid, const std::filesystem::path& base) {
    auto folder = base / std::to_string(uid);
    struct stat info {};
    if (::lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != uid) return std::nullopt;
    return folder;
}

std::optional<std::filesystem::path> userRuntimeFolder() {
    if (auto runtime = absoluteVariable("XDG_RUNTIME_DIR")) return runtime;
    return systemRuntimeFolder(::geteuid());
}

}  // namespace platform
