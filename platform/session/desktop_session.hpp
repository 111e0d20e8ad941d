#pragma once

#include "platform/session/environment.hpp"

#include <filesystem>
#include <functional>
#include <optional>

namespace platform {

// SessionFolders: the base folders a program started in the desktop session is to use.
struct SessionFolders {
    // Its settings folder's base (XDG_CONFIG_HOME): always the starting process's own, so that
    // both read the same settings.
    std::filesystem::path config;
    // The system's runtime folder for the user (systemRuntimeFolder), used when neither the
    // starting process nor the session names one; none when there is none.
    std::optional<std::filesystem::path> systemRuntime;
};

// desktopSessionEnvironment: the environment in which a process whose own environment is own
// starts a program that needs the user's graphical session, as a desktop user expects from a
// program their AI app starts: own, and when own names no X display (DISPLAY unset or empty),
// the variables it lacks from the user's service manager (askManager, given own with
// XDG_RUNTIME_DIR filled in as below, so that it can find the user's bus). Then
// XDG_RUNTIME_DIR, when neither gave one, is folders.systemRuntime, and XDG_CONFIG_HOME is
// folders.config. None when neither own nor the manager names an X display: there is no
// session to start the program in. Throws what askManager throws.
std::optional<Environment> desktopSessionEnvironment(const Environment& own, const SessionFolders& folders,
                                                     const std::function<Environment(const Environment&)>& askManager);

}  // namespace platform
