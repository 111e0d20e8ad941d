#pragma once

#include <string_view>

// The host's own HTTP headers, shared by the host and the --stdio bridge.
namespace app {

// Request: the AI client's display name, percent-encoded.
inline constexpr std::string_view kClientHeader = "X-Vantor-MCP-Client";
// Response: the launch identifier of the running program, the same for all its answers.
inline constexpr std::string_view kLaunchHeader = "X-Vantor-MCP-Launch";

}  // namespace app
