#include "app/tools/tool_catalogue.hpp"

#include "mcp/json/codec.hpp"
#include "mcp/json/json.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

namespace app {
namespace {

TEST(ToolList, ThreeToolsInOrderWithTheirHints) {
    const auto& tools = toolList();
    ASSERT_EQ(tools.size(), 3u);
    constexpr struct {
        const char* name;
        bool readOnly;
        std::size_t descriptionLength;
    } kWant[] = {{"look", true, 440}, {"point", false, 928}, {"finish", false, 314}};
    for (std::size_t i = 0; i < tools.size(); ++i) {
        SCOPED_TRACE(kWant[i].name);
        EXPECT_EQ(tools[i].name, kWant[i].name);
        const mcp::Tool::Annotations hints{.openWorldHint = false, .readOnlyHint = kWant[i].readOnly};
        EXPECT_EQ(tools[i].annotations, hints);
        EXPECT_FALSE(tools[i].title || tools[i].icons || tools[i].outputSchema || tools[i]._meta);
        ASSERT_TRUE(tools[i].description);
        const auto& description = *tools[i].description;
        EXPECT_EQ(description.size(), kWant[i].descriptionLength);
        EXPECT_TRUE(std::all_of(description.begin(), description.end(),
                                [](unsigned char c) { return c >= 0x20 && c < 0x7f; }));
    }
}

TEST(ToolList, DescriptionsWordForWord) {
    const auto& tools = toolList();
    ASSERT_EQ(tools.size(), 3u);
    EXPECT_EQ(tools[0].description.value_or(""),
              "Ask the user to show you one window of their computer and get a picture of it. They pick the "
              "window themselves (or decline); you see nothing else. reason: one short sentence shown to "
              "the user, saying what you want to see and why. Returns the picture, the app's name, the "
              "window's title and the picture's size in pixels. If the user kept the window shared with "
              "you after an earlier look, you get its current picture without them being asked.");
    EXPECT_EQ(tools[1].description.value_or(""),
              "Show the user where to click or type in the window from your last look. A ring appears at "
              "each spot on their screen, with your label next to it, and stays until they've clicked "
              "there (at most a minute; three when there's text to enter). New rings replace old ones. It "
              "doesn't click or type. x, y: the spot in the picture's pixels, counted from its top left "
              "corner. label: a few words, e.g. \"Click Export\". text: the exact text to enter there, if "
              "any, shown with a Copy button. spots: several at once, each with x, y and optionally label "
              "and text, numbered in the order given (use it for the fields of a form; leave out x and y "
              "then). wait: true to return only once the user has done it (up to two minutes), with the "
              "window's new picture if it's kept shared. message: one short sentence for the user, shown "
              "in the status box on their screen. The window's app comes to the front. A note in the "
              "result means the ring may be hidden.");
    EXPECT_EQ(tools[2].description.value_or(""),
              "Tell the user you're done guiding them: the status box on their screen shows your closing "
              "words for a moment, the rings go, and the window is no longer shared. Call it when the "
              "task is done or you've nothing more to point at, before your final answer. message: a few "
              "closing words, e.g. \"Done: the app is created.\"");
}

TEST(ToolList, InputSchemas) {
    constexpr const char* kSchemas[] = {
        R"({"type":"object","properties":{"reason":{"type":"string"}},"required":["reason"]})",
        R"({"type":"object","properties":{"x":{"type":"number"},"y":{"type":"number"},"label":{"type":"string"},)"
        R"("text":{"type":"string"},"message":{"type":"string"},"spots":{"type":"array","items":{"type":"object",)"
        R"("properties":{"x":{"type":"number"},"y":{"type":"number"},"label":{"type":"string"},)"
        R"("text":{"type":"string"}},"required":["x","y"]}},"wait":{"type":"boolean"}},"required":[]})",
        R"({"type":"object","properties":{"message":{"type":"string"}},"required":[]})",
    };
    const auto& tools = toolList();
    ASSERT_EQ(tools.size(), 3u);
    for (std::size_t i = 0; i < tools.size(); ++i) {
        SCOPED_TRACE(tools[i].name);
        EXPECT_EQ(tools[i].inputSchema, mcp::parseJSON(kSchemas[i]));
        // An empty "required" is written out, not left away.
        EXPECT_NE(mcp::writeJSON(tools[i].inputSchema).find("\"required\":["), std::string::npos);
    }
}

// What tools/list carries for each tool, members compared in any order.
TEST(ToolList, EncodedAsTheAgentSeesThem) {
    const auto& tools = toolList();
    ASSERT_EQ(tools.size(), 3u);
    constexpr const char* kAnnotations[] = {
        R"({"readOnlyHint":true,"openWorldHint":false})",
        R"({"readOnlyHint":false,"openWorldHint":false})",
        R"({"readOnlyHint":false,"openWorldHint":false})",
    };
    for (std::size_t i = 0; i < tools.size(); ++i) {
        SCOPED_TRACE(tools[i].name);
        const auto encoded = mcp::encode(tools[i]);
        const mcp::Value want = mcp::Value::Object{{"name", tools[i].name},
                                                   {"description", *tools[i].description},
                                                   {"inputSchema", tools[i].inputSchema},
                                                   {"annotations", mcp::parseJSON(kAnnotations[i])}};
        EXPECT_EQ(encoded, want) << mcp::writeJSON(encoded);
    }
}

TEST(ToolList, MadeOnceForAllCallers) {
    std::vector<const std::vector<mcp::Tool>*> seen(8);
    std::vector<std::thread> threads;
    for (auto& slot : seen) threads.emplace_back([&slot] { slot = &toolList(); });
    for (auto& thread : threads) thread.join();
    for (const auto* list : seen) EXPECT_EQ(list, &toolList());
}

}  // namespace
}  // namespace app
