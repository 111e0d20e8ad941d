#pragma once

#include "platform/session/environment.hpp"

#include <chrono>
#include <string_view>

// The environment the user's service manager keeps for the user's services: where desktop
// sessions publish DISPLAY, XAUTHORITY, WAYLAND_DISPLAY and the XDG variables when they start,
// so that a program started from outside the session (by an AI app that passes only a few
// variables) can still find it.
namespace platform {

// How long the service manager may take to answer.
inline constexpr std::chrono::milliseconds kUserManagerLimit{1000};

// parseManagerEnvironment: the variables in the output of `systemctl --user
// show-environment`: one "NAME=value" per line, a value that needs quoting written as
// $'…' with backslash escapes (\n, \t, \\, \', octal \NNN and the like). Lines that are no
// such entry, and values whose quoting can't be read, are left out.
Environment parseManagerEnvironment(std::string_view output);

// userManagerEnvironment: asks the user's service manager for its environment by running
// `systemctl --user show-environment` (systemctl looked up on this process's PATH) with
// environment, which must tell it where the user's bus is (XDG_RUNTIME_DIR, or
// DBUS_SESSION_BUS_ADDRESS). Empty when there is no such manager (no systemd, none running for
// the user, a root session in a container) or it gives no answer within kUserManagerLimit.
// Never throws; blocks the calling thread.
Environment userManagerEnvironment(const Environment& environment);

}  // namespace platform
