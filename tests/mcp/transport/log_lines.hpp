#pragma once

// The log lines a transport wrote, as "level message" with its metadata after it in key
// order ("trace Message received size=3"), so that a test compares them in one expectation.

#include "tests/logging/recording_log_handler.hpp"

#include "logging/logger.hpp"

#include <string>
#include <utility>
#include <vector>

namespace mcp::testing {

class LogLines {
public:
    // Reads `journal`, which other loggers may record into as well.
    explicit LogLines(logging::testing::Journal journal = logging::testing::makeJournal())
        : journal_(std::move(journal)) {}

    // A logger labelled `label` that records every level into this journal.
    logging::Logger logger(std::string label = "test") const {
        return logging::Logger(std::move(label), logging::testing::RecordingLogHandler(journal_));
    }

    std::vector<std::string> lines() const {
        std::vector<std::string> lines;
        for (const auto& received : *journal_) {
            std::string line = std::string(logging::rawValue(received.event.level)) + " " + received.event.message.value;
            if (received.event.metadata) {
                for (const auto& [key, value] : *received.event.metadata) line += " " + key + "=" + value.description();
            }
            lines.push_back(std::move(line));
        }
        return lines;
    }

    void clear() const { journal_->clear(); }

private:
    logging::testing::Journal journal_;
};

}  // namespace mcp::testing
