#pragma once

#include "mcp/protocol/server_capabilities.hpp"

#include <string_view>

// How the program presents itself to the agent: the same for every request of a process.
namespace app {

inline constexpr std::string_view kServerName = "vantor-mcp";
inline constexpr std::string_view kServerTitle = "Vantor MCP";

// kServerInstructions: what the agent is told in the initialize answer about working with the
// user through look, point and finish: six paragraphs joined by blank lines.
extern const std::string_view kServerInstructions;

// serverCapabilities: tools only, announcing list changes (a restarted program's bridge says
// the list changed); no completions, logging, prompts or resources.
mcp::ServerCapabilities serverCapabilities();

}  // namespace app
