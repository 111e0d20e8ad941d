#include "app/tools/tool_arguments.hpp"

#include "app/common/tool_error.hpp"

#include "mcp/json/json.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <string_view>

namespace app {
namespace {

mcp::ValueObject object(std::string_view json) { return *mcp::parseJSON(json).objectValue(); }

TEST(ToolArgumentsTest, SpotsComeFromTheListElseFromTheTopLevel) {
    const struct {
        std::string_view name, arguments;
        std::size_t spots;  // 0: refused
    } kCases[] = {
        {"two objects without x and one with", R"({"spots":[{"y":1},{"label":"a"},{"x":1,"y":2}]})", 1},
        {"non-objects are dropped", R"({"spots":[1,"a",null,{"x":1,"y":2}]})", 1},
        {"eight usable, the most at once", R"({"spots":[{"x":1,"y":1},{"x":1,"y":1},{"x":1,"y":1},{"x":1,"y":1},)"
                                           R"({"x":1,"y":1},{"x":1,"y":1},{"x":1,"y":1},{"x":1,"y":1}]})", 8},
        {"nine usable", R"({"spots":[{"x":1,"y":1},{"x":1,"y":1},{"x":1,"y":1},{"x":1,"y":1},{"x":1,"y":1},)"
                        R"({"x":1,"y":1},{"x":1,"y":1},{"x":1,"y":1},{"x":1,"y":1}]})", 0},
        {"nine of which two lack y", R"({"spots":[{"x":1,"y":1},{"x":1},{"x":1,"y":1},{"x":1,"y":1},{"x":1},)"
                                     R"({"x":1,"y":1},{"x":1,"y":1},{"x":1,"y":1},{"x":1,"y":1}]})", 7},
        {"empty list, top-level spot", R"({"spots":[],"x":10,"y":20})", 1},
        {"spots not a list", R"({"spots":{"x":1,"y":1},"x":10,"y":20})", 1},
        {"top level ignored when the list gives spots", R"({"spots":[{"x":1,"y":2}],"x":10,"y":20})", 1},
        {"x as text", R"({"x":"10","y":20})", 0},
        {"y as bool", R"({"x":10,"y":true})", 0},
    };
    for (const auto& c : kCases) {
        const auto arguments = object(c.arguments);
        if (c.spots == 0) {
            EXPECT_THROW(pointSpots(arguments), ToolError) << c.name;
        } else {
            EXPECT_EQ(pointSpots(arguments).size(), c.spots) << c.name;
        }
    }
    EXPECT_EQ(pointSpots(object(R"({"spots":[],"x":10,"y":20})")).front(), (PointSpot{10, 20}));
}

TEST(ToolArgumentsTest, TextsAreTidiedToTheirLimits) {
    const std::string hundred(100, 'a');
    const auto spots =
        pointSpots(object(R"({"x":12,"y":12.5,"label":")" + hundred + R"(","text":"   "})"));
    EXPECT_EQ(spots.front().x, 12.0);
    EXPECT_EQ(spots.front().y, 12.5);
    EXPECT_EQ(spots.front().label, std::string(59, 'a') + "\u2026") << "the user sees that it was cut";
    EXPECT_EQ(spots.front().text, "") << "an empty text stays present";
    EXPECT_EQ(pointSpots(object(R"({"x":1,"y":1,"label":"   Click\n   Export"})")).front().label, "Click Export");
    EXPECT_EQ(lookReason(object(R"({"reason":")" + std::string(400, 'r') + R"("})")), std::string(299, 'r') + "\u2026");
    EXPECT_EQ(optionalMessage(object(R"({"message":")" + std::string(150, 'm') + R"("})")),
              std::string(139, 'm') + "\u2026");
    EXPECT_EQ(optionalMessage(object(R"({"message":7})")), std::nullopt);
    EXPECT_FALSE(flag("wait", object(R"({"wait":"true"})")));
    EXPECT_TRUE(flag("wait", object(R"({"wait":true})")));
}

// Each text the user reads stays whole at its limit; one character more is cut to the limit, the
// last of them an ellipsis.
TEST(ToolArgumentsTest, TextsAtTheirLimitStayWhole) {
    const struct {
        std::string_view name;
        std::size_t limit;
        std::function<std::string(const std::string&)> read;
    } kCases[] = {
        {"label", kLabelLimit,
         [](const std::string& text) {
             return pointSpots(object(R"({"x":1,"y":1,"label":")" + text + R"("})")).front().label.value_or("?");
         }},
        {"reason", kReasonLimit, [](const std::string& text) { return lookReason(object(R"({"reason":")" + text + R"("})")); }},
        {"message", kMessageLimit,
         [](const std::string& text) { return optionalMessage(object(R"({"message":")" + text + R"("})")).value_or("?"); }},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.read(std::string(c.limit, 'w')), std::string(c.limit, 'w'));
        EXPECT_EQ(c.read(std::string(c.limit + 1, 'w')), std::string(c.limit - 1, 'w') + "\u2026");
    }
}

// A spot's text is what Copy hands the user to paste, often a command: it is never cut.
TEST(ToolArgumentsTest, ASpotTextOverItsLimitIsRefusedNamingTheSpot) {
    const auto text = [](std::size_t length) { return std::string(length, 't'); };
    const auto spots = pointSpots(object(R"({"x":1,"y":1,"text":")" + text(200) + R"("})"));
    EXPECT_EQ(spots.front().text, text(200)) << "at the limit it stays whole";
    EXPECT_EQ(pointSpots(object(R"({"x":1,"y":1,"text":"  ls \n  -l  "})")).front().text, "ls -l");
    const auto longCommand = "echo " + text(195) + "  \\n ";
    EXPECT_EQ(pointSpots(object(R"({"x":1,"y":1,"text":")" + longCommand + R"("})")).front().text->size(), 200u)
        << "the limit counts the tidied text";

    const struct {
        std::string_view name;
        std::string arguments;
        std::string want;
    } kCases[] = {
        {"the top-level spot", R"({"x":1,"y":1,"text":")" + text(201) + R"("})",
         "The spot's text is longer than 200 characters, the most a spot's Copy hands over. Shorten it, or split "
         "the step into several point calls."},
        {"a spot of the list, by its place there",
         R"({"spots":[{"x":1},{"x":1,"y":1},{"x":2,"y":2,"text":")" + text(201) + R"("}]})",
         "The text of spot 3 is longer than 200 characters, the most a spot's Copy hands over. Shorten it, or "
         "split the step into several point calls."},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        try {
            pointSpots(object(c.arguments));
            ADD_FAILURE() << "a cut text was handed over";
        } catch (const ToolError& error) {
            EXPECT_EQ(error.message(), c.want);
        }
    }
    std::string umlauts;
    for (int i = 0; i < 200; ++i) umlauts += "\u00e4";
    EXPECT_EQ(pointSpots(object(R"({"x":1,"y":1,"text":")" + umlauts + R"("})")).front().text, umlauts)
        << "200 characters of two bytes each fit";
}

}  // namespace
}  // namespace app
