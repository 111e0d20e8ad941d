#include "logging/log_event.hpp"

#include <gtest/gtest.h>

namespace logging {
namespace {

LogEvent eventFrom(std::string file, std::optional<std::string> source = std::nullopt) {
    return LogEvent(LogLevel::info, "message", std::nullopt, std::move(source), std::move(file),
                    "function", 1);
}

TEST(LogEvent, SourceFallsBackToTheModuleOfTheFile) {
    const struct {
        const char* file;
        std::optional<std::string> source;
        std::string want;
    } kCases[] = {
        {"mcp/server.cpp", std::nullopt, "mcp"},
        {"server.cpp", std::nullopt, "n/a"},
        {"", std::nullopt, "n/a"},
        {"/server.cpp", std::nullopt, ""},
        {"mcp/server.cpp", "given", "given"},
        {"server.cpp", "", ""},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.file);
        EXPECT_EQ(eventFrom(c.file, c.source).source(), c.want);
    }
}

TEST(LogEvent, WrittenSourceWinsOverTheFile) {
    LogEvent event = eventFrom("mcp/server.cpp");
    event.setSource("written");
    EXPECT_EQ(event.source(), "written");
    event.file = "other/file.cpp";
    EXPECT_EQ(event.source(), "written");
}

TEST(LogEvent, StartsWithoutErrorMetadataOrSource) {
    const LogEvent event = eventFrom("mcp/server.cpp");
    EXPECT_FALSE(event.error);
    EXPECT_FALSE(event.metadata);
    const LogEvent withEmpty(LogLevel::info, "m", Metadata{}, std::nullopt, "a/b", "f", 1);
    ASSERT_TRUE(withEmpty.metadata) << "empty metadata is not absent metadata";
    EXPECT_TRUE(withEmpty.metadata->empty());
}

}  // namespace
}  // namespace logging
