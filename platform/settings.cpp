#include "platform/settings.hpp"

#include <charconv>
#include <stdexcept>

namespace platform {

std::optional<std::int64_t> Settings::getInt(std::string_view key) {
    const auto text = getString(key);
    if (!text) return std::nullopt;
    std::int64_t value = 0;
    const char* end = text->data() + text->size();
    const auto [stop, error] = std::from_chars(text->data(), end, value);
    if (error != std::errc() || stop != end) return std::nullopt;
    return value;
}

void Settings::setInt(std::string_view key, std::int64_t value) {
    setString(key, std::to_string(value));
}

std::optional<bool> Settings::getBool(std::string_view key) {
    const auto text = getString(key);
    if (text == "true" || text == "1") return true;
    if (text == "false" || text == "0") return false;
    return std::nullopt;
}

void Settings::setBool(std::string_view key, bool value) {
    setString(key, value ? "true" : "false");
}

void validateSettingsKey(std::string_view key) {
    const auto bad = [&](const char* why) {
        throw std::invalid_argument("Bad settings key \"" + std::string(key) + "\": " + why);
    };
    if (key.empty()) bad("empty");
    if (key.front() == ' ' || key.front() == '\t' || key.back() == ' ' || key.back() == '\t') {
        bad("surrounding blanks");
    }
    if (key.front() == '[' || key.front() == ';' || key.front() == '#') bad("starts like a section or comment");
    for (unsigned char c : key) {
        if (c == '=') bad("contains '='");
        if (c < 0x20 || c == 0x7f) bad("contains a control character");
    }
}

}  // namespace platform
