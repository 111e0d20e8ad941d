#include "mcp/protocol/implementation.hpp"

namespace mcp {

Value Codec<Implementation>::encode(const Implementation& info) {
    return ObjectBuilder()
        .add("name", info.name)
        .addIfPresent("title", info.title)
        .add("version", info.version)
        .addIfPresent("description", info.description)
        .addIfPresent("websiteUrl", info.websiteURL)
        .addIfPresent("icons", info.icons)
        .build();
}

Implementation Codec<Implementation>::decode(const Value& value, const CodingPath& path) {
    const ObjectReader reader(value, path);
    return {
        .name = reader.required<std::string>("name"),
        .title = reader.optional<std::string>("title"),
        .version = reader.required<std::string>("version"),
        .description = reader.optional<std::string>("description"),
        .websiteURL = reader.optional<std::string>("websiteUrl"),
        .icons = reader.optional<std::vector<Icon>>("icons"),
    };
}

}  // namespace mcp
