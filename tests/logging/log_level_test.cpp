#include "logging/log_level.hpp"

#include <gtest/gtest.h>

#include <sstream>

namespace logging {
namespace {

TEST(LogLevel, NamesAreTheLowerCaseWordsInSeverityOrder) {
    constexpr std::string_view kNames[] = {"trace",   "debug", "info",    "notice",
                                           "warning", "error", "critical"};
    for (std::size_t i = 0; i < kAllLogLevels.size(); ++i) {
        SCOPED_TRACE(kNames[i]);
        EXPECT_EQ(rawValue(kAllLogLevels[i]), kNames[i]);
        EXPECT_EQ(logLevelFromRawValue(kNames[i]), kAllLogLevels[i]);
        std::ostringstream text;
        text << kAllLogLevels[i];
        EXPECT_EQ(text.str(), kNames[i]);
        if (i > 0) {
            EXPECT_LT(kAllLogLevels[i - 1], kAllLogLevels[i]);
        }
    }
}

TEST(LogLevel, RawValueIsCaseSensitiveWhileTextIgnoresCase) {
    constexpr struct {
        std::string_view text;
        std::optional<LogLevel> fromRawValue, fromText;
    } kCases[] = {
        {"info", LogLevel::info, LogLevel::info},
        {"Info", std::nullopt, LogLevel::info},
        {"WARNING", std::nullopt, LogLevel::warning},
        {"Warning", std::nullopt, LogLevel::warning},
        {"CRITICAL", std::nullopt, LogLevel::critical},
        {"", std::nullopt, std::nullopt},
        {"verbose", std::nullopt, std::nullopt},
        {"informational", std::nullopt, std::nullopt},
        {" info", std::nullopt, std::nullopt},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(logLevelFromRawValue(c.text), c.fromRawValue);
        EXPECT_EQ(logLevelFromText(c.text), c.fromText);
    }
}

}  // namespace
}  // namespace logging
