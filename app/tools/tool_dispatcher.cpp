#include "app/tools/tool_dispatcher.hpp"

#include "app/common/tool_error.hpp"

namespace app {

platform::Task<std::vector<mcp::Tool::Content>> NoToolDispatcher::callTool(std::string name, mcp::ValueObject,
                                                                            std::optional<std::string>) {
    throw ToolError("Unknown tool " + name);
    co_return std::vector<mcp::Tool::Content>();
}

}  // namespace app
