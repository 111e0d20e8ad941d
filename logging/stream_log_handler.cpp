#include "logging/stream_log_handler.hpp"

#include "logging/detail/merge_metadata.hpp"
#include "logging/logging_system.hpp"
#include "logging/stdio_output_stream.hpp"

#include <ctime>
#include <stdexcept>

namespace logging {

namespace {

// The local time as "2025-01-02T03:04:05+0100", or "<unknown>" when it can't be had.
std::string timestamp() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    // localtime_r does not promise to notice a changed TZ the way localtime does.
    tzset();
    if (localtime_r(&now, &local) == nullptr) return "<unknown>";
    char text[255] = {};
    const std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S%z", &local);
    return std::string(text, length);
}

// Entries sorted by key, as key=value joined by blanks; nullopt for no entries.
std::optional<std::string> prettify(const Metadata& metadata) {
    if (metadata.empty()) return std::nullopt;
    std::string text;
    for (const auto& [key, value] : metadata) {
        if (!text.empty()) text.push_back(' ');
        text.append(key).append("=").append(value.description());
    }
    return text;
}

}  // namespace

StreamLogHandler StreamLogHandler::standardOutput(std::string label) {
    return StreamLogHandler(std::move(label), StdioOutputStream::standardOutput());
}

StreamLogHandler StreamLogHandler::standardOutput(
    std::string label, std::optional<MetadataProvider> metadataProvider) {
    return StreamLogHandler(std::move(label), StdioOutputStream::standardOutput(),
                            std::move(metadataProvider));
}

StreamLogHandler StreamLogHandler::standardError(std::string label) {
    return StreamLogHandler(std::move(label), StdioOutputStream::standardError());
}

StreamLogHandler StreamLogHandler::standardError(
    std::string label, std::optional<MetadataProvider> metadataProvider) {
    return StreamLogHandler(std::move(label), StdioOutputStream::standardError(),
                            std::move(metadataProvider));
}

StreamLogHandler::StreamLogHandler(std::string label, std::shared_ptr<TextOutputStream> stream)
    : StreamLogHandler(std::move(label), std::move(stream), LoggingSystem::metadataProvider()) {}

StreamLogHandler::StreamLogHandler(std::string label, std::shared_ptr<TextOutputStream> stream,
                                   std::optional<MetadataProvider> metadataProvider)
    : stream_(std::move(stream)),
      label_(std::move(label)),
      metadataProvider_(std::move(metadataProvider)) {
    if (!stream_) throw std::invalid_argument("a stream log handler needs a stream");
}

std::unique_ptr<LogHandler> StreamLogHandler::clone() const {
    return std::make_unique<StreamLogHandler>(*this);
}

std::optional<MetadataValue> StreamLogHandler::metadataValue(std::string_view key) const {
    const auto found = metadata_.find(key);
    if (found == metadata_.end()) return std::nullopt;
    return found->second;
}

void StreamLogHandler::setMetadataValue(std::string_view key, std::optional<MetadataValue> value) {
    if (value) {
        metadata_.insert_or_assign(std::string(key), *std::move(value));
    } else if (const auto found = metadata_.find(key); found != metadata_.end()) {
        metadata_.erase(found);
    }
    prettyMetadata_ = prettify(metadata_);
}

void StreamLogHandler::setMetadata(Metadata metadata) {
    metadata_ = std::move(metadata);
    prettyMetadata_ = prettify(metadata_);
}

std::optional<Metadata> StreamLogHandler::mergedMetadata(const LogEvent& event) const {
    Metadata provided = metadataProvider_ ? metadataProvider_->get() : Metadata{};
    const bool eventHasMetadata = event.metadata && !event.metadata->empty();
    if (provided.empty() && !eventHasMetadata && !event.error) return std::nullopt;

    Metadata merged = metadata_;
    detail::mergeMetadata(merged, std::move(provided));
    if (eventHasMetadata) detail::mergeMetadata(merged, *event.metadata);
    if (event.error) {
        merged.insert_or_assign("error.message", event.error->description());
        merged.insert_or_assign("error.type", event.error->typeName());
    }
    return merged;
}

void StreamLogHandler::log(const LogEvent& event) {
    const std::optional<Metadata> merged = mergedMetadata(event);
    const std::optional<std::string> metadataText = merged ? prettify(*merged) : prettyMetadata_;
    const std::string time = timestamp();
    const std::string_view level = rawValue(event.level);
    const std::string source = event.source();

    std::string line;
    line.reserve(time.size() + level.size() + label_.size() +
                 (metadataText ? metadataText->size() : 0) + source.size() +
                 event.message.value.size() + 16);
    line.append(time).append(" ").append(level);
    if (!label_.empty()) line.append(" ").append(label_);
    line.append(":");
    if (metadataText) line.append(" ").append(*metadataText);
    line.append(" [").append(source).append("] ").append(event.message.value).append("\n");
    stream_->write(line);
}

}  // namespace logging
