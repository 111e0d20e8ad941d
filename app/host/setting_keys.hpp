#pragma once

#include <string_view>

// The keys of the program's settings store (platform::Settings), declared once.
namespace app::setting {

// TCP port of the local endpoint; absent or 0 means kDefaultPort (connection_settings.hpp).
inline constexpr std::string_view kPort = "port";
// The access token; made and stored on its first read.
inline constexpr std::string_view kToken = "token";
// Set once an AI client has reached the program.
inline constexpr std::string_view kHasConnectedClient = "hasConnectedClient";
// Set once the welcome window has been seen.
inline constexpr std::string_view kHasSeenWelcome = "hasSeenWelcome";
// The client app last chosen in the panel's connect section (a ClientSetup raw value).
inline constexpr std::string_view kConnectClient = "connectClient";
// Which part of the panel's connect section was last open.
inline constexpr std::string_view kConnectSection = "connectSection";

}  // namespace app::setting
