#include "app/tray/setup_prompt.hpp"

#include "app/tray/client_setup.hpp"
#include "app/host/connection_settings.hpp"

#include <string_view>

namespace app {

namespace {

constexpr std::string_view kOpening =
    "Please connect yourself to Vantor MCP, a local MCP server on this computer that lets you see one window "
    "that I choose to show you, and point at things in it.\n\n"
    "Add an MCP server named \"vantor-mcp\" to your own MCP configuration, using the format and config "
    "location your app expects:\n\n"
    "- Preferred, stdio: run the command ";

constexpr std::string_view kAfterCommand =
    " with the single argument --stdio.\n"
    "- Only if you can't launch commands, Streamable HTTP: URL ";

// "<token>" stays literal: the prompt travels through the agent's chat, which is no place for
// the token itself.
constexpr std::string_view kClosing =
    " with an \"Authorization: Bearer <token>\" header. Ask me for the token: it's under Manual Setup → "
    "Other app (HTTP) in the panel of the Vantor MCP tray icon.\n\n"
    "Keep every other server in the config as it is. Then tell me whether I need to restart the app or "
    "reload its MCP servers before the look tools show up.\n\n"
    "If you can't change your own settings, give me short step-by-step instructions for your app instead.";

}  // namespace

std::string setupPrompt(const platform::ProcessInfo& process, platform::Settings& settings) {
    std::string prompt(kOpening);
    prompt += shellQuoted(process.executablePath());
    prompt += kAfterCommand;
    prompt += endpointURL(settings);
    prompt += kClosing;
    return prompt;
}

}  // namespace app
