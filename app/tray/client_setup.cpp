#include "app/tray/client_setup.hpp"

#include "app/bridge/command_line.hpp"
#include "app/host/connection_settings.hpp"
#include "mcp/json/json.hpp"
#include "mcp/json/value.hpp"

#include <unicode/utf8.h>

#include <algorithm>
#include <cstdint>
#include <exception>

namespace app {

namespace {

// The server's name in every client's configuration (also in the command-line prefixes).
constexpr std::string_view kServerKey = "vantor-mcp";

enum class Form { commandLine, mcpServersJSON, vsCodeJSON, urlAndHeader };

struct Row {
    ClientSetup::Case value;
    std::string_view rawValue;
    std::string_view title;
    std::string_view hint;
    Form form;
    // For the command-line form: what comes before the bridge command.
    std::string_view commandPrefix = {};
};

constexpr Row kRows[] = {
    {ClientSetup::claudeCode, "claudeCode", "Claude Code", "Run this in a terminal.", Form::commandLine,
     "claude mcp add --scope user vantor-mcp -- "},
    {ClientSetup::claudeDesktop, "claudeDesktop", "Claude Desktop",
     "Add to claude_desktop_config.json (Settings → Developer → Edit Config), then restart Claude.",
     Form::mcpServersJSON},
    {ClientSetup::codex, "codex", "Codex CLI", "Run this in a terminal.", Form::commandLine,
     "codex mcp add vantor-mcp -- "},
    {ClientSetup::geminiCLI, "geminiCLI", "Gemini CLI", "Add to ~/.gemini/settings.json.", Form::mcpServersJSON},
    {ClientSetup::cursor, "cursor", "Cursor", "Add to ~/.cursor/mcp.json.", Form::mcpServersJSON},
    {ClientSetup::vsCode, "vsCode", "VS Code",
     "Add to .vscode/mcp.json in your workspace, or run “MCP: Open User Configuration”.", Form::vsCodeJSON},
    {ClientSetup::windsurf, "windsurf", "Windsurf", "Add to ~/.codeium/windsurf/mcp_config.json.",
     Form::mcpServersJSON},
    {ClientSetup::otherHTTP, "otherHTTP", "Other app (HTTP)",
     "For apps that connect to a Streamable HTTP MCP server. Send the token as an Authorization header.",
     Form::urlAndHeader},
    {ClientSetup::otherCommand, "otherCommand", "Other app (command)",
     "For apps that launch an MCP server as a command (stdio). No token needed.", Form::commandLine},
};

constexpr bool rowsFollowTheCases() {
    for (std::size_t i = 0; i < std::size(kRows); ++i) {
        if (static_cast<std::size_t>(kRows[i].value) != i) return false;
    }
    return std::size(kRows) == ClientSetup::allCases().size();
}
static_assert(rowsFollowTheCases(), "kRows must list every case in the order of ClientSetup::Case");

const Row& rowOf(ClientSetup setup) {
    return kRows[setup.value()];
}

bool isUTF8(std::string_view text) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    const auto length = static_cast<std::int32_t>(text.size());
    for (std::int32_t i = 0; i < length;) {
        UChar32 c;
        U8_NEXT(bytes, i, length, c);
        if (c < 0) return false;
    }
    return true;
}

// The JSON configuration block that starts the bridge; "{}" when it can't be written.
std::string bridgeJSON(const std::string& path, Form form) {
    // A path that isn't UTF-8 can't be written as a JSON string without changing it, and a
    // changed path would start nothing.
    if (!isUTF8(path)) return "{}";
    mcp::Value::Object server{{"args", mcp::Value::Array{std::string(kStdioArgument)}}, {"command", path}};
    if (form == Form::vsCodeJSON) server.insertOrAssign("type", "stdio");
    const std::string_view rootKey = form == Form::vsCodeJSON ? "servers" : "mcpServers";
    const mcp::Value root = mcp::Value::Object{{std::string(rootKey), mcp::Value::Object{{std::string(kServerKey), std::move(server)}}}};
    try {
        return mcp::writePrettyJSON(root);
    } catch (const std::exception&) {
        return "{}";
    }
}

}  // namespace

std::optional<ClientSetup> ClientSetup::fromRawValue(std::string_view raw) {
    const auto* row = std::find_if(std::begin(kRows), std::end(kRows), [&](const Row& r) { return r.rawValue == raw; });
    if (row == std::end(kRows)) return std::nullopt;
    return ClientSetup(row->value);
}

std::string_view ClientSetup::rawValue() const {
    return rowOf(*this).rawValue;
}

std::string_view ClientSetup::title() const {
    return rowOf(*this).title;
}

std::string_view ClientSetup::hint() const {
    return rowOf(*this).hint;
}

std::string ClientSetup::settings(const platform::ProcessInfo& process, platform::Settings& store,
                                  platform::SecureRandom& random) const {
    const Row& row = rowOf(*this);
    switch (row.form) {
        case Form::commandLine:
            return std::string(row.commandPrefix) + shellQuoted(process.executablePath()) + " " +
                   std::string(kStdioArgument);
        case Form::mcpServersJSON:
        case Form::vsCodeJSON:
            return bridgeJSON(process.executablePath(), row.form);
        case Form::urlAndHeader:
            return "URL: " + endpointURL(store) + "\nHeader: Authorization: Bearer " + accessToken(store, random);
    }
    return {};
}

std::string shellQuoted(std::string_view text) {
    std::string quoted = "'";
    for (const char c : text) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    quoted += '\'';
    return quoted;
}

}  // namespace app
