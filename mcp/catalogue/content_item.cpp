#include "mcp/catalogue/content_item.hpp"

namespace mcp::detail {

Value encodeText(const TextContent& text) {
    return ObjectBuilder().add("type", std::string("text")).add("text", text.text).build();
}

Value encodeMedia(std::string_view type, const MediaContent& media) {
    return ObjectBuilder().add("type", std::string(type)).add("data", media.data).add("mimeType", media.mimeType).build();
}

MediaContent decodeMedia(const ObjectReader& reader) {
    auto data = reader.required<std::string>("data");
    return {std::move(data), reader.required<std::string>("mimeType")};
}

Value encodeEmbeddedResource(const EmbeddedResourceContent& resource) {
    return ObjectBuilder()
        .add("type", std::string("resource"))
        .add("resource", resource.resource)
        .addIfPresent("annotations", resource.annotations)
        .addIfPresent("_meta", resource._meta)
        .build();
}

EmbeddedResourceContent decodeEmbeddedResource(const ObjectReader& reader) {
    EmbeddedResourceContent resource;
    resource.resource = reader.required<Resource::Content>("resource");
    resource.annotations = reader.optional<Resource::Annotations>("annotations");
    resource._meta = reader.optional<Metadata>("_meta");
    return resource;
}

Value encodeResourceLink(const ResourceLinkContent& link) {
    return ObjectBuilder()
        .add("type", std::string("resource_link"))
        .add("uri", link.uri)
        .add("name", link.name)
        .addIfPresent("title", link.title)
        .addIfPresent("description", link.description)
        .addIfPresent("mimeType", link.mimeType)
        .addIfPresent("annotations", link.annotations)
        .build();
}

ResourceLinkContent decodeResourceLink(const ObjectReader& reader) {
    ResourceLinkContent link;
    link.uri = reader.required<std::string>("uri");
    link.name = reader.required<std::string>("name");
    link.title = reader.optional<std::string>("title");
    link.description = reader.optional<std::string>("description");
    link.mimeType = reader.optional<std::string>("mimeType");
    link.annotations = reader.optional<Resource::Annotations>("annotations");
    return link;
}

namespace {

Value encodeCase(const TextContent& text) { return encodeText(text); }
Value encodeCase(const ImageContent& image) { return encodeMedia("image", image); }
Value encodeCase(const AudioContent& audio) { return encodeMedia("audio", audio); }
Value encodeCase(const EmbeddedResourceContent& resource) { return encodeEmbeddedResource(resource); }
Value encodeCase(const ResourceLinkContent& link) { return encodeResourceLink(link); }

}  // namespace

Value encodeContentItem(const ContentItemCase& item) {
    return std::visit([](const auto& held) { return encodeCase(held); }, item);
}

ContentItemCase decodeContentItem(const Value& value, const CodingPath& path, std::string_view unknownTypeText) {
    const ObjectReader reader(value, path);
    const auto type = reader.required<std::string>("type");
    if (type == "text") return TextContent{reader.required<std::string>("text")};
    if (type == "image") return ImageContent{decodeMedia(reader)};
    if (type == "audio") return AudioContent{decodeMedia(reader)};
    if (type == "resource") return decodeEmbeddedResource(reader);
    if (type == "resource_link") return decodeResourceLink(reader);
    throw DecodingError::dataCorrupted(path.appending("type"), std::string(unknownTypeText));
}

}  // namespace mcp::detail
