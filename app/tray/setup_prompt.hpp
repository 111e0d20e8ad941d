#pragma once

#include "platform/process_info.hpp"
#include "platform/settings.hpp"

#include <string>

namespace app {

// setupPrompt: the message the user pastes into an AI agent so that it adds this program to its
// own MCP configuration: the bridge command (the running executable's path, shell-quoted) first,
// the HTTP endpoint as the fallback. Built anew on every call from the current port setting.
// It never holds the access token: it names the place in the panel where the user finds it.
// Throws platform::Error when the settings can't be read.
std::string setupPrompt(const platform::ProcessInfo& process, platform::Settings& settings);

}  // namespace app
