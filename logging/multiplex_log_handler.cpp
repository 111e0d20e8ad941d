#include "logging/multiplex_log_handler.hpp"

#include "logging/detail/merge_metadata.hpp"

#include <algorithm>
#include <stdexcept>

namespace logging {

MultiplexLogHandler::MultiplexLogHandler(std::vector<std::unique_ptr<LogHandler>> handlers,
                                         std::optional<MetadataProvider> metadataProvider)
    : handlers_(std::move(handlers)),
      effectiveLogLevel_(LogLevel::trace),
      metadataProvider_(std::move(metadataProvider)) {
    if (std::ranges::any_of(handlers_, [](const auto& handler) { return !handler; })) {
        throw std::invalid_argument("a multiplex log handler needs non-null children");
    }
    if (!handlers_.empty()) {
        effectiveLogLevel_ =
            (*std::ranges::min_element(handlers_, {}, &LogHandler::logLevel))->logLevel();
    }
}

MultiplexLogHandler::MultiplexLogHandler(const MultiplexLogHandler& other)
    : LogHandler(other),
      effectiveLogLevel_(other.effectiveLogLevel_),
      metadataProvider_(other.metadataProvider_) {
    handlers_.reserve(other.handlers_.size());
    for (const auto& handler : other.handlers_) handlers_.push_back(handler->clone());
}

MultiplexLogHandler& MultiplexLogHandler::operator=(MultiplexLogHandler other) {
    handlers_ = std::move(other.handlers_);
    effectiveLogLevel_ = other.effectiveLogLevel_;
    metadataProvider_ = std::move(other.metadataProvider_);
    return *this;
}

std::unique_ptr<LogHandler> MultiplexLogHandler::clone() const {
    return std::make_unique<MultiplexLogHandler>(*this);
}

void MultiplexLogHandler::log(const LogEvent& event) {
    for (const auto& handler : handlers_) {
        if (event.level >= handler->logLevel()) handler->log(event);
    }
}

std::optional<MetadataProvider> MultiplexLogHandler::metadataProvider() const {
    if (handlers_.size() == 1) {
        std::optional<MetadataProvider> childProvider = handlers_.front()->metadataProvider();
        if (!childProvider) return metadataProvider_;
        if (!metadataProvider_) return childProvider;
        return MetadataProvider::multiplex({*std::move(childProvider), *metadataProvider_});
    }
    std::vector<MetadataProvider> providers;
    for (const auto& handler : handlers_) {
        if (auto provider = handler->metadataProvider()) providers.push_back(*std::move(provider));
    }
    if (metadataProvider_) providers.push_back(*metadataProvider_);
    if (providers.empty()) return std::nullopt;
    return MetadataProvider::multiplex(std::move(providers));
}

void MultiplexLogHandler::setMetadataProvider(std::optional<MetadataProvider> provider) {
    for (const auto& handler : handlers_) handler->setMetadataProvider(provider);
}

std::optional<MetadataValue> MultiplexLogHandler::metadataValue(std::string_view key) const {
    for (const auto& handler : handlers_) {
        if (auto value = handler->metadataValue(key)) return value;
    }
    return std::nullopt;
}

void MultiplexLogHandler::setMetadataValue(std::string_view key,
                                           std::optional<MetadataValue> value) {
    for (const auto& handler : handlers_) handler->setMetadataValue(key, value);
}

Metadata MultiplexLogHandler::metadata() const {
    Metadata merged;
    for (const auto& handler : handlers_) {
        detail::mergeMetadata(merged, handler->metadata());
        if (auto provider = handler->metadataProvider()) {
            detail::mergeMetadata(merged, provider->get());
        }
    }
    if (metadataProvider_) detail::mergeMetadata(merged, metadataProvider_->get());
    return merged;
}

void MultiplexLogHandler::setMetadata(Metadata metadata) {
    for (const auto& handler : handlers_) handler->setMetadata(metadata);
}

void MultiplexLogHandler::setLogLevel(LogLevel level) {
    for (const auto& handler : handlers_) handler->setLogLevel(level);
    effectiveLogLevel_ = level;
}

}  // namespace logging
