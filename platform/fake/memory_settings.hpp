#pragma once

#include "platform/settings.hpp"

#include <map>
#include <mutex>

namespace platform {

// MemorySettings: Settings held in memory, for tests. It checks keys like the real store and
// lets a test look at, or count, what was written.
class MemorySettings final : public Settings {
public:
    std::optional<std::string> getString(std::string_view key) override;
    void setString(std::string_view key, std::string_view value) override;
    std::string getOrCreateString(std::string_view key, const std::function<std::string()>& make,
                                  const Usable& usable = {}) override;

    std::map<std::string, std::string, std::less<>> values() const;
    // writes: the number of values stored so far.
    int writes() const;

private:
    mutable std::mutex mutex_;
    std::map<std::string, std::string, std::less<>> values_;
    int writes_ = 0;
};

}  // namespace platform
