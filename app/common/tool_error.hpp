#pragma once

#include <stdexcept>
#include <string>

namespace app {

// ToolError: a tool call that can't be done, with the text the agent reads in the tool result
// (flagged isError): a whole sentence that says what to do next. Thrown by the tool calls'
// argument checks and by their flows; never a JSON-RPC error.
class ToolError : public std::runtime_error {
public:
    explicit ToolError(const std::string& message) : std::runtime_error(message) {}

    std::string message() const { return what(); }
};

}  // namespace app
