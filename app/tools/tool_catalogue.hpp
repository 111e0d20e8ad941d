#pragma once

#include "mcp/catalogue/tool.hpp"

#include <vector>

namespace app {

// toolList: the tools the agent sees in tools/list: look, point and finish, in this order,
// with the descriptions that teach the agent to use them, their input schemas ("type",
// "properties" and "required", present even when empty; no property carries a description)
// and their hints (look is read-only; none is open-world). No tool has a title, icons, an
// output schema or _meta, and no annotations carry a title, destructive or idempotent hint.
//
// Made on the first call, once per process even when several threads ask at once; every
// caller gets the same list. Any thread.
const std::vector<mcp::Tool>& toolList();

}  // namespace app
