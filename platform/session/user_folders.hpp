#pragma once

#include <sys/types.h>

#include <filesystem>
#include <optional>

// The user's base folders as the XDG base directory rules give them. The bridge and the
// program both find their settings, lock and reopen socket through these, so that a program
// the bridge starts, one the desktop starts and the bridge itself agree on them whatever
// environment each was started with.
namespace platform {

// userConfigFolder: XDG_CONFIG_HOME when it is an absolute path, else "$HOME/.config" (the home
// folder from the password database when HOME is unset or empty). Throws platform::Error when
// no home folder can be found.
std::filesystem::path userConfigFolder();

// systemRuntimeFolder: the runtime folder the system makes for a user who is logged in,
// "<base>/<uid>", when it exists, is a folder (not a link to one) and belongs to uid; none
// otherwise. base is "/run/user" but for tests.
std::optional<std::filesystem::path> systemRuntimeFolder(uid_t uid,
                                                         const std::filesystem::path& base = "/run/user");

// userRuntimeFolder: XDG_RUNTIME_DIR when it is an absolute path, else systemRuntimeFolder of
// this process's effective user; none when neither is there.
std::optional<std::filesystem::path> userRuntimeFolder();

}  // namespace platform
