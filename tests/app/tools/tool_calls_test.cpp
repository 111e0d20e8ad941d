#include "app/tools/tool_calls.hpp"

#include "tests/app/looking/point_fixture.hpp"

#include "app/host/serve_request.hpp"

#include "mcp/json/json.hpp"

#include "platform/fake/memory_settings.hpp"

#include <boost/asio/co_spawn.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/strand.hpp>

#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace app::test {
namespace {

namespace asio = boost::asio;
using namespace std::chrono_literals;

constexpr std::string_view kToken = "000102030405060708090a0b0c0d0e0f1011121314151617";
constexpr std::string_view kStays = R"("stays":"until the user has clicked there or ticked it off")";

mcp::ValueObject object(std::string_view json) { return *mcp::parseJSON(json).objectValue(); }

// The text of a content item, "" for another case.
std::string textOf(const mcp::Tool::Content& item) {
    const auto* text = item.as<mcp::Tool::Content::Text>();
    return text ? text->text : std::string();
}

class ToolCallsTest : public PointTest {
protected:
    // call: runs the tool directly, leaving what the user must do to the test.
    std::shared_ptr<Outcome<std::vector<mcp::Tool::Content>>> call(const std::string& name, std::string_view arguments,
                                                                   std::optional<std::string> client = "Claude") {
        auto outcome = run(tools.callTool(name, object(arguments), std::move(client)));
        main.runUntilIdle();
        return outcome;
    }

    // post: a tools/call request through the host's per-request server, as an agent sends it;
    // the HTTP status and the JSON-RPC result.
    std::pair<int, mcp::Value> post(std::string_view name, std::string_view arguments) {
        const std::string body = R"({"jsonrpc":"2.0","id":7,"method":"tools/call","params":{"name":")" +
                                 std::string(name) + R"(","arguments":)" + std::string(arguments) + "}}";
        mcp::HTTPRequest request{"POST",
                                 {{"Host", "127.0.0.1:47293"},
                                  {"Accept", "application/json, text/event-stream"},
                                  {"Content-Type", "application/json"},
                                  {"Authorization", "Bearer " + std::string(kToken)}},
                                 body,
                                 "/mcp"};
        std::optional<mcp::HTTPResponse> response;
        bool done = false;
        auto serve = [&]() -> asio::awaitable<void> {
            response.emplace(co_await serveRequest(std::move(request), std::string(kToken), serving));
        };
        asio::co_spawn(asio::make_strand(io), serve, [&](std::exception_ptr) { done = true; });
        for (int turn = 0; !done && turn < 10000; ++turn) {
            io.restart();
            io.poll();
            main.runUntilIdle();
        }
        if (!response) throw std::runtime_error("no answer");
        const auto answer = mcp::parseJSON(response->bodyData().value_or("null"));
        const auto* found = answer.objectValue() ? answer.objectValue()->find("result") : nullptr;
        return {response->statusCode(), found ? *found : answer};
    }

    HostStatus host;
    ToolCalls tools{{main, host, status, share, pointer, looking}};
    asio::io_context io;
    platform::MemorySettings settings;
    ServingContext serving{main, host, settings, tools, "1.0"};
};

TEST_F(ToolCallsTest, RefusalsAreToolResultsFlaggedAsErrorsWithHTTP200) {
    const struct {
        std::string_view name, tool, arguments, text;
    } kCases[] = {
        {"unknown tool, case counts", "Look", "{}", "Unknown tool Look"},
        {"look without reason", "look", "{}", "Missing reason"},
        {"look with a blank reason", "look", R"({"reason":"  \n  "})", "Missing reason"},
        {"look with a number as reason", "look", R"({"reason":5})", "Missing reason"},
        {"point without coordinates", "point", R"({"label":"Export"})", "Missing x and y, or spots"},
        {"point with x as text", "point", R"({"x":"10","y":5})", "Missing x and y, or spots"},
        {"point with nine spots", "point",
         R"({"spots":[{"x":1,"y":1},{"x":2,"y":2},{"x":3,"y":3},{"x":4,"y":4},{"x":5,"y":5},)"
         R"({"x":6,"y":6},{"x":7,"y":7},{"x":8,"y":8},{"x":9,"y":9}]})",
         "At most 8 spots at once"},
        {"point before any look", "point", R"({"x":10,"y":20})", kNoPictureText},
    };
    for (const auto& c : kCases) {
        const auto [status, result] = post(c.tool, c.arguments);
        EXPECT_EQ(status, 200) << c.name;
        const mcp::Value expected(mcp::ValueObject{
            {"content", mcp::Value::Array{mcp::Value(mcp::ValueObject{{"type", "text"}, {"text", c.text}})}},
            {"isError", true}});
        EXPECT_EQ(result, expected) << c.name << ": " << mcp::writeJSON(result);
    }
}

