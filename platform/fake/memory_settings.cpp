#include "platform/fake/memory_settings.hpp"

namespace platform {

std::optional<std::string> MemorySettings::getString(std::string_view key) {
    validateSettingsKey(key);
    std::lock_guard lock(mutex_);
    const auto found = values_.find(key);
    if (found == values_.end()) return std::nullopt;
    return found->second;
}

void MemorySettings::setString(std::string_view key, std::string_view value) {
    validateSettingsKey(key);
    std::lock_guard lock(mutex_);
    values_.insert_or_assign(std::string(key), std::string(value));
    ++writes_;
}

std::string MemorySettings::getOrCreateString(std::string_view key, const std::function<std::string()>& make,
                                              const Usable& usable) {
    validateSettingsKey(key);
    std::lock_guard lock(mutex_);
    if (const auto found = values_.find(key); found != values_.end() && (!usable || usable(found->second))) {
        return found->second;
    }
    auto made = make();
    values_.insert_or_assign(std::string(key), made);
    ++writes_;
    return made;
}

std::map<std::string, std::string, std::less<>> MemorySettings::values() const {
    std::lock_guard lock(mutex_);
    return values_;
}

int MemorySettings::writes() const {
    std::lock_guard lock(mutex_);
    return writes_;
}

}  // namespace platform
