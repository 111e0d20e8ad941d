#pragma once

#include "logging/detail/lazy_argument.hpp"
#include "logging/detail/logger_binding.hpp"
#include "logging/log_event.hpp"
#include "logging/log_handler.hpp"
#include "logging/log_level.hpp"
#include "logging/log_message.hpp"
#include "logging/logging_system.hpp"
#include "logging/metadata_provider.hpp"
#include "logging/metadata_value.hpp"
#include "logging/metadata_value_attributes.hpp"
#include "logging/string_interpolation.hpp"

#include <concepts>
#include <memory>
#include <optional>
#include <source_location>
#include <string>
#include <string_view>
#include <utility>

namespace logging {

// Logger: the front end of the logging facade. A small value labelled with the name of the
// component that owns it ("mcp.transport.stdio"), through which code logs events at seven
// levels with a message and optional metadata. It formats and writes nothing itself: it asks
// its handler for its level and, when an event passes, hands the handler one LogEvent.
//
//     logging::Logger logger("mcp.transport.stdio", logging::NoOpLogHandler());
//     logger.debug([&] { return "read " + std::to_string(size) + " bytes"; },
//                  [&] { return logging::Logger::Metadata{{"session", sessionID}}; });
//
// Every log call is inline: it reads the handler's level and returns at once when the event is
// below it, without calling any of the callables it was given (message, error, metadata,
// source). Otherwise it calls them in that order, on the calling thread, and hands the event to
// the handler. The call site's file, function and line come from std::source_location.
//
// Copies share one storage until one of them changes its handler, level or metadata; the copy
// that changes takes its own storage first, so a change is never seen through another copy.
// Copies may be used from different threads at the same time; one copy must not be changed
// from two threads at once. Logging throws nothing of its own.
class Logger {
public:
    using Level = LogLevel;
    using Message = LogMessage;
    using Metadata = logging::Metadata;
    using MetadataValue = logging::MetadataValue;
    using MetadataProvider = logging::MetadataProvider;
    using MetadataValueAttributes = logging::MetadataValueAttributes;
    using AttributedStringCarrier = logging::AttributedStringCarrier;

    // A logger over `handler`, unchanged; this is how library components make their loggers.
    template <LogHandlerValue H>
    Logger(std::string label, H handler)
        : Logger(std::move(label), detail::boxHandler(std::move(handler))) {}
    // Throws std::invalid_argument for a null handler.
    Logger(std::string label, std::unique_ptr<LogHandler> handler);

    // A logger over the handler `factory` makes for the label; the logging system is not
    // consulted. The factory returns a handler value or a std::unique_ptr<LogHandler>.
    template <class F>
        requires std::invocable<F&, const std::string&> &&
                 (!LogHandlerValue<F>) && (!std::convertible_to<F, std::unique_ptr<LogHandler>>)
    Logger(std::string label, F&& factory)
        : Logger(label, detail::boxHandler(std::invoke(factory, std::as_const(label)))) {}

    // Loggers made through the process-wide LoggingSystem (see logging_system.hpp).
    //
    // Over the handler the system's factory makes for `label` and the system's provider.
    explicit Logger(std::string label);
    // Over the handler the system's factory makes for `label` and `metadataProvider`, whose
    // provider is then set to `metadataProvider`.
    Logger(std::string label, MetadataProvider metadataProvider);
    // Over the handler `factory` makes for `label` and the system's provider.
    template <class F>
        requires std::invocable<F&, const std::string&, const std::optional<MetadataProvider>&> &&
                 (!std::invocable<F&, const std::string&>)
    Logger(std::string label, F&& factory)
        : Logger(label, detail::boxHandler(std::invoke(factory, std::as_const(label),
                                                       LoggingSystem::metadataProvider()))) {}

    const std::string& label() const noexcept { return storage_->label; }

    // The handler; the reference is valid until this logger is changed or destroyed.
    const LogHandler& handler() const noexcept { return *storage_->handler; }
    template <LogHandlerValue H>
    void setHandler(H handler) {
        setHandler(detail::boxHandler(std::move(handler)));
    }
    // Throws std::invalid_argument for a null handler.
    void setHandler(std::unique_ptr<LogHandler> handler);

    // The handler's level; setting it changes this logger's copy of the handler only.
    Level logLevel() const { return storage_->handler->logLevel(); }
    void setLogLevel(Level level);

    // The handler's value for one metadata key; setting nullopt removes the key. Changes this
    // logger's copy of the handler only.
    std::optional<MetadataValue> metadataValue(std::string_view key) const {
        return storage_->handler->metadataValue(key);
    }
    void setMetadataValue(std::string_view key, std::optional<MetadataValue> value);

    std::optional<MetadataProvider> metadataProvider() const {
        return storage_->handler->metadataProvider();
    }

