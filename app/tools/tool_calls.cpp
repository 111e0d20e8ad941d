#include "app/tools/tool_calls.hpp"

#include "app/tools/tool_arguments.hpp"
#include "app/common/tool_error.hpp"
#include "app/tools/tool_results.hpp"

#include <utility>

namespace app {

ToolCalls::ToolCalls(Services services) : services_(services) {}

platform::Task<std::vector<mcp::Tool::Content>> ToolCalls::callTool(std::string name, mcp::ValueObject arguments,
                                                                     std::optional<std::string> client) {
    services_.status.reset();
    // Each flow is made as a named task before it is awaited: g++ 12 destroys temporaries
    // made inside a co_await expression twice.
    if (name == "look") {
        auto flow = look(std::move(arguments), services_.host.clientDisplayName(client));
        co_return co_await std::move(flow);
    }
    if (name == "point") {
        auto flow = point(std::move(arguments), services_.host.clientDisplayName(client));
        co_return co_await std::move(flow);
    }
    if (name == "finish") co_return finish(arguments);
    throw ToolError("Unknown tool " + name);
}

mcp::ValueObject ToolCalls::factsOf(const WindowShare::Picture& picture) const {
    return pictureFacts(picture, services_.share.sharing().get(), services_.main.now());
}

platform::Task<std::vector<mcp::Tool::Content>> ToolCalls::look(mcp::ValueObject arguments, std::string client) {
    auto reason = lookReason(arguments);
    auto looked = services_.looking.look(client, std::move(reason));
    const auto picture = co_await std::move(looked);
    const auto facts = factsOf(picture);
    if (facts.contains("shared_for_seconds")) services_.status.start(client);
    std::vector<mcp::Tool::Content> content;
    content.push_back(mcp::Tool::Content::text(jsonText(facts)));
    content.push_back(pictureItem(picture));
    co_return content;
}

platform::Task<std::vector<mcp::Tool::Content>> ToolCalls::point(mcp::ValueObject arguments, std::string client) {
    auto spots = pointSpots(arguments);
    auto message = optionalMessage(arguments);
    const bool wait = flag("wait", arguments);
    auto pointing = services_.looking.point(std::move(spots), std::move(message), wait, client);
    const auto pointed = co_await std::move(pointing);

    mcp::ValueObject result{
        {"pointing", true},
        {"stays", "until the user has clicked there or ticked it off"},
    };
    if (pointed.note) result.insertOrAssign("note", *pointed.note);
    if (pointed.stopped) {
        result.insertOrAssign("pointing", false);
        result.insertOrAssign("user", "stopped the sharing. The rings are gone. Don't look or point again unless they ask.");
    } else if (pointed.done == true) {
        result.insertOrAssign("user", "did it");
    } else if (pointed.done == false) {
        result.insertOrAssign(
            "user",
            "hasn't done it yet (or not all of it). Don't point again at once: say what's left, and let them tell you.");
    }

    std::vector<mcp::Tool::Content> content;
    if (pointed.picture) {
        // The point's own entries win; "pointing" in particular stays the Boolean.
        for (const auto& [key, value] : factsOf(*pointed.picture)) {
            if (!result.contains(key)) result.insertOrAssign(key, value);
        }
        content.push_back(mcp::Tool::Content::text(jsonText(result)));
        content.push_back(pictureItem(*pointed.picture));
        co_return content;
    }
    if (pointed.done == true) result.insertOrAssign("next", "call look to see the result");
    content.push_back(mcp::Tool::Content::text(jsonText(result)));
    co_return content;
}

std::vector<mcp::Tool::Content> ToolCalls::finish(const mcp::ValueObject& arguments) {
    auto message = optionalMessage(arguments);
    services_.share.endStream();
    services_.share.deactivatePicker();
    services_.share.forgetPicture();
    services_.pointer.clear();
    services_.status.finish(std::move(message));
    return {mcp::Tool::Content::text(jsonText({{"finished", true}, {"sharing", "ended"}}))};
}

}  // namespace app
