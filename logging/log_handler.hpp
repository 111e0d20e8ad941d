#pragma once

#include "logging/log_event.hpp"
#include "logging/metadata_provider.hpp"

#include <concepts>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace logging {

// LogHandler: what a Logger hands its events to. A handler behaves as a value: it holds its
// own level, metadata and optional metadata provider, every Logger holds its own copy (made
// with clone()), and changing one copy never shows in another. The logger checks the level
// before it builds an event, so log(const LogEvent&) only sees events that passed.
//
// A handler may be copied to, and used from, any thread; one that writes to something shared
// (a stream) guards it itself. One copy is changed from one thread at a time.
class LogHandler {
public:
    virtual ~LogHandler() = default;

    // A copy of this handler with the same level, metadata and provider. Loggers call it before
    // they change a handler they share with another logger.
    virtual std::unique_ptr<LogHandler> clone() const = 0;

    // Does whatever the handler does with one event. Every handler implements this; it must
    // not throw.
    virtual void log(const LogEvent& event) = 0;

    // Older entry points kept for callers that pass the parts of an event. Both build an event
    // without error and call log(const LogEvent&). The first keeps `source`; the second takes the
    // name of the directory holding `file` as the source ("n/a" when there is none).
    void log(LogLevel level, LogMessage message, std::optional<Metadata> metadata,
             std::string source, std::string file, std::string function, std::uint32_t line);
    void log(LogLevel level, LogMessage message, std::optional<Metadata> metadata,
             std::string file, std::string function, std::uint32_t line);

    // The provider the handler asks for metadata on each event. Handlers without provider
    // support keep these defaults: nothing is read, writes are ignored.
    virtual std::optional<MetadataProvider> metadataProvider() const { return std::nullopt; }
    virtual void setMetadataProvider(std::optional<MetadataProvider> /*provider*/) {}

    // The handler's value for one metadata key; nullopt when it has none.
    virtual std::optional<MetadataValue> metadataValue(std::string_view key) const = 0;
    // Sets one key; nullopt removes it.
    virtual void setMetadataValue(std::string_view key, std::optional<MetadataValue> value) = 0;

    virtual Metadata metadata() const = 0;
    virtual void setMetadata(Metadata metadata) = 0;

    // The lowest level the handler wants; the logger drops events below it.
    virtual LogLevel logLevel() const = 0;
    virtual void setLogLevel(LogLevel level) = 0;

protected:
    LogHandler() = default;
    LogHandler(const LogHandler&) = default;
    LogHandler(LogHandler&&) = default;
    LogHandler& operator=(const LogHandler&) = default;
    LogHandler& operator=(LogHandler&&) = default;
};

// A concrete handler type a Logger can take by value.
template <class H>
concept LogHandlerValue = std::derived_from<std::remove_cvref_t<H>, LogHandler> &&
                          std::copy_constructible<std::remove_cvref_t<H>>;

namespace detail {

// Moves a handler value, or takes a handler pointer, into the form loggers and factories keep.
template <class H>
    requires LogHandlerValue<H> || std::convertible_to<H, std::unique_ptr<LogHandler>>
std::unique_ptr<LogHandler> boxHandler(H&& handler) {
    if constexpr (LogHandlerValue<H>) {
        return std::make_unique<std::remove_cvref_t<H>>(std::forward<H>(handler));
    } else {
        return std::unique_ptr<LogHandler>(std::forward<H>(handler));
    }
}

}  // namespace detail

}  // namespace logging
