#pragma once

#include "app/looking/guide_status.hpp"
#include "app/common/host_status.hpp"
#include "app/looking/looking.hpp"
#include "app/looking/pointer.hpp"
#include "app/tools/tool_dispatcher.hpp"
#include "app/looking/window_share.hpp"

#include "platform/scheduler.hpp"

#include <optional>
#include <string>
#include <vector>

namespace app {

// ToolCalls: the agent's three tools. Every call first resets the status box, whatever the
// tool and even when its arguments are refused; then the name is matched exactly:
// - look asks the user for a window (Looking::look) and gives the picture's facts as JSON
//   text and the picture as an image; a look that a five-minute share answered starts the
//   status box for the client;
// - point shows rings at the spots (Looking::point) and tells the agent what came of it, with
//   a fresh picture when the user finished while a five-minute share runs;
// - finish ends the sharing, forgets the picture, removes the rings and shows the agent's
//   closing words in the status box.
// Refusals are ToolErrors with the text the agent reads: "Unknown tool <name>", and those of
// the argument checks (app/tool_arguments.hpp) and of the flows, passed on unchanged.
//
// Main thread only. Keeps references to every service, which must outlive it.
class ToolCalls final : public ToolDispatcher {
public:
    struct Services {
        platform::Scheduler& main;
        // host: the last client's name, for calls that name none.
        HostStatus& host;
        GuideStatus& status;
        WindowShare& share;
        Pointer& pointer;
        Looking& looking;
    };

    explicit ToolCalls(Services services);

    platform::Task<std::vector<mcp::Tool::Content>> callTool(std::string name, mcp::ValueObject arguments,
                                                              std::optional<std::string> client) override;

private:
    platform::Task<std::vector<mcp::Tool::Content>> look(mcp::ValueObject arguments, std::string client);
    platform::Task<std::vector<mcp::Tool::Content>> point(mcp::ValueObject arguments, std::string client);
    std::vector<mcp::Tool::Content> finish(const mcp::ValueObject& arguments);
    mcp::ValueObject factsOf(const WindowShare::Picture& picture) const;

    Services services_;
};

}  // namespace app
