#include "app/tray/setup_prompt.hpp"

#include "app/host/setting_keys.hpp"

#include "platform/fake/fixed_process_info.hpp"
#include "platform/fake/memory_settings.hpp"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace app {
namespace {

// The prompt word for word, with the executable's quoted path and the endpoint put in.
std::string expectedPrompt(std::string_view quotedPath, std::string_view endpoint) {
    return std::string(
               "Please connect yourself to Vantor MCP, a local MCP server on this computer that lets you see "
               "one window that I choose to show you, and point at things in it.\n"
               "\n"
               "Add an MCP server named \"vantor-mcp\" to your own MCP configuration, using the format and "
               "config location your app expects:\n"
               "\n"
               "- Preferred, stdio: run the command ") +
           std::string(quotedPath) +
           " with the single argument --stdio.\n"
           "- Only if you can't launch commands, Streamable HTTP: URL " +
           std::string(endpoint) +
           " with an \"Authorization: Bearer <token>\" header. Ask me for the token: it's under Manual "
           "Setup → Other app (HTTP) in the panel of the Vantor MCP tray icon.\n"
           "\n"
           "Keep every other server in the config as it is. Then tell me whether I need to restart the app "
           "or reload its MCP servers before the look tools show up.\n"
           "\n"
           "If you can't change your own settings, give me short step-by-step instructions for your app "
           "instead.";
}

TEST(SetupPrompt, SpellsOutTheCommandAndTheEndpoint) {
    constexpr struct {
        std::string_view name, path, port, quoted, endpoint;
    } kCases[] = {
        {"default port", "/usr/bin/vantor-mcp", "", "'/usr/bin/vantor-mcp'", "http://127.0.0.1:47293/mcp"},
        {"port 0 is the default", "/opt/vantor/vantor-mcp", "0", "'/opt/vantor/vantor-mcp'",
         "http://127.0.0.1:47293/mcp"},
        {"port setting", "/usr/bin/vantor-mcp", "50123", "'/usr/bin/vantor-mcp'", "http://127.0.0.1:50123/mcp"},
        {"single quote in the path", "/home/o'neil/App", "", "'/home/o'\\''neil/App'", "http://127.0.0.1:47293/mcp"},
        {"spaces in the path", "/home/me/Vantor MCP/vantor-mcp", "", "'/home/me/Vantor MCP/vantor-mcp'",
         "http://127.0.0.1:47293/mcp"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        platform::MemorySettings settings;
        if (!c.port.empty()) settings.setString(setting::kPort, c.port);
        const platform::FixedProcessInfo process{std::string(c.path)};
        EXPECT_EQ(setupPrompt(process, settings), expectedPrompt(c.quoted, c.endpoint));
    }
}

TEST(SetupPrompt, NamesTheInstalledPathWhenTheProgramCantTellItsOwn) {
    platform::MemorySettings settings;
    const platform::FixedProcessInfo process;  // reports the fallback path, as the real one then does
    EXPECT_EQ(setupPrompt(process, settings), expectedPrompt("'/usr/bin/vantor-mcp'", "http://127.0.0.1:47293/mcp"));
}

TEST(SetupPrompt, NeverHoldsTheAccessTokenNorMakesOne) {
    platform::MemorySettings settings;
    const std::string token(48, 'a');
    settings.setString(setting::kToken, token);
    const platform::FixedProcessInfo process;
    const auto prompt = setupPrompt(process, settings);
    EXPECT_EQ(prompt.find(token), std::string::npos);
    EXPECT_NE(prompt.find("Bearer <token>"), std::string::npos);

    platform::MemorySettings fresh;
    (void)setupPrompt(process, fresh);
    EXPECT_FALSE(fresh.getString(setting::kToken).has_value()) << "the prompt doesn't make a token";
}

}  // namespace
}  // namespace app
