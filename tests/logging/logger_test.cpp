#include "logging/logger.hpp"

#include "tests/logging/recording_log_handler.hpp"

#include <gtest/gtest.h>

#include <stdexcept>

namespace logging {
namespace {

using testing::makeJournal;
using testing::RecordingLogHandler;

// Counts the calls of every lazy argument and the order they came in.
struct Evaluations {
    int message = 0, error = 0, metadata = 0, source = 0;
    std::string order;

    auto messageFn() {
        return [this] {
            ++message;
            order += 'm';
            return std::string("text");
        };
    }
    auto errorFn() {
        return [this]() -> LogError {
            ++error;
            order += 'e';
            return std::runtime_error("broken");
        };
    }
    auto metadataFn() {
        return [this] {
            ++metadata;
            order += 'd';
            return Metadata{{"k", "v"}};
        };
    }
    auto sourceFn() {
        return [this] {
            ++source;
            order += 's';
            return std::string("probe");
        };
    }
    int total() const { return message + error + metadata + source; }
};

// Calls the level's own method in each of its four forms.
void logEveryFormAt(const Logger& logger, LogLevel level, Evaluations& e) {
    switch (level) {
#define VANTOR_TEST_LEVEL(name)                                                               \
    case LogLevel::name:                                                                      \
        logger.name(e.messageFn());                                                           \
        logger.name(e.messageFn(), e.metadataFn());                                           \
        logger.name(e.messageFn(), e.metadataFn(), e.sourceFn());                             \
        logger.name(e.messageFn(), e.errorFn(), e.metadataFn(), e.sourceFn());                \
        break;
        VANTOR_TEST_LEVEL(trace)
        VANTOR_TEST_LEVEL(debug)
        VANTOR_TEST_LEVEL(info)
        VANTOR_TEST_LEVEL(notice)
        VANTOR_TEST_LEVEL(warning)
        VANTOR_TEST_LEVEL(error)
        VANTOR_TEST_LEVEL(critical)
#undef VANTOR_TEST_LEVEL
    }
}

TEST(Logger, GateEvaluatesNothingBelowTheHandlersLevel) {
    // Rows: the handler's level; columns: the event's level; both trace to critical.
    constexpr bool kPasses[7][7] = {
        {1, 1, 1, 1, 1, 1, 1},  // trace
        {0, 1, 1, 1, 1, 1, 1},  // debug
        {0, 0, 1, 1, 1, 1, 1},  // info
        {0, 0, 0, 1, 1, 1, 1},  // notice
        {0, 0, 0, 0, 1, 1, 1},  // warning
        {0, 0, 0, 0, 0, 1, 1},  // error
        {0, 0, 0, 0, 0, 0, 1},  // critical
    };
    for (LogLevel handlerLevel : kAllLogLevels) {
        for (LogLevel eventLevel : kAllLogLevels) {
            SCOPED_TRACE(std::string(rawValue(handlerLevel)) + " handler, " +
                         std::string(rawValue(eventLevel)) + " event");
            const auto journal = makeJournal();
            const Logger logger("gate", RecordingLogHandler(journal, handlerLevel));
            Evaluations e;
            logger.log(eventLevel, e.messageFn());
            logger.log(eventLevel, e.messageFn(), e.metadataFn());
            logger.log(eventLevel, e.messageFn(), e.metadataFn(), e.sourceFn());
            logger.log(eventLevel, e.messageFn(), e.errorFn(), e.metadataFn(), e.sourceFn());
            logEveryFormAt(logger, eventLevel, e);

            const bool passes =
                kPasses[static_cast<int>(handlerLevel)][static_cast<int>(eventLevel)];
            if (!passes) {
                EXPECT_EQ(e.total(), 0);
                EXPECT_TRUE(journal->empty());
                continue;
            }
            // Two rounds of the four forms: messages 4+4, metadata 3+3, sources 2+2, errors 1+1.
            EXPECT_EQ(e.message, 8);
            EXPECT_EQ(e.metadata, 6);
            EXPECT_EQ(e.source, 4);
            EXPECT_EQ(e.error, 2);
            EXPECT_EQ(e.order, "mmdmdsmedsmmdmdsmeds");
            ASSERT_EQ(journal->size(), 8u);
            for (const auto& received : *journal) EXPECT_EQ(received.event.level, eventLevel);
        }
    }
}

TEST(Logger, DiscardingLevelBuildsOneEventForCritical) {
    const auto journal = makeJournal();
    const Logger logger("gate", RecordingLogHandler(journal, LogLevel::critical));
    Evaluations e;
    for (LogLevel level : kAllLogLevels) {
        logger.log(level, e.messageFn(), e.errorFn(), e.metadataFn(), e.sourceFn());
    }
    EXPECT_EQ(e.order, "meds");
    ASSERT_EQ(journal->size(), 1u);
    EXPECT_EQ(journal->front().event.level, LogLevel::critical);
}

TEST(Logger, EventCarriesWhatTheCallGave) {
    const auto journal = makeJournal();
    const Logger logger("event", RecordingLogHandler(journal));
    const std::runtime_error failure("connection lost");
    const int line = __LINE__ + 1;
    logger.error("failed", failure, [] { return Metadata{{"id", "7"}}; }, "probe");
    logger.info(std::string("plain"));

    ASSERT_EQ(journal->size(), 2u);
    const LogEvent& full = journal->at(0).event;
    EXPECT_EQ(full.level, LogLevel::error);
    EXPECT_EQ(full.message, LogMessage("failed"));
    ASSERT_TRUE(full.error);
    EXPECT_EQ(full.error->description(), "connection lost");
    EXPECT_EQ(full.error->typeName(), "std.runtime_error");
    EXPECT_EQ(full.metadata, (Metadata{{"id", "7"}}));
    EXPECT_EQ(full.source(), "probe");
    EXPECT_EQ(full.file, "logging/logger_test.cpp");
    EXPECT_NE(full.function.find("TestBody"), std::string::npos) << full.function;
    EXPECT_EQ(full.line, static_cast<std::uint32_t>(line));

    const LogEvent& plain = journal->at(1).event;
    EXPECT_FALSE(plain.error);
    EXPECT_FALSE(plain.metadata);
    EXPECT_EQ(plain.source(), "logging");
}

TEST(Logger, ErrorIsReadThroughItsDynamicType) {
    const auto journal = makeJournal();
    const Logger logger("errors", RecordingLogHandler(journal));
    try {
        throw std::out_of_range("index 3");
    } catch (const std::exception& error) {
        logger.error("by reference", error, std::nullopt, std::nullopt);
        logger.error("as a pointer", std::current_exception(), std::nullopt, std::nullopt);
    }
    logger.error("error code", std::make_error_code(std::errc::timed_out), std::nullopt,
                 std::nullopt);
    ASSERT_EQ(journal->size(), 3u);
    for (int i : {0, 1}) {
        EXPECT_EQ(journal->at(i).event.error->typeName(), "std.out_of_range");
        EXPECT_EQ(journal->at(i).event.error->description(), "index 3");
    }
    EXPECT_TRUE(journal->at(1).event.error->exception());
    EXPECT_EQ(journal->at(2).event.error->typeName(), "std.error_code");
    EXPECT_EQ(journal->at(2).event.error->description(),
              std::make_error_code(std::errc::timed_out).message());
}

TEST(Logger, ChangingACopyLeavesTheOriginalAlone) {
    const auto journal = makeJournal();
    RecordingLogHandler handler(journal, LogLevel::info);
    handler.setMetadata({{"k", "original"}, {"m", "kept"}});
    const Logger original("service", handler);

    Logger copy = original;
    EXPECT_EQ(&copy.handler(), &original.handler()) << "an unchanged copy shares its storage";

    copy.setLogLevel(LogLevel::debug);
    copy.setMetadataValue("k", MetadataValue("changed"));
    copy.setMetadataValue("m", std::nullopt);
    EXPECT_NE(&copy.handler(), &original.handler());
    EXPECT_EQ(copy.label(), "service");

    EXPECT_EQ(original.logLevel(), LogLevel::info);
    EXPECT_EQ(original.metadataValue("k"), MetadataValue("original"));
    EXPECT_EQ(original.metadataValue("m"), MetadataValue("kept"));
    EXPECT_EQ(copy.logLevel(), LogLevel::debug);
    EXPECT_EQ(copy.metadataValue("k"), MetadataValue("changed"));
    EXPECT_EQ(copy.metadataValue("m"), std::nullopt);

    copy.debug("only the copy logs debug");
    original.debug("dropped");
    EXPECT_EQ(journal->size(), 1u);
}

TEST(Logger, ReplacingTheHandlerOfACopy) {
    const auto first = makeJournal();
    const auto second = makeJournal();
    const Logger original("service", RecordingLogHandler(first));
    Logger copy = original;
    copy.setHandler(RecordingLogHandler(second));
    original.info("one");
    copy.info("two");
    EXPECT_EQ(first->size(), 1u);
    EXPECT_EQ(second->size(), 1u);

    Logger alone("alone", RecordingLogHandler(first));
    const LogHandler* before = &alone.handler();
    alone.setLogLevel(LogLevel::error);
    EXPECT_EQ(&alone.handler(), before) << "a logger that shares nothing changes in place";
}

TEST(Logger, FactoryIsCalledWithTheLabel) {
    const auto journal = makeJournal();
    std::string seen;
    const Logger logger("made", [&](const std::string& label) {
        seen = label;
        return RecordingLogHandler(journal, LogLevel::warning);
    });
    EXPECT_EQ(seen, "made");
    EXPECT_EQ(logger.logLevel(), LogLevel::warning);
    EXPECT_THROW(Logger("null", std::unique_ptr<LogHandler>()), std::invalid_argument);
}

TEST(Logger, CurrentModule) {
    const struct {
        std::string_view input, fromFileID, fromFilePath;
    } kCases[] = {
        {"mcp/server.cpp", "mcp", "n/a"},
        {"server.cpp", "n/a", "n/a"},
        {"", "n/a", "n/a"},
        {"/src/mcp/server.cpp", "", "mcp"},
        {"/a/b/c.txt", "", "b"},
        {"/c.txt", "", "n/a"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.input);
        EXPECT_EQ(Logger::currentModule(c.input), c.fromFileID);
        EXPECT_EQ(Logger::currentModuleOfFilePath(c.input), c.fromFilePath);
    }
}

}  // namespace
}  // namespace logging
