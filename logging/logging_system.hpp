#pragma once

#include "logging/log_handler.hpp"
#include "logging/metadata_provider.hpp"

#include <concepts>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace logging {

// LoggingSystem: the two process-wide settings of the facade, used only by loggers made by
// label alone (Logger(label) and the forms that take a provider or a two-argument factory):
//
// - the handler factory, which makes such a logger's handler from its label and the provider;
//   until bootstrap it makes StreamLogHandler::standardError(label);
// - the metadata provider, absent until bootstrap.
//
// A program sets them once, early, with one of the two bootstrap forms. A second bootstrap in
// the same process, of either form, is a programming error: it throws std::logic_error
// "logging system can only be initialized once per process." and changes nothing. Library
// components never bootstrap and never read these settings: they get their logger from the
// caller or make one over NoOpLogHandler.
//
// Any thread may read the settings at any time; bootstrap waits for readers to finish. No lock
// is held while a factory or provider runs.
class LoggingSystem {
public:
    // Makes a handler for a label and the process-wide provider (absent when there is none).
    using HandlerFactory = std::function<std::unique_ptr<LogHandler>(
        const std::string& label, const std::optional<MetadataProvider>& metadataProvider)>;

    LoggingSystem() = delete;

    // Installs `factory` (label -> handler value or std::unique_ptr<LogHandler>) as the
    // handler factory; the provider setting stays as it is.
    template <class F>
        requires std::invocable<F&, const std::string&> && std::copy_constructible<F>
    static void bootstrap(F factory) {
        replaceFactory(
            [factory](const std::string& label, const std::optional<MetadataProvider>&) mutable {
                return detail::boxHandler(factory(label));
            });
    }

    // Installs `metadataProvider` (absent is allowed and counts as set) and `factory`, which
    // also receives the provider.
    template <class F>
        requires std::invocable<F&, const std::string&, const std::optional<MetadataProvider>&> &&
                 std::copy_constructible<F>
    static void bootstrap(F factory, std::optional<MetadataProvider> metadataProvider) {
        replaceProviderAndFactory(
            std::move(metadataProvider),
            [factory](const std::string& label,
                      const std::optional<MetadataProvider>& provider) mutable {
                return detail::boxHandler(factory(label, provider));
            });
    }

    // The process-wide metadata provider, absent until a bootstrap sets one.
    static std::optional<MetadataProvider> metadataProvider();

private:
    friend class Logger;

    static HandlerFactory factory();
    static void replaceFactory(HandlerFactory factory);
    static void replaceProviderAndFactory(std::optional<MetadataProvider> metadataProvider,
                                          HandlerFactory factory);
};

}  // namespace logging