// Copy hands the user a spot's text to paste, often a command: one that would have to be cut is
// refused whole, and nothing is shown. A label, which the user only reads, is cut and shows it.
TEST_F(ToolCallsTest, ASpotTextOverTheLimitFailsAndShowsNothingWhileALongLabelEndsInAnEllipsis) {
    takePicture(platform::ShareGrant::once);
    const std::string command = "rm -rf ./build && " + std::string(183, 'x');
    ASSERT_EQ(command.size(), 201u);
    const auto refused = call("point", R"({"spots":[{"x":10,"y":20,"label":"Open a terminal"},)"
                                       R"({"x":30,"y":40,"label":"Paste this","text":")" + command + R"("}]})");
    EXPECT_EQ(refused->errorText(),
              "The text of spot 2 is longer than 200 characters, the most a spot's Copy hands over. Shorten it, or "
              "split the step into several point calls.");
    EXPECT_TRUE(pointer.shown().empty()) << "no ring for a call that failed";
    EXPECT_EQ(status.message().get(), std::nullopt);

    const std::string label = "Open ~/projects/vantor/tests/fixtures/examples/config.yml now";
    ASSERT_EQ(label.size(), 61u);
    const auto shown = call("point", R"({"x":10,"y":20,"label":")" + label + R"(","text":")" + command.substr(1) + R"("})");
    ASSERT_TRUE(shown->value) << shown->errorText();
    ASSERT_EQ(pointer.shown().size(), 1u);
    EXPECT_EQ(pointer.shown()[0]->mark.label, label.substr(0, 59) + "\u2026") << "the user sees the label was cut";
    EXPECT_EQ(pointer.shown()[0]->mark.text, command.substr(1)) << "200 characters are handed over whole";
}

TEST_F(ToolCallsTest, FinishEndsTheSharingForgetsThePictureAndShowsTheClosingWords) {
    takePicture(platform::ShareGrant::fiveMinutes);
    ASSERT_FALSE(call("point", R"({"x":10,"y":20})")->error);
    ASSERT_EQ(pointer.shown().size(), 1u);

    const auto [status, result] = post("finish", R"({"message":"  All   set. "})");
    EXPECT_EQ(status, 200);
    EXPECT_EQ(result, mcp::parseJSON(R"({"content":[{"type":"text","text":"{\"finished\":true,\"sharing\":\"ended\"}"}],)"
                                     R"("isError":false})"));
    EXPECT_FALSE(share.sharing().get()) << "a five-minute share ends too";
    EXPECT_FALSE(share.pictured());
    EXPECT_FALSE(picker.active());
    EXPECT_TRUE(pointer.shown().empty());
    EXPECT_EQ(this->status.finished().get(), "All set.");
    EXPECT_EQ(call("point", R"({"x":10,"y":20})")->errorText(), kNoPictureText) << "a later point";

    const auto again = call("finish", "{}");
    ASSERT_TRUE(again->value) << "no argument is needed";
    EXPECT_EQ(textOf(again->value->at(0)), R"({"finished":true,"sharing":"ended"})");
}

TEST_F(ToolCallsTest, EveryCallResetsTheStatusBoxFirst) {
    for (const std::string_view tool : {"look", "nothing", "point"}) {
        status.start("Claude");
        ASSERT_TRUE(status.thinking().get());
        const auto outcome = call(std::string(tool), "{}");
        EXPECT_TRUE(outcome->error) << tool;
        EXPECT_FALSE(status.thinking().get()) << tool << ": reset even when refused";
    }
}

