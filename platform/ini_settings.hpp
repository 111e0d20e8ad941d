#pragma once

#include "platform/settings.hpp"

#include <filesystem>

namespace platform {

// IniSettings: Settings kept in an INI file of "key=value" lines (platform/detail/ini.hpp).
//
// Reads open the file each time. Writes take an exclusive flock on "<file>.lock" beside it,
// read the file afresh, change the one key and replace the file atomically (a temporary file
// renamed over it), so writers in several processes never lose each other's keys and readers
// never see half a file. The file is made with mode 0600 and its folder (created when
// missing, with its parents) has mode 0700: the store holds the access token.
class IniSettings final : public Settings {
public:
    explicit IniSettings(std::filesystem::path file);

    std::optional<std::string> getString(std::string_view key) override;
    void setString(std::string_view key, std::string_view value) override;
    std::string getOrCreateString(std::string_view key, const std::function<std::string()>& make,
                                  const Usable& usable = {}) override;

    const std::filesystem::path& file() const { return file_; }

private:
    std::filesystem::path file_;
};

// defaultSettingsFile: "vantor-mcp/settings.ini" in userConfigFolder: with an unset, empty or
// relative XDG_CONFIG_HOME, "$HOME/.config/vantor-mcp/settings.ini" (the home folder from the
// password database when HOME is unset). Throws platform::Error when no home folder can be
// found.
std::filesystem::path defaultSettingsFile();

}  // namespace platform
