#include "app/tools/tool_results.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <limits>
#include <optional>
#include <string_view>

namespace app {
namespace {

using namespace std::chrono_literals;

TEST(ToolResultsTest, PictureFactsNameTheTitleAsOfThePictureAndTheSecondsLeft) {
    const auto now = WindowShare::Clock::time_point(1000s);
    WindowShare::Picture picture{{}, "image/png", 640, 400, {1, 2, "Files", "a/b \u00E9"}, false};
    WindowShare::Sharing sharing{picture.window, now + 287900ms, platform::ShareGrant::fiveMinutes, "Claude"};
    EXPECT_EQ(jsonText(pictureFacts(picture, sharing, now)),
              "{\"app\":\"Files\",\"height\":400,\"pointing\":\"point takes x and y in this picture's pixels, from "
              "its top left corner\",\"shared_for_seconds\":287,\"when_done\":\"call finish, so the user isn't "
              "left waiting for a next hint\",\"width\":640,\"window_when_picked\":\"a/b \u00E9\"}");

    picture.titleIsCurrent = true;
    const auto current = pictureFacts(picture, sharing, now);
    EXPECT_TRUE(current.contains("window"));
    EXPECT_FALSE(current.contains("window_when_picked"));

    const struct {
        std::string_view name;
        std::optional<WindowShare::Sharing> sharing;
    } kNoSeconds[] = {
        {"no share", std::nullopt},
        {"expired", WindowShare::Sharing{picture.window, now, platform::ShareGrant::fiveMinutes, "Claude"}},
        {"single use", WindowShare::Sharing{picture.window, now + 20s, platform::ShareGrant::once, "Claude"}},
    };
    for (const auto& c : kNoSeconds) {
        EXPECT_FALSE(pictureFacts(picture, c.sharing, now).contains("shared_for_seconds")) << c.name;
    }
}

TEST(ToolResultsTest, JSONThatCantBeWrittenBecomesAnEmptyObject) {
    EXPECT_EQ(jsonText({{"b", 1}, {"a", std::numeric_limits<double>::quiet_NaN()}}), "{}");
}

TEST(ToolResultsTest, ThePictureGoesAsPaddedBase64WithItsOwnType) {
    const struct {
        std::string_view bytes, base64;
    } kCases[] = {{"", ""}, {"M", "TQ=="}, {"Ma", "TWE="}, {"Man", "TWFu"}, {"\xFF\xFE\xFD\xFC", "//79/A=="}};
    for (const auto& c : kCases) {
        WindowShare::Picture picture{{c.bytes.begin(), c.bytes.end()}, "image/jpeg", 1, 1, {}, true};
        const auto item = pictureItem(picture);
        const auto* image = item.as<mcp::Tool::Content::Image>();
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(*image, (mcp::Tool::Content::Image{std::string(c.base64), "image/jpeg", std::nullopt, std::nullopt}))
            << c.base64;
    }
}

}  // namespace
}  // namespace app