TEST_F(ToolCallsTest, LookGivesTheFactsAndThePictureAndAFiveMinuteShareStartsTheBox) {
    auto outcome = call("look", R"({"reason":"To find the export button."})", std::nullopt);
    host.lastClient().set("Codex");
    ASSERT_EQ(panels.shown().size(), 1u);
    EXPECT_EQ(panels.shown()[0]->content.title, "Your AI wants to see a window") << "no name, no last client yet";
    platform::FakeRequestPanels::answer(*panels.shown()[0], platform::LookAnswer::choose(platform::ShareGrant::fiveMinutes));
    main.runUntilIdle();
    picker.choose(content());
    main.runUntilIdle();
    stream().emit(platform::FrameStatus::started, platform::solidImage(800, 500));
    deliver(outcome);
    ASSERT_TRUE(outcome->value) << outcome->errorText();
    ASSERT_EQ(outcome->value->size(), 2u);
    // The picture took a moment, counted off the five minutes.
    const auto left = std::chrono::duration_cast<std::chrono::seconds>(share.sharing().get()->until - main.now());
    EXPECT_EQ(textOf(outcome->value->at(0)),
              R"({"app":"Editor","height":500,"pointing":"point takes x and y in this picture's pixels, from its )"
              R"(top left corner","shared_for_seconds":)" +
                  std::to_string(left.count()) +
                  R"(,"when_done":"call finish, so the user isn't left waiting for a next hint","width":800,)"
                  R"("window":"notes.txt"})");
    EXPECT_GE(left, 290s);
    const auto* image = outcome->value->at(1).as<mcp::Tool::Content::Image>();
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->mimeType, "image/png");
    EXPECT_EQ(image->data.size(), 4 * ((codec.pngBytes + 2) / 3));
    EXPECT_EQ(image->data.substr(0, 8), "UFBQUFBQ") << "the bytes 'PPPPPP' in base64";
    EXPECT_TRUE(status.thinking().get()) << "started for the client";
    EXPECT_EQ(panels.records().back()->content.offersKeeping, true);
}

TEST_F(ToolCallsTest, PointResultsTellTheAgentWhatCameOfIt) {
    takePicture(platform::ShareGrant::once);
    const auto quick = call("point", R"({"x":10,"y":20,"label":"Export","wait":"true"})");
    ASSERT_TRUE(quick->value) << quick->errorText();
    ASSERT_EQ(quick->value->size(), 1u);
    EXPECT_EQ(textOf(quick->value->at(0)), "{\"pointing\":true," + std::string(kStays) + "}")
        << "wait as text counts as false";

    auto waited = call("point", R"({"x":10,"y":20,"wait":true})");
    clickRing(0);
    deliver(waited);
    ASSERT_TRUE(waited->value) << waited->errorText();
    EXPECT_EQ(textOf(waited->value->at(0)),
              R"({"next":"call look to see the result","pointing":true,)" + std::string(kStays) +
                  R"(,"user":"did it"})");

    auto undone = call("point", R"({"x":10,"y":20,"wait":true})");
    main.advance(120s);
    ASSERT_TRUE(undone->value) << undone->errorText();
    EXPECT_EQ(textOf(undone->value->at(0)),
              R"({"pointing":true,)" + std::string(kStays) +
                  R"(,"user":"hasn't done it yet (or not all of it). Don't point again at once: say what's left, )"
                  R"(and let them tell you."})");
}

TEST_F(ToolCallsTest, APointThatBroughtAFreshPictureCarriesItsFacts) {
    takePicture(platform::ShareGrant::fiveMinutes);
    auto waited = call("point", R"({"spots":[{"x":10,"y":20}],"wait":true})");
    clickRing(0);
    deliver(waited);
    ASSERT_TRUE(waited->value) << waited->errorText();
    ASSERT_EQ(waited->value->size(), 2u);
    const auto facts = mcp::parseJSON(textOf(waited->value->at(0)));
    const auto& fields = *facts.objectValue();
    EXPECT_EQ(*fields.find("pointing"), mcp::Value(true)) << "the point's own entry wins";
    EXPECT_EQ(*fields.find("user"), mcp::Value("did it"));
    EXPECT_FALSE(fields.contains("next"));
    EXPECT_EQ(*fields.find("app"), mcp::Value("Editor"));
    EXPECT_EQ(*fields.find("window_when_picked"), mcp::Value("notes.txt"));
    EXPECT_TRUE(fields.contains("shared_for_seconds"));
    EXPECT_NE(waited->value->at(1).as<mcp::Tool::Content::Image>(), nullptr);
}

TEST_F(ToolCallsTest, AStoppedPointSaysSoAndNothingNext) {
    takePicture(platform::ShareGrant::fiveMinutes);
    auto waited = call("point", R"({"x":10,"y":20,"wait":true})");
    main.advance(1s);
    share.stop();
    main.runUntilIdle();
    ASSERT_TRUE(waited->value) << waited->errorText();
    EXPECT_EQ(textOf(waited->value->at(0)),
              R"({"pointing":false,)" + std::string(kStays) +
                  R"(,"user":"stopped the sharing. The rings are gone. Don't look or point again unless they ask."})");
}

}  // namespace
}  // namespace app::test
