#include "mcp/protocol/icon.hpp"

#include "tests/mcp/read_and_write.hpp"

#include <gtest/gtest.h>

namespace mcp {
namespace {

TEST(Icon, ReadsAndWrites) {
    const struct {
        std::string_view in, out;
    } kCases[] = {
        {R"({"src":"a.png"})", R"({"src":"a.png"})"},
        {R"({"theme":"dark","sizes":["48x48","any"],"mimeType":"image/png","src":"a"})",
         R"({"src":"a","mimeType":"image/png","sizes":["48x48","any"],"theme":"dark"})"},
        {R"({"src":"a","theme":null})", R"({"src":"a"})"},
        {R"({"src":"a","theme":"Dark"})", R"(error: dataCorrupted at theme: Unknown icon theme "Dark")"},
        {R"({"src":"a","sizes":"48x48"})", "error: typeMismatch at sizes: Expected an array but found a string"},
        {R"({"mimeType":"image/png"})", R"(error: keyNotFound: No value associated with key "src")"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(testing::readAndWrite<Icon>(c.in), c.out);
    }
}

TEST(Icon, ThemesByRawValue) {
    EXPECT_EQ(iconThemeFromRawValue("light"), Icon::Theme::light);
    EXPECT_EQ(iconThemeFromRawValue("dark"), Icon::Theme::dark);
    EXPECT_EQ(iconThemeFromRawValue("Light"), std::nullopt);
    EXPECT_EQ(rawValue(Icon::Theme::dark), "dark");
}

}  // namespace
}  // namespace mcp
