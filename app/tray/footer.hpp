#pragma once

#include <string>
#include <string_view>

// The texts of the panel's footer, its update check and its About dialog.
namespace app::footer {

inline constexpr std::string_view kSetupGuide = "Setup Guide\u2026";
inline constexpr std::string_view kCheckForUpdates = "Check for Updates\u2026";
inline constexpr std::string_view kAbout = "About Vantor MCP";
inline constexpr std::string_view kQuit = "Quit Vantor MCP";
// The Quit row's accessory: the key that quits, as the desktop writes it.
inline constexpr std::string_view kQuitKey = "Ctrl+Q";

// The About dialog's last credits paragraph.
inline constexpr std::string_view kPrivacyNote =
    "Your AI sees only the window you pick, and only when you pick it. It can point, but it can't click or type.";

// The update check's title.
inline constexpr std::string_view kUpdateTitle = "Check for Updates";

// updateMessage: what "Check for Updates…" tells: the program doesn't update itself; which
// version runs and where updates come from.
std::string updateMessage(std::string_view version);

}  // namespace app::footer
