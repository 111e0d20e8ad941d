#include "app/tools/tool_catalogue.hpp"

#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>

namespace app {

namespace {

using Object = mcp::Value::Object;
using Array = mcp::Value::Array;

constexpr std::string_view kLookDescription =
    "Ask the user to show you one window of their computer and get a picture of it. They pick the "
    "window themselves (or decline); you see nothing else. reason: one short sentence shown to the "
    "user, saying what you want to see and why. Returns the picture, the app's name, the window's "
    "title and the picture's size in pixels. If the user kept the window shared with you after an "
    "earlier look, you get its current picture without them being asked.";

constexpr std::string_view kPointDescription =
    "Show the user where to click or type in the window from your last look. A ring appears at each "
    "spot on their screen, with your label next to it, and stays until they've clicked there (at "
    "most a minute; three when there's text to enter). New rings replace old ones. It doesn't click "
    "or type. x, y: the spot in the picture's pixels, counted from its top left corner. label: a few "
    "words, e.g. \"Click Export\". text: the exact text to enter there, if any, shown with a Copy "
    "button. spots: several at once, each with x, y and optionally label and text, numbered in the "
    "order given (use it for the fields of a form; leave out x and y then). wait: true to return "
    "only once the user has done it (up to two minutes), with the window's new picture if it's kept "
    "shared. message: one short sentence for the user, shown in the status box on their screen. "
    "The window's app comes to the front. A note in the result means the ring may be hidden.";

constexpr std::string_view kFinishDescription =
    "Tell the user you're done guiding them: the status box on their screen shows your closing "
    "words for a moment, the rings go, and the window is no longer shared. Call it when the task is "
    "done or you've nothing more to point at, before your final answer. message: a few closing "
    "words, e.g. \"Done: the app is created.\"";

mcp::Value typed(std::string_view type) {
    return Object{{"type", std::string(type)}};
}

// An object schema: its properties in the given order, and the names it requires.
mcp::Value objectSchema(std::initializer_list<std::pair<std::string_view, mcp::Value>> properties,
                        std::initializer_list<std::string_view> required) {
    Object members;
    for (const auto& [name, schema] : properties) members.insertOrAssign(std::string(name), schema);
    Array names;
    for (const auto name : required) names.emplace_back(std::string(name));
    return Object{{"type", "object"}, {"properties", std::move(members)}, {"required", std::move(names)}};
}

mcp::Tool tool(std::string_view name, std::string_view description, mcp::Value inputSchema, bool readOnly) {
    return mcp::Tool{.name = std::string(name),
                     .description = std::string(description),
                     .inputSchema = std::move(inputSchema),
                     .annotations = {.openWorldHint = false, .readOnlyHint = readOnly}};
}

std::vector<mcp::Tool> makeToolList() {
    const auto spot = objectSchema(
        {{"x", typed("number")}, {"y", typed("number")}, {"label", typed("string")}, {"text", typed("string")}},
        {"x", "y"});
    return {
        tool("look", kLookDescription, objectSchema({{"reason", typed("string")}}, {"reason"}), /*readOnly=*/true),
        tool("point", kPointDescription,
             objectSchema({{"x", typed("number")},
                           {"y", typed("number")},
                           {"label", typed("string")},
                           {"text", typed("string")},
                           {"message", typed("string")},
                           {"spots", Object{{"type", "array"}, {"items", spot}}},
                           {"wait", typed("boolean")}},
                          {}),
             /*readOnly=*/false),
        tool("finish", kFinishDescription, objectSchema({{"message", typed("string")}}, {}), /*readOnly=*/false),
    };
}

}  // namespace

const std::vector<mcp::Tool>& toolList() {
    static const std::vector<mcp::Tool> tools = makeToolList();
    return tools;
}

}  // namespace app
