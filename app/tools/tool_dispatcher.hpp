#pragma once

#include "mcp/catalogue/tool_content.hpp"
#include "mcp/json/value.hpp"

#include "platform/task.hpp"

#include <optional>
#include <string>
#include <vector>

namespace app {

// ToolDispatcher: where a tools/call request reaches the program's own behaviour. The
// per-request server hands it every call, on the main thread, and turns what it throws into a
// tool result flagged as an error with the exception's text (a ToolError's message).
class ToolDispatcher {
public:
    virtual ~ToolDispatcher() = default;

    // callTool: runs the tool `name` with its arguments ({} when the request had none) for the
    // client of the given display name (absent when the request named none), and gives the
    // result's content items. Main thread only.
    virtual platform::Task<std::vector<mcp::Tool::Content>> callTool(std::string name, mcp::ValueObject arguments,
                                                                      std::optional<std::string> client) = 0;
};

// NoToolDispatcher: a dispatcher that knows no tool: every call fails with the ToolError
// "Unknown tool " and the name as received.
class NoToolDispatcher final : public ToolDispatcher {
public:
    platform::Task<std::vector<mcp::Tool::Content>> callTool(std::string name, mcp::ValueObject arguments,
                                                              std::optional<std::string> client) override;
};

}  // namespace app
