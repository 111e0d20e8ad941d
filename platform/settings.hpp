#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// Settings: the program's small store of named values, kept across runs and shared by every
// process of the program (the tray program and its bridges read and write the same store).
//
// Values are stored as text; the typed accessors convert in one place: an integer is written
// in decimal, a boolean as "true" or "false". A value that can't be read as the asked type
// reads as absent. Every read is fresh: a value another process stored is seen at once.
//
// Keys are non-empty, without line breaks, '=' or surrounding blanks; a bad key throws
// std::invalid_argument. A store that can't be read or written throws platform::Error.
// Any thread may call it.
class Settings {
public:
    virtual ~Settings() = default;

    virtual std::optional<std::string> getString(std::string_view key) = 0;
    virtual void setString(std::string_view key, std::string_view value) = 0;

    // Usable: whether a stored value can serve; an empty one takes every value.
    using Usable = std::function<bool(std::string_view value)>;

    // getOrCreateString: the value stored under key when there is one and usable takes it;
    // otherwise stores make()'s result in its place and returns it. Atomic across threads and
    // processes: when several ask at once, make runs once and all get the same value. What
    // make throws is rethrown, and nothing is stored then.
    virtual std::string getOrCreateString(std::string_view key, const std::function<std::string()>& make,
                                          const Usable& usable = {}) = 0;

    std::optional<std::int64_t> getInt(std::string_view key);
    void setInt(std::string_view key, std::int64_t value);
    std::optional<bool> getBool(std::string_view key);
    void setBool(std::string_view key, bool value);
};

// validateSettingsKey: throws std::invalid_argument unless key is a usable settings key.
void validateSettingsKey(std::string_view key);

}  // namespace platform
