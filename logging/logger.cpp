#include "logging/logger.hpp"

#include "logging/detail/file_id.hpp"

#include <atomic>
#include <stdexcept>

namespace logging {

Logger::Logger(std::string label, std::unique_ptr<LogHandler> handler) {
    if (!handler) throw std::invalid_argument("a logger needs a handler");
    storage_ = std::make_shared<Storage>(Storage{std::move(label), std::move(handler)});
}

Logger::Logger(std::string label) {
    // The two settings are read one after the other, each under its own lock; the factory
    // runs with no lock held.
    const std::optional<MetadataProvider> provider = LoggingSystem::metadataProvider();
    std::unique_ptr<LogHandler> handler = LoggingSystem::factory()(label, provider);
    *this = Logger(std::move(label), std::move(handler));
}

Logger::Logger(std::string label, MetadataProvider metadataProvider) {
    std::unique_ptr<LogHandler> handler = LoggingSystem::factory()(label, metadataProvider);
    if (handler) handler->setMetadataProvider(std::move(metadataProvider));
    *this = Logger(std::move(label), std::move(handler));
}

void Logger::setHandler(std::unique_ptr<LogHandler> handler) {
    if (!handler) throw std::invalid_argument("a logger needs a handler");
    if (ownsStorage()) {
        storage_->handler = std::move(handler);
    } else {
        storage_ = std::make_shared<Storage>(Storage{storage_->label, std::move(handler)});
    }
}

bool Logger::ownsStorage() const noexcept {
    if (storage_.use_count() != 1) return false;
    // Another copy may have just let go of the storage on another thread, after reading it;
    // those reads must be over before this copy changes it.
    std::atomic_thread_fence(std::memory_order_acquire);
    return true;
}

LogHandler& Logger::handlerToChange() {
    if (!ownsStorage()) {
        storage_ = std::make_shared<Storage>(Storage{storage_->label, storage_->handler->clone()});
    }
    return *storage_->handler;
}

void Logger::setLogLevel(Level level) { handlerToChange().setLogLevel(level); }

void Logger::setMetadataValue(std::string_view key, std::optional<MetadataValue> value) {
    handlerToChange().setMetadataValue(key, std::move(value));
}

std::string_view Logger::currentModule(std::string_view fileID) noexcept {
    return detail::moduleOfFileID(fileID);
}

std::string_view Logger::currentModuleOfFilePath(std::string_view filePath) noexcept {
    return detail::moduleOfFilePath(filePath);
}

std::string Logger::fileIDOf(const std::source_location& location) {
    return std::string(detail::fileID(location.file_name()));
}

void Logger::send(const LogEvent& event) const { storage_->handler->log(event); }

}  // namespace logging
