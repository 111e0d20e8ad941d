#pragma once

#include "logging/log_handler.hpp"

#include <memory>
#include <optional>
#include <vector>

namespace logging {

// MultiplexLogHandler: hands every event to several child handlers, so one Logger writes to
// several places. Each child keeps its own level, metadata and provider; the order of the
// children decides who gets an event first and whose metadata wins. The multiplex owns its
// children: copying it copies them, and they change only through its own setters.
//
// Its level is the lowest (most verbose) of its children's, trace without children, until a
// level is set, which sets every child to it. The children are called one after the other on
// the logging thread.
class MultiplexLogHandler final : public LogHandler {
public:
    // Throws std::invalid_argument when a child is null.
    explicit MultiplexLogHandler(std::vector<std::unique_ptr<LogHandler>> handlers,
                                 std::optional<MetadataProvider> metadataProvider = std::nullopt);
    MultiplexLogHandler(const MultiplexLogHandler& other);
    MultiplexLogHandler(MultiplexLogHandler&&) = default;
    MultiplexLogHandler& operator=(MultiplexLogHandler other);
    ~MultiplexLogHandler() override = default;

    const std::vector<std::unique_ptr<LogHandler>>& handlers() const noexcept { return handlers_; }

    using LogHandler::log;
    std::unique_ptr<LogHandler> clone() const override;
    // Hands the event, unchanged, to each child in order whose level is at or below the event's.
    void log(const LogEvent& event) override;

    // The combined provider: the children's providers in order, then the multiplex's own; with
    // one child and at most one provider among the two, that provider itself.
    std::optional<MetadataProvider> metadataProvider() const override;
    // Sets every child's provider; the multiplex's own provider stays.
    void setMetadataProvider(std::optional<MetadataProvider> provider) override;

    // The value of the first child, in order, that has one for `key`.
    std::optional<MetadataValue> metadataValue(std::string_view key) const override;
    // Sets (or removes) the key in every child.
    void setMetadataValue(std::string_view key, std::optional<MetadataValue> value) override;

    // Every child's metadata and then its provider's, in child order, then the multiplex's own
    // provider, merged so that a later entry wins on equal keys.
    Metadata metadata() const override;
    // Sets the whole dictionary in every child.
    void setMetadata(Metadata metadata) override;

    LogLevel logLevel() const override { return effectiveLogLevel_; }
    // Sets every child's level, then reports `level` as its own.
    void setLogLevel(LogLevel level) override;

private:
    std::vector<std::unique_ptr<LogHandler>> handlers_;
    LogLevel effectiveLogLevel_;
    std::optional<MetadataProvider> metadataProvider_;
};

}  // namespace logging
