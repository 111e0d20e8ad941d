#include "logging/log_handler.hpp"

#include "tests/logging/recording_log_handler.hpp"

#include <gtest/gtest.h>

namespace logging {
namespace {

using testing::makeJournal;
using testing::RecordingLogHandler;

TEST(LogHandler, OlderFormsReachTheEventForm) {
    const auto journal = makeJournal();
    RecordingLogHandler handler(journal);
    handler.log(LogLevel::notice, "with source", Metadata{{"k", "v"}}, "given", "mcp/server.cpp",
                "f", 3);
    handler.log(LogLevel::warning, "without source", std::nullopt, "/src/mcp/server.cpp", "g", 4);
    handler.log(LogLevel::warning, "bare file", std::nullopt, "server.cpp", "g", 5);

    ASSERT_EQ(journal->size(), 3u);
    const LogEvent& withSource = journal->at(0).event;
    EXPECT_EQ(withSource.source(), "given");
    EXPECT_EQ(withSource.metadata, (Metadata{{"k", "v"}}));
    EXPECT_FALSE(withSource.error);
    EXPECT_EQ(withSource.line, 3u);
    // Without a source, the older form names the directory that holds the file.
    EXPECT_EQ(journal->at(1).event.source(), "mcp");
    EXPECT_EQ(journal->at(1).event.file, "/src/mcp/server.cpp");
    EXPECT_EQ(journal->at(2).event.source(), "n/a");
}

class LevelOnlyHandler final : public LogHandler {
public:
    std::unique_ptr<LogHandler> clone() const override {
        return std::make_unique<LevelOnlyHandler>(*this);
    }
    void log(const LogEvent&) override {}
    std::optional<MetadataValue> metadataValue(std::string_view) const override { return {}; }
    void setMetadataValue(std::string_view, std::optional<MetadataValue>) override {}
    Metadata metadata() const override { return {}; }
    void setMetadata(Metadata) override {}
    LogLevel logLevel() const override { return LogLevel::info; }
    void setLogLevel(LogLevel) override {}
};

TEST(LogHandler, ProviderDefaultsReadNothingAndIgnoreWrites) {
    LevelOnlyHandler handler;
    handler.setMetadataProvider(MetadataProvider([] { return Metadata{{"k", "v"}}; }));
    EXPECT_FALSE(handler.metadataProvider());
}

}  // namespace
}  // namespace logging
