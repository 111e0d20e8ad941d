#include "mcp/catalogue/resource_methods.hpp"

namespace mcp {

Value Codec<ResourceURIParameters>::encode(const ResourceURIParameters& parameters) {
    return ObjectBuilder().add("uri", parameters.uri).build();
}

ResourceURIParameters Codec<ResourceURIParameters>::decode(const Value& value, const CodingPath& path) {
    const ObjectReader reader(value, path);
    return {.uri = reader.required<std::string>("uri")};
}

Value Codec<ListResources::Result>::encode(const ListResources::Result& result) {
    return ObjectBuilder()
        .add("resources", result.resources)
        .addIfPresent("nextCursor", result.nextCursor)
        .addIfPresent("_meta", result._meta)
        .build();
}

ListResources::Result Codec<ListResources::Result>::decode(const Value& value, const CodingPath& path) {
    const ObjectReader reader(value, path);
    return {
        .resources = reader.required<std::vector<Resource>>("resources"),
        .nextCursor = reader.optional<std::string>("nextCursor"),
        ._meta = reader.optional<Metadata>("_meta"),
    };
}

Value Codec<ReadResource::Result>::encode(const ReadResource::Result& result) {
    return ObjectBuilder().add("contents", result.contents).addIfPresent("_meta", result._meta).build();
}

ReadResource::Result Codec<ReadResource::Result>::decode(const Value& value, const CodingPath& path) {
    const ObjectReader reader(value, path);
    return {
        .contents = reader.required<std::vector<Resource::Content>>("contents"),
        ._meta = reader.optional<Metadata>("_meta"),
    };
}

Value Codec<ListResourceTemplates::Result>::encode(const ListResourceTemplates::Result& result) {
    return ObjectBuilder()
        .add("resourceTemplates", result.templates)
        .addIfPresent("nextCursor", result.nextCursor)
        .addIfPresent("_meta", result._meta)
        .build();
}

ListResourceTemplates::Result Codec<ListResourceTemplates::Result>::decode(const Value& value, const CodingPath& path) {
    const ObjectReader reader(value, path);
    return {
        .templates = reader.required<std::vector<Resource::Template>>("resourceTemplates"),
        .nextCursor = reader.optional<std::string>("nextCursor"),
        ._meta = reader.optional<Metadata>("_meta"),
    };
}

}  // namespace mcp
