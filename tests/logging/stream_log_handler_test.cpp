#include "logging/stream_log_handler.hpp"

#include "logging/logger.hpp"
#include "logging/stdio_output_stream.hpp"
#include "tests/logging/capturing_stream.hpp"
#include "tests/logging/fixed_provider.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <regex>
#include <set>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace logging {
namespace {

using testing::CapturingStream;
using testing::providing;

// Sets TZ for the life of the object and puts the old value back afterwards.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* zone) {
        if (const char* old = std::getenv("TZ")) old_ = old;
        ::setenv("TZ", zone, 1);
    }
    ~ScopedTimeZone() {
        if (old_) {
            ::setenv("TZ", old_->c_str(), 1);
        } else {
            ::unsetenv("TZ");
        }
        tzset();
    }

private:
    std::optional<std::string> old_;
};

// The timestamp a line written at `time` must carry in a zone `offsetSeconds` east of UTC,
// worked out from UTC alone.
std::string expectedTimestamp(std::time_t time, long offsetSeconds, std::string_view offsetText) {
    const std::time_t shifted = time + offsetSeconds;
    std::tm utc{};
    gmtime_r(&shifted, &utc);
    char text[32];
    const std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
    return std::string(text, length).append(offsetText);
}

// Logs `event` through `handler` in zone TZ=XXX-5 and expects the line to be exactly the
// timestamp, a blank and `rest`.
void expectLine(StreamLogHandler handler, const std::shared_ptr<CapturingStream>& stream,
                const LogEvent& event, const std::string& rest) {
    const ScopedTimeZone zone("XXX-5");
    const std::time_t before = std::time(nullptr);
    handler.log(event);
    const std::time_t after = std::time(nullptr);
    const std::vector<std::string> writes = stream->writes();
    ASSERT_EQ(writes.size(), 1u);
    const std::string& line = writes.front();
    for (std::time_t at = before; at <= after; ++at) {
        if (line == expectedTimestamp(at, 5 * 3600, "+0500") + " " + rest) return;
    }
    ADD_FAILURE() << "line: " << line << "want: <timestamp> " << rest;
}

LogEvent event(std::optional<Metadata> metadata = std::nullopt,
               std::optional<LogError> error = std::nullopt,
               std::optional<std::string> source = "probe", std::string file = "mcp/server.cpp",
               LogLevel level = LogLevel::info) {
    return LogEvent(level, "hello", std::move(error), std::move(metadata), std::move(source),
                    std::move(file), "f", 1);
}

