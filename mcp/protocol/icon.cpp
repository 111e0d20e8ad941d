#include "mcp/protocol/icon.hpp"

namespace mcp {

std::string_view rawValue(Icon::Theme theme) noexcept { return theme == Icon::Theme::light ? "light" : "dark"; }

std::optional<Icon::Theme> iconThemeFromRawValue(std::string_view text) noexcept {
    if (text == "light") return Icon::Theme::light;
    if (text == "dark") return Icon::Theme::dark;
    return std::nullopt;
}

Icon::Theme Codec<Icon::Theme>::decode(const Value& value, const CodingPath& path) {
    const auto text = Codec<std::string>::decode(value, path);
    if (const auto theme = iconThemeFromRawValue(text)) return *theme;
    throw DecodingError::dataCorrupted(path, "Unknown icon theme \"" + text + "\"");
}

Value Codec<Icon>::encode(const Icon& icon) {
    return ObjectBuilder()
        .add("src", icon.src)
        .addIfPresent("mimeType", icon.mimeType)
        .addIfPresent("sizes", icon.sizes)
        .addIfPresent("theme", icon.theme)
        .build();
}

Icon Codec<Icon>::decode(const Value& value, const CodingPath& path) {
    const ObjectReader reader(value, path);
    return {
        .src = reader.required<std::string>("src"),
        .mimeType = reader.optional<std::string>("mimeType"),
        .sizes = reader.optional<std::vector<std::string>>("sizes"),
        .theme = reader.optional<Icon::Theme>("theme"),
    };
}

}  // namespace mcp
