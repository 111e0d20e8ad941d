#include "logging/logging_system.hpp"

#include "logging/lock.hpp"
#include "logging/stream_log_handler.hpp"

#include <stdexcept>

namespace logging {

namespace {

constexpr const char* kSecondBootstrap = "logging system can only be initialized once per process.";

// One process-wide setting: read under a shared lock, replaced at most once.
template <class T>
class ReplaceOnceSetting {
public:
    explicit ReplaceOnceSetting(T initial) : value_(std::move(initial)) {}

    T get() {
        return lock_.withReaderLock([&] { return value_; });
    }

    ReadWriteLock& lock() noexcept { return lock_; }
    // The caller holds lock() for writing.
    bool replaced() const noexcept { return replaced_; }
    void replace(T value) {
        value_ = std::move(value);
        replaced_ = true;
    }

private:
    ReadWriteLock lock_;
    T value_;
    bool replaced_ = false;
};

// Both settings are made on first use (once, whichever thread asks first) and never destroyed,
// so loggers can still be made while other static objects are torn down.
ReplaceOnceSetting<LoggingSystem::HandlerFactory>& factorySetting() {
    static auto* setting = new ReplaceOnceSetting<LoggingSystem::HandlerFactory>(
        [](const std::string& label, const std::optional<MetadataProvider>&) {
            return std::unique_ptr<LogHandler>(
                std::make_unique<StreamLogHandler>(StreamLogHandler::standardError(label)));
        });
    return *setting;
}

ReplaceOnceSetting<std::optional<MetadataProvider>>& providerSetting() {
    static auto* setting = new ReplaceOnceSetting<std::optional<MetadataProvider>>(std::nullopt);
    return *setting;
}

}  // namespace

std::optional<MetadataProvider> LoggingSystem::metadataProvider() {
    return providerSetting().get();
}

LoggingSystem::HandlerFactory LoggingSystem::factory() { return factorySetting().get(); }

void LoggingSystem::replaceFactory(HandlerFactory factory) {
    auto& setting = factorySetting();
    setting.lock().withWriterLock([&] {
        if (setting.replaced()) throw std::logic_error(kSecondBootstrap);
        setting.replace(std::move(factory));
    });
}

void LoggingSystem::replaceProviderAndFactory(std::optional<MetadataProvider> metadataProvider,
                                              HandlerFactory factory) {
    // Both settings are checked before either changes, so a refused bootstrap leaves the
    // process as it was. Bootstrap is the only place holding both locks, always in this order.
    auto& providers = providerSetting();
    auto& factories = factorySetting();
    providers.lock().withWriterLock([&] {
        factories.lock().withWriterLock([&] {
            if (providers.replaced() || factories.replaced()) {
                throw std::logic_error(kSecondBootstrap);
            }
            providers.replace(std::move(metadataProvider));
            factories.replace(std::move(factory));
        });
    });
}

}  // namespace logging
