#include "mcp/catalogue/tool_content.hpp"

#include <string_view>

namespace mcp {

namespace {

using Content = Tool::Content;

// The members every case but the resource link ends with.
void addAnnotationsAndMeta(ObjectBuilder& builder, const std::optional<Resource::Annotations>& annotations,
                           const std::optional<Metadata>& meta) {
    builder.addIfPresent("annotations", annotations);
    builder.addIfPresent("_meta", meta);
}

Value encodeItem(const Content::Text& text) {
    ObjectBuilder builder;
    builder.add("type", std::string("text")).add("text", text.text);
    addAnnotationsAndMeta(builder, text.annotations, text._meta);
    return std::move(builder).build();
}

Value encodeMedia(std::string_view type, const std::string& data, const std::string& mimeType,
                  const std::optional<Resource::Annotations>& annotations, const std::optional<Metadata>& meta) {
    ObjectBuilder builder;
    builder.add("type", std::string(type)).add("data", data).add("mimeType", mimeType);
    addAnnotationsAndMeta(builder, annotations, meta);
    return std::move(builder).build();
}

Value encodeItem(const Content::Image& image) {
    return encodeMedia("image", image.data, image.mimeType, image.annotations, image._meta);
}

Value encodeItem(const Content::Audio& audio) {
    return encodeMedia("audio", audio.data, audio.mimeType, audio.annotations, audio._meta);
}

Value encodeItem(const Content::EmbeddedResource& resource) { return detail::encodeEmbeddedResource(resource); }

Value encodeItem(const Content::ResourceLink& link) { return detail::encodeResourceLink(link); }

// Reads the members every case but the resource link ends with into `item`.
template <class Item>
Item withAnnotationsAndMeta(Item item, const ObjectReader& reader) {
    item.annotations = reader.optional<Resource::Annotations>("annotations");
    item._meta = reader.optional<Metadata>("_meta");
    return item;
}

template <class Media>
Media decodeMedia(const ObjectReader& reader) {
    Media media;
    media.data = reader.required<std::string>("data");
    media.mimeType = reader.required<std::string>("mimeType");
    return withAnnotationsAndMeta(std::move(media), reader);
}

}  // namespace

Value Codec<Tool::Content>::encode(const Tool::Content& content) {
    return std::visit([](const auto& value) { return encodeItem(value); }, content.item);
}

Tool::Content Codec<Tool::Content>::decode(const Value& value, const CodingPath& path) {
    const ObjectReader reader(value, path);
    const auto type = reader.required<std::string>("type");
    if (type == "text") {
        return withAnnotationsAndMeta(Content::Text{.text = reader.required<std::string>("text")}, reader);
    }
    if (type == "image") return decodeMedia<Content::Image>(reader);
    if (type == "audio") return decodeMedia<Content::Audio>(reader);
    if (type == "resource") return detail::decodeEmbeddedResource(reader);
    if (type == "resource_link") return detail::decodeResourceLink(reader);
    throw DecodingError::dataCorrupted(path.appending("type"), "Unknown tool content type");
}

}  // namespace mcp
