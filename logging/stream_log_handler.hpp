#pragma once

#include "logging/log_handler.hpp"
#include "logging/text_output_stream.hpp"

#include <memory>
#include <optional>
#include <string>

namespace logging {

// StreamLogHandler: writes each event as one line of text to a TextOutputStream, in practice
// standard output or standard error. A line reads
//
//     2025-01-02T03:04:05+0100 info mcp.transport.stdio: id=7 session=ab [mcp] message
//
// that is: the local time with its UTC offset, the level, a blank and the label (left out with
// the blank when the label is empty), a colon, a blank and the metadata as key=value pairs
// sorted by key (left out with the blank when there is none), the source in square brackets,
// and the message. The metadata merges, weakest first, the handler's own, the provider's, the
// event's and the error's ("error.message" and "error.type").
//
// The handler starts at level info. It does not check levels itself (the Logger does), holds no
// lock, and writes each line with one write() call, so lines from several threads through one
// stream don't interleave. Copies share the stream, nothing else.
class StreamLogHandler final : public LogHandler {
public:
    // Handlers on standard output or standard error. The forms without a provider take the
    // logging system's metadata provider as it is now; a later bootstrap doesn't reach them.
    static StreamLogHandler standardOutput(std::string label);
    static StreamLogHandler standardOutput(std::string label,
                                           std::optional<MetadataProvider> metadataProvider);
    static StreamLogHandler standardError(std::string label);
    static StreamLogHandler standardError(std::string label,
                                          std::optional<MetadataProvider> metadataProvider);

    // A handler on `stream` (not null) with the logging system's metadata provider as it is now.
    StreamLogHandler(std::string label, std::shared_ptr<TextOutputStream> stream);
    // Throws std::invalid_argument for a null stream.
    StreamLogHandler(std::string label, std::shared_ptr<TextOutputStream> stream,
                     std::optional<MetadataProvider> metadataProvider);

    const std::string& label() const noexcept { return label_; }

    using LogHandler::log;
    std::unique_ptr<LogHandler> clone() const override;
    // Writes the event's line with one write() call.
    void log(const LogEvent& event) override;

    std::optional<MetadataProvider> metadataProvider() const override { return metadataProvider_; }
    void setMetadataProvider(std::optional<MetadataProvider> provider) override {
        metadataProvider_ = std::move(provider);
    }
    std::optional<MetadataValue> metadataValue(std::string_view key) const override;
    void setMetadataValue(std::string_view key, std::optional<MetadataValue> value) override;
    Metadata metadata() const override { return metadata_; }
    void setMetadata(Metadata metadata) override;
    LogLevel logLevel() const override { return logLevel_; }
    void setLogLevel(LogLevel level) override { logLevel_ = level; }

private:
    // The event's metadata merged over the handler's; nullopt when only the handler's own would
    // show, whose rendering is kept in prettyMetadata_.
    std::optional<Metadata> mergedMetadata(const LogEvent& event) const;

    std::shared_ptr<TextOutputStream> stream_;
    std::string label_;
    LogLevel logLevel_ = LogLevel::info;
    std::optional<MetadataProvider> metadataProvider_;
    // Always the rendering of metadata_: recomputed whenever it changes.
    std::optional<std::string> prettyMetadata_;
    Metadata metadata_;
};

}  // namespace logging