TEST(StreamLogHandler, LineMatchesByteForByte) {
    const std::runtime_error closed("Connection closed");
    const struct {
        const char* name;
        std::string label;
        Metadata handlerMetadata;
        std::optional<Metadata> providerMetadata;
        LogEvent event;
        std::string want;
    } kCases[] = {
        {"label and sorted handler metadata", "L", {{"b", "2"}, {"a", "1"}}, std::nullopt,
         event(), "info L: a=1 b=2 [probe] hello\n"},
        {"empty label", "", {}, std::nullopt, event(), "info: [probe] hello\n"},
        {"no metadata anywhere", "L", {}, std::nullopt, event(), "info L: [probe] hello\n"},
        {"empty event metadata", "L", {}, Metadata{}, event(Metadata{}), "info L: [probe] hello\n"},
        {"event beats provider beats handler", "L", {{"k", "h"}}, Metadata{{"k", "p"}},
         event(Metadata{{"k", "e"}}), "info L: k=e [probe] hello\n"},
        {"provider beats handler", "L", {{"k", "h"}, {"z", "h"}}, Metadata{{"k", "p"}}, event(),
         "info L: k=p z=h [probe] hello\n"},
        {"error keys sort in", "L", {{"a", "1"}, {"b", "2"}}, std::nullopt,
         event(std::nullopt, closed),
         "info L: a=1 b=2 error.message=Connection closed error.type=std.runtime_error "
         "[probe] hello\n"},
        {"error keys beat the event's", "L", {}, std::nullopt,
         event(Metadata{{"error.type", "mine"}, {"error.message", "mine"}}, closed),
         "info L: error.message=Connection closed error.type=std.runtime_error [probe] hello\n"},
        {"nested values", "L", {}, std::nullopt,
         event(Metadata{{"list", MetadataValue::Array{"a", "b"}}, {"map", Metadata{}}}),
         R"(info L: list=["a", "b"] map=[:] [probe] hello)"
         "\n"},
        {"source from the file's module", "L", {}, std::nullopt,
         event(std::nullopt, std::nullopt, std::nullopt, "mcp/server.cpp"),
         "info L: [mcp] hello\n"},
        {"file without a slash", "L", {}, std::nullopt,
         event(std::nullopt, std::nullopt, std::nullopt, "server.cpp"), "info L: [n/a] hello\n"},
        {"empty file", "L", {}, std::nullopt, event(std::nullopt, std::nullopt, std::nullopt, ""),
         "info L: [n/a] hello\n"},
        {"file starting with a slash", "L", {}, std::nullopt,
         event(std::nullopt, std::nullopt, std::nullopt, "/server.cpp"), "info L: [] hello\n"},
        {"level names", "L", {}, std::nullopt,
         event(std::nullopt, std::nullopt, "s", "a/b", LogLevel::critical),
         "critical L: [s] hello\n"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        const auto stream = std::make_shared<CapturingStream>();
        std::optional<MetadataProvider> provider;
        if (c.providerMetadata) provider = providing(*c.providerMetadata);
        StreamLogHandler handler(c.label, stream, provider);
        handler.setMetadata(c.handlerMetadata);
        expectLine(handler, stream, c.event, c.want);
    }
}

TEST(StreamLogHandler, TimestampCarriesTheUTCOffset) {
    const struct {
        const char* zone;
        long offsetSeconds;
        const char* offsetText;
    } kCases[] = {
        {"XXX-5", 5 * 3600, "+0500"},
        {"XXX+3", -3 * 3600, "-0300"},
        {"XXX-5:30", 5 * 3600 + 30 * 60, "+0530"},
        {"UTC0", 0, "+0000"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.zone);
        const ScopedTimeZone zone(c.zone);
        const auto stream = std::make_shared<CapturingStream>();
        StreamLogHandler handler("", stream, std::nullopt);
        const std::time_t before = std::time(nullptr);
        handler.log(event());
        const std::time_t after = std::time(nullptr);
        const std::string line = stream->writes().at(0);
        ASSERT_GE(line.size(), 24u);
        const std::string stamp = line.substr(0, 24);
        EXPECT_TRUE(stamp == expectedTimestamp(before, c.offsetSeconds, c.offsetText) ||
                    stamp == expectedTimestamp(after, c.offsetSeconds, c.offsetText))
            << stamp;
    }
}

TEST(StreamLogHandler, LevelNamesAreLowerCase) {
    const auto stream = std::make_shared<CapturingStream>();
    StreamLogHandler handler("L", stream, std::nullopt);
    for (LogLevel level : kAllLogLevels) {
        handler.log(event(std::nullopt, std::nullopt, "s", "a/b", level));
    }
    const std::vector<std::string> writes = stream->writes();
    ASSERT_EQ(writes.size(), kAllLogLevels.size());
    for (std::size_t i = 0; i < writes.size(); ++i) {
        EXPECT_EQ(writes[i].substr(25),
                  std::string(rawValue(kAllLogLevels[i])) + " L: [s] hello\n");
    }
}

TEST(StreamLogHandler, MetadataChangesShowInTheNextLine) {
    const auto stream = std::make_shared<CapturingStream>();
    Logger logger("L", StreamLogHandler("L", stream, std::nullopt));
    logger.setMetadataValue("k", MetadataValue("1"));
    logger.info("a", std::nullopt, "s");
    logger.setMetadataValue("j", MetadataValue("2"));
    logger.info("b", std::nullopt, "s");
    logger.setMetadataValue("j", std::nullopt);
    logger.setMetadataValue("k", std::nullopt);
    logger.info("c", std::nullopt, "s");

    const std::vector<std::string> writes = stream->writes();
    ASSERT_EQ(writes.size(), 3u);
    EXPECT_EQ(writes[0].substr(25), "info L: k=1 [s] a\n");
    EXPECT_EQ(writes[1].substr(25), "info L: j=2 k=1 [s] b\n");
    EXPECT_EQ(writes[2].substr(25), "info L: [s] c\n");
}

TEST(StreamLogHandler, StartsAtInfoAndCopiesKeepTheirOwnLevel) {
    const auto stream = std::make_shared<CapturingStream>();
    const StreamLogHandler handler("L", stream, std::nullopt);
    EXPECT_EQ(handler.logLevel(), LogLevel::info);
    Logger quiet("L", handler);
    const Logger chatty("L", handler);
    quiet.setLogLevel(LogLevel::error);

    chatty.debug("dropped");
    chatty.info("written by chatty");
    quiet.warning("dropped");
    EXPECT_EQ(chatty.logLevel(), LogLevel::info);
    ASSERT_EQ(stream->writes().size(), 1u);
    EXPECT_NE(stream->writes()[0].find("written by chatty"), std::string::npos);
}

TEST(StreamLogHandler, OneEventIsOneWriteOfOneLine) {
    const auto stream = std::make_shared<CapturingStream>();
    const Logger logger("L", StreamLogHandler("L", stream, providing({{"p", "1"}})));
    logger.info("first", [] { return Metadata{{"e", "2"}}; });
    logger.error("second", std::runtime_error("x"), std::nullopt, std::nullopt);
    const std::vector<std::string> writes = stream->writes();
    ASSERT_EQ(writes.size(), 2u);
    for (const std::string& line : writes) {
        EXPECT_EQ(line.find('\n'), line.size() - 1) << line;
    }
}

TEST(StreamLogHandler, LinesFromManyThreadsNeverInterleave) {
    constexpr int kThreads = 8;
    constexpr int kLinesPerThread = 200;
    const std::string payload(2000, 'x');
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    {
        const Logger logger(
            "threads",
            StreamLogHandler("threads",
                             std::make_shared<StdioOutputStream>(
                                 file, StdioOutputStream::FlushMode::undefined),
                             std::nullopt));
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) {
            // Each thread logs through its own copy of the logger, as components do.
            threads.emplace_back([logger, t, &payload] {
                for (int i = 0; i < kLinesPerThread; ++i) {
                    logger.info(
                        [&] { return std::to_string(t) + ":" + std::to_string(i) + ":" + payload; },
                        std::nullopt, "s");
                }
            });
        }
        for (std::thread& thread : threads) thread.join();
    }
    std::fflush(file);
    std::rewind(file);
    std::string contents;
    char chunk[65536];
    for (std::size_t read; (read = std::fread(chunk, 1, sizeof chunk, file)) > 0;) {
        contents.append(chunk, read);
    }
    std::fclose(file);

    const std::regex kLine(
        R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d{4} info threads: \[s\] (\d+:\d+):x{2000})");
    std::set<std::string> seen;
    std::istringstream lines(contents);
    for (std::string line; std::getline(lines, line);) {
        std::smatch match;
        ASSERT_TRUE(std::regex_match(line, match, kLine)) << line.substr(0, 120);
        EXPECT_TRUE(seen.insert(match[1]).second) << "twice: " << match[1];
    }
    EXPECT_EQ(seen.size(), static_cast<std::size_t>(kThreads * kLinesPerThread));
}

TEST(StreamLogHandler, RefusesANullStream) {
    EXPECT_THROW(StreamLogHandler("L", nullptr, std::nullopt), std::invalid_argument);
}

}  // namespace
}  // namespace logging
