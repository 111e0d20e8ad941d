#pragma once

// Icon: an icon of a client, a server, a tool or a listed item.

#include "mcp/json/codec.hpp"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mcp {

struct Icon {
    // The background an icon is drawn for.
    enum class Theme { light, dark };

    // The icon's location (a URL, often a data URL).
    std::string src;
    std::optional<std::string> mimeType;
    // Sizes such as "48x48" or "any".
    std::optional<std::vector<std::string>> sizes;
    std::optional<Theme> theme;

    friend bool operator==(const Icon&, const Icon&) = default;
};

// "light" or "dark".
std::string_view rawValue(Icon::Theme theme) noexcept;
// The theme named exactly "light" or "dark" (case-sensitive), else absent.
std::optional<Icon::Theme> iconThemeFromRawValue(std::string_view text) noexcept;

// A theme is its raw value; any other string fails to read.
template <>
struct Codec<Icon::Theme> {
    static Value encode(Icon::Theme theme) { return rawValue(theme); }
    static Icon::Theme decode(const Value& value, const CodingPath& path);
};

// {"src", "mimeType", "sizes", "theme"}, the optional ones only when present; "src" is
// required.
template <>
struct Codec<Icon> {
    static Value encode(const Icon& icon);
    static Icon decode(const Value& value, const CodingPath& path);
};

}  // namespace mcp
