#pragma once

#include "logging/log_handler.hpp"

namespace logging {

// NoOpLogHandler: discards everything. Library components that are given no logger make their
// own over this handler, so they write nothing unless the caller passes a logger. Its level is
// always critical, which lets a Logger return before it builds anything for the six lower
// levels; every write (level, metadata, key) is ignored.
class NoOpLogHandler final : public LogHandler {
public:
    NoOpLogHandler() = default;
    // The label is not kept; this form exists so the handler can be made by label.
    explicit NoOpLogHandler(std::string_view label);

    using LogHandler::log;
    std::unique_ptr<LogHandler> clone() const override;
    void log(const LogEvent& event) override;

    std::optional<MetadataValue> metadataValue(std::string_view key) const override;
    void setMetadataValue(std::string_view key, std::optional<MetadataValue> value) override;
    Metadata metadata() const override;
    void setMetadata(Metadata metadata) override;
    LogLevel logLevel() const override { return LogLevel::critical; }
    void setLogLevel(LogLevel level) override;
};

}  // namespace logging