    // Logs at `level`. The message is text or a callable returning text; the error an exception
    // object, an error code, a std::exception_ptr or a callable returning one; the metadata a
    // callable returning Metadata (or an optional of it); the source text or a callable
    // returning it. std::nullopt leaves an error, metadata or source out. Without a source,
    // handlers show the module of the call site's file.
    template <detail::MessageArgument M>
    void log(Level level, M&& message,
             std::source_location location = std::source_location::current()) const {
        if (level < logLevel()) return;
        dispatch(level, message, std::nullopt, std::nullopt, std::nullopt, location);
    }
    template <detail::MessageArgument M, detail::MetadataArgument D>
    void log(Level level, M&& message, D&& metadata,
             std::source_location location = std::source_location::current()) const {
        if (level < logLevel()) return;
        dispatch(level, message, std::nullopt, metadata, std::nullopt, location);
    }
    template <detail::MessageArgument M, detail::MetadataArgument D, detail::SourceArgument S>
    void log(Level level, M&& message, D&& metadata, S&& source,
             std::source_location location = std::source_location::current()) const {
        if (level < logLevel()) return;
        dispatch(level, message, std::nullopt, metadata, source, location);
    }
    template <detail::MessageArgument M, detail::ErrorArgument E, detail::MetadataArgument D,
              detail::SourceArgument S>
    void log(Level level, M&& message, E&& error, D&& metadata, S&& source,
             std::source_location location = std::source_location::current()) const {
        if (level < logLevel()) return;
        dispatch(level, message, error, metadata, source, location);
    }

// The same four forms for each level, named after it: trace(...), debug(...), ... critical(...).
#define VANTOR_LOGGING_LEVEL_FORMS(name)                                                        \
    template <detail::MessageArgument M>                                                        \
    void name(M&& message, std::source_location location = std::source_location::current())    \
        const {                                                                                 \
        log(Level::name, message, location);                                                    \
    }                                                                                           \
    template <detail::MessageArgument M, detail::MetadataArgument D>                            \
    void name(M&& message, D&& metadata,                                                        \
              std::source_location location = std::source_location::current()) const {         \
        log(Level::name, message, metadata, location);                                          \
    }                                                                                           \
    template <detail::MessageArgument M, detail::MetadataArgument D, detail::SourceArgument S>  \
    void name(M&& message, D&& metadata, S&& source,                                            \
              std::source_location location = std::source_location::current()) const {         \
        log(Level::name, message, metadata, source, location);                                  \
    }                                                                                           \
    template <detail::MessageArgument M, detail::ErrorArgument E, detail::MetadataArgument D,   \
              detail::SourceArgument S>                                                         \
    void name(M&& message, E&& error, D&& metadata, S&& source,                                 \
              std::source_location location = std::source_location::current()) const {         \
        log(Level::name, message, error, metadata, source, location);                           \
    }

    VANTOR_LOGGING_LEVEL_FORMS(trace)
    VANTOR_LOGGING_LEVEL_FORMS(debug)
    VANTOR_LOGGING_LEVEL_FORMS(info)
    VANTOR_LOGGING_LEVEL_FORMS(notice)
    VANTOR_LOGGING_LEVEL_FORMS(warning)
    VANTOR_LOGGING_LEVEL_FORMS(error)
    VANTOR_LOGGING_LEVEL_FORMS(critical)
#undef VANTOR_LOGGING_LEVEL_FORMS

    // The current logger: the one bound to the calling thread by the innermost running
    // withTaskLocalLogger or withLogger call (see task_local_logger.hpp), else the default, a
    // logger with the empty label made through the LoggingSystem the first time it is needed
    // and kept unchanged for the life of the process, even if the system is bootstrapped later.
    static Logger current();

    // Binds `logger` as the current logger of the calling thread while `operation` runs, and
    // returns its result. Whatever `operation` throws passes through unchanged, after the
    // previous binding is back.
    template <std::invocable F>
    static decltype(auto) withTaskLocalLogger(const Logger& logger, F&& operation) {
        const Logger bound = logger;
        const detail::ScopedLoggerBinding binding(bound);
        return std::invoke(std::forward<F>(operation));
    }

    // The module of a file identifier ("mcp/server.cpp" gives "mcp"); "n/a" without a "/".
    static std::string_view currentModule(std::string_view fileID) noexcept;
    // The name of the directory holding the file at `filePath` ("/src/mcp/server.cpp" gives
    // "mcp"); "n/a" when the path has fewer than two "/".
    static std::string_view currentModuleOfFilePath(std::string_view filePath) noexcept;

private:
    struct Storage {
        std::string label;
        std::unique_ptr<LogHandler> handler;
    };

    // Evaluates the arguments of an event that passed the level check, in the order message,
    // error, metadata, source, and hands the event to the handler.
    template <class M, class E, class D, class S>
    void dispatch(Level level, M& message, E& error, D& metadata, S& source,
                  const std::source_location& location) const {
        LogMessage evaluatedMessage = detail::evaluateMessage(message);
        std::optional<LogError> evaluatedError = detail::evaluateError(error);
        std::optional<Metadata> evaluatedMetadata = detail::evaluateMetadata(metadata);
        std::optional<std::string> evaluatedSource = detail::evaluateSource(source);
        send(LogEvent(level, std::move(evaluatedMessage), std::move(evaluatedError),
                      std::move(evaluatedMetadata), std::move(evaluatedSource),
                      fileIDOf(location), location.function_name(), location.line()));
    }

    static std::string fileIDOf(const std::source_location& location);
    void send(const LogEvent& event) const;
    // Whether no other copy shares the storage, so it may be changed in place.
    bool ownsStorage() const noexcept;
    // Gives this logger a handler of its own to change: a clone when the storage is shared.
    LogHandler& handlerToChange();

    std::shared_ptr<Storage> storage_;
};

}  // namespace logging
