#pragma once

#include "logging/log_handler.hpp"

#include <memory>
#include <string>
#include <vector>

namespace logging::testing {

// One event as a RecordingLogHandler received it, with the name of the handler that got it.
struct ReceivedEvent {
    std::string handler;
    LogEvent event;
};
using Journal = std::shared_ptr<std::vector<ReceivedEvent>>;

inline Journal makeJournal() { return std::make_shared<std::vector<ReceivedEvent>>(); }

// A handler that appends every event it gets to a journal. Copies share the journal, so a test
// sees what any logger copy logged; level, metadata and provider are per copy like any handler.
class RecordingLogHandler final : public LogHandler {
public:
    explicit RecordingLogHandler(Journal journal, LogLevel level = LogLevel::trace,
                                 std::string name = "recorder")
        : journal_(std::move(journal)), level_(level), name_(std::move(name)) {}

    using LogHandler::log;
    std::unique_ptr<LogHandler> clone() const override {
        return std::make_unique<RecordingLogHandler>(*this);
    }
    void log(const LogEvent& event) override { journal_->push_back({name_, event}); }

    std::optional<MetadataProvider> metadataProvider() const override { return provider_; }
    void setMetadataProvider(std::optional<MetadataProvider> provider) override {
        provider_ = std::move(provider);
    }
    std::optional<MetadataValue> metadataValue(std::string_view key) const override {
        const auto found = metadata_.find(key);
        if (found == metadata_.end()) return std::nullopt;
        return found->second;
    }
    void setMetadataValue(std::string_view key, std::optional<MetadataValue> value) override {
        if (value) {
            metadata_.insert_or_assign(std::string(key), *std::move(value));
        } else if (const auto found = metadata_.find(key); found != metadata_.end()) {
            metadata_.erase(found);
        }
    }
    Metadata metadata() const override { return metadata_; }
    void setMetadata(Metadata metadata) override { metadata_ = std::move(metadata); }
    LogLevel logLevel() const override { return level_; }
    void setLogLevel(LogLevel level) override { level_ = level; }

private:
    Journal journal_;
    LogLevel level_;
    std::string name_;
    Metadata metadata_;
    std::optional<MetadataProvider> provider_;
};

}  // namespace logging::testing
