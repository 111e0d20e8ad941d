#include "logging/task_local_logger.hpp"

#include "logging/logging_system.hpp"
#include "logging/stream_log_handler.hpp"
#include "tests/logging/own_process.hpp"
#include "tests/logging/recording_log_handler.hpp"

#include <gtest/gtest.h>

#include <thread>

namespace logging {
namespace {

using testing::ChildChecks;
using testing::makeJournal;
using testing::RecordingLogHandler;

Logger recorder(std::string label, LogLevel level = LogLevel::info, Metadata metadata = {}) {
    RecordingLogHandler handler(makeJournal(), level);
    handler.setMetadata(std::move(metadata));
    return Logger(std::move(label), handler);
}

struct OperationFailed {
    int code;
};

TEST(TaskLocalLogger, BindingLastsForTheOperation) {
    withLogger(recorder("outer"), [](const Logger& outer) {
        EXPECT_EQ(outer.label(), "outer");
        const int result = withLogger(recorder("inner"), [](const Logger& inner) {
            EXPECT_EQ(inner.label(), "inner");
            EXPECT_EQ(Logger::current().label(), "inner");
            return 7;
        });
        EXPECT_EQ(result, 7);
        EXPECT_EQ(Logger::current().label(), "outer");

        try {
            Logger::withTaskLocalLogger(recorder("throwing"), [] {
                EXPECT_EQ(Logger::current().label(), "throwing");
                throw OperationFailed{3};
            });
            ADD_FAILURE() << "the operation's error was swallowed";
        } catch (const OperationFailed& failure) {
            EXPECT_EQ(failure.code, 3);
            EXPECT_EQ(Logger::current().label(), "outer");
        }
    });
}

TEST(TaskLocalLogger, OtherThreadsDontSeeTheBinding) {
    withLogger(recorder("main"), [](const Logger&) {
        std::thread([] {
            withLogger(recorder("worker"), [](const Logger&) {
                EXPECT_EQ(Logger::current().label(), "worker");
            });
        }).join();
        EXPECT_EQ(Logger::current().label(), "main");
    });
}

TEST(TaskLocalLogger, MergingMetadataChangesOnlyTheBoundCopy) {
    withLogger(recorder("base", LogLevel::info, {{"k", "old"}, {"m", "kept"}}), [](const Logger&) {
        withLoggerMergingMetadata({{"k", "new"}, {"n", "added"}}, [](const Logger& merged) {
            EXPECT_EQ(Logger::current().metadataValue("k"), MetadataValue("new"));
            EXPECT_EQ(merged.handler().metadata(),
                      (Metadata{{"k", "new"}, {"m", "kept"}, {"n", "added"}}));
        });
        EXPECT_EQ(Logger::current().metadataValue("k"), MetadataValue("old"));
        EXPECT_FALSE(Logger::current().metadataValue("n"));
    });
}

TEST(TaskLocalLogger, Adjustments) {
    const auto otherHandler = std::make_shared<RecordingLogHandler>(makeJournal(), LogLevel::error);
    const struct {
        const char* name;
        LoggerAdjustments adjustments;
        LogLevel wantLevel;
        Metadata wantMetadata;
    } kCases[] = {
        {"nothing", {}, LogLevel::info, {{"m", "base"}}},
        {"level", {.logLevel = LogLevel::trace}, LogLevel::trace, {{"m", "base"}}},
        {"level and handler: the handler's own level",
         {LogLevel::trace, otherHandler, std::nullopt},
         LogLevel::error,
         {}},
        {"metadata replaces", {.metadata = Metadata{{"k", "new"}}}, LogLevel::info, {{"k", "new"}}},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        withLogger(recorder("base", LogLevel::info, {{"m", "base"}}), [&](const Logger& base) {
            withLogger(c.adjustments, [&](const Logger& adjusted) {
                EXPECT_EQ(adjusted.label(), "base");
                EXPECT_EQ(Logger::current().logLevel(), c.wantLevel);
                EXPECT_EQ(Logger::current().handler().metadata(), c.wantMetadata);
            });
            EXPECT_EQ(Logger::current().logLevel(), LogLevel::info);
            EXPECT_EQ(base.handler().metadata(), (Metadata{{"m", "base"}}));
        });
    }
    EXPECT_EQ(otherHandler->logLevel(), LogLevel::error) << "the given handler is copied";
}

using TaskLocalLoggerDefault = testing::OwnProcessTest;

[[noreturn]] void defaultIsMadeOnceThroughTheSystem() {
    ChildChecks checks;
    const Logger before = Logger::current();
    checks.expect(before.label().empty(), "the default has the empty label");
    checks.expect(dynamic_cast<const StreamLogHandler*>(&before.handler()) != nullptr,
                  "the default comes from the system's factory");
    LoggingSystem::bootstrap(
        [](const std::string&) { return RecordingLogHandler(makeJournal()); });
    checks.expect(&Logger::current().handler() == &before.handler(),
                  "a later bootstrap leaves the default as it was");
    std::thread([&] {
        checks.expect(&Logger::current().handler() == &before.handler(),
                      "every thread without a binding sees the same default");
    }).join();
    checks.finish();
}

TEST_F(TaskLocalLoggerDefault, IsMadeOnceThroughTheSystem) {
    EXPECT_IN_OWN_PROCESS(defaultIsMadeOnceThroughTheSystem(), "");
}

}  // namespace
}  // namespace logging
