#include "logging/no_op_log_handler.hpp"

#include "logging/logger.hpp"

#include <gtest/gtest.h>

namespace logging {
namespace {

TEST(NoOpLogHandler, IgnoresEveryWrite) {
    NoOpLogHandler handler("dropped label");
    handler.setLogLevel(LogLevel::trace);
    handler.setMetadata({{"k", "v"}});
    handler.setMetadataValue("k", MetadataValue("v"));
    handler.setMetadataProvider(MetadataProvider([] { return Metadata{{"k", "v"}}; }));
    EXPECT_EQ(handler.logLevel(), LogLevel::critical);
    EXPECT_TRUE(handler.metadata().empty());
    EXPECT_FALSE(handler.metadataValue("k"));
    EXPECT_FALSE(handler.metadataProvider());
    handler.log(LogEvent(LogLevel::critical, "dropped", std::nullopt, std::nullopt, "a/b", "f", 1));
}

TEST(NoOpLogHandler, LoggerOverItBuildsNothingBelowCritical) {
    Logger logger("mcp.transport.stdio", NoOpLogHandler());
    logger.setLogLevel(LogLevel::trace);
    int built = 0;
    for (LogLevel level : kAllLogLevels) {
        logger.log(level, [&] {
            ++built;
            return "m";
        });
    }
    EXPECT_EQ(built, 1) << "only the critical event is built";
}

}  // namespace
}  // namespace logging
