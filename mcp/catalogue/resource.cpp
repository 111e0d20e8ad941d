#include "mcp/catalogue/resource.hpp"

#include "mcp/detail/base64.hpp"

#include <array>

namespace mcp {

namespace {

using Audience = Resource::Annotations::Audience;

constexpr std::array kAudiences{Audience::user, Audience::assistant};

}  // namespace

std::string_view rawValue(Audience audience) noexcept {
    switch (audience) {
        case Audience::user: return "user";
        case Audience::assistant: return "assistant";
    }
    return "user";
}

std::optional<Audience> audienceFromRawValue(std::string_view text) noexcept {
    for (const Audience audience : kAudiences) {
        if (text == rawValue(audience)) return audience;
    }
    return std::nullopt;
}

Resource::Content Resource::Content::fromText(std::string text, std::string uri, std::optional<std::string> mimeType,
                                          std::optional<Metadata> meta) {
    return {.uri = std::move(uri), .mimeType = std::move(mimeType), .text = std::move(text), ._meta = std::move(meta)};
}

Resource::Content Resource::Content::binary(std::string_view bytes, std::string uri,
                                            std::optional<std::string> mimeType, std::optional<Metadata> meta) {
    std::string blob;
    detail::appendBase64(blob, bytes);
    return {.uri = std::move(uri), .mimeType = std::move(mimeType), .blob = std::move(blob), ._meta = std::move(meta)};
}

Value Codec<Audience>::encode(Audience audience) {
    return rawValue(audience);
}

Audience Codec<Audience>::decode(const Value& value, const CodingPath& path) {
    const std::string name = Codec<std::string>::decode(value, path);
    if (const auto audience = audienceFromRawValue(name)) return *audience;
    throw DecodingError::dataCorrupted(path, "Unknown audience \"" + name + "\": expected \"user\" or \"assistant\"");
}

Value Codec<Resource::Content>::encode(const Resource::Content& content) {
    return ObjectBuilder()
        .add("uri", content.uri)
        .addIfPresent("mimeType", content.mimeType)
        .addIfPresent("text", content.text)
        .addIfPresent("blob", content.blob)
        .addIfPresent("_meta", content._meta)
        .build();
}

Resource::Content Codec<Resource::Content>::decode(const Value& value, const CodingPath& path) {
    const ObjectReader reader(value, path);
    return {
        .uri = reader.required<std::string>("uri"),
        .mimeType = reader.optional<std::string>("mimeType"),
        .text = reader.optional<std::string>("text"),
        .blob = reader.optional<std::string>("blob"),
        ._meta = reader.optional<Metadata>("_meta"),
    };
}

Value Codec<Resource::Annotations>::encode(const Resource::Annotations& annotations) {
    return ObjectBuilder()
        .addIfPresent("audience", annotations.audience)
        .addIfPresent("priority", annotations.priority)
        .addIfPresent("lastModified", annotations.lastModified)
        .build();
}

Resource::Annotations Codec<Resource::Annotations>::decode(const Value& value, const CodingPath& path) {
    const ObjectReader reader(value, path);
    return {
        .audience = reader.optional<std::vector<Audience>>("audience"),
        .priority = reader.optional<double>("priority"),
        .lastModified = reader.optional<std::string>("lastModified"),
    };
}

Value Codec<Resource>::encode(const Resource& resource) {
    return ObjectBuilder()
        .add("name", resource.name)
        .add("uri", resource.uri)
        .addIfPresent("title", resource.title)
        .addIfPresent("description", resource.description)
        .addIfPresent("mimeType", resource.mimeType)
        .addIfPresent("size", resource.size)
        .addIfPresent("annotations", resource.annotations)
        .addIfPresent("icons", resource.icons)
        .addIfPresent("_meta", resource._meta)
        .build();
}

Resource Codec<Resource>::decode(const Value& value, const CodingPath& path) {
    const ObjectReader reader(value, path);
    Resource resource;
    resource.name = reader.required<std::string>("name");
    resource.uri = reader.required<std::string>("uri");
    resource.title = reader.optional<std::string>("title");
    resource.description = reader.optional<std::string>("description");
    resource.mimeType = reader.optional<std::string>("mimeType");
    resource.size = reader.optional<std::int64_t>("size");
    resource.annotations = reader.optional<Resource::Annotations>("annotations");
    resource.icons = reader.optional<std::vector<Icon>>("icons");
    resource._meta = reader.optional<Metadata>("_meta");
    return resource;
}

Value Codec<Resource::Template>::encode(const Resource::Template& resourceTemplate) {
    return ObjectBuilder()
        .add("uriTemplate", resourceTemplate.uriTemplate)
        .add("name", resourceTemplate.name)
        .addIfPresent("title", resourceTemplate.title)
        .addIfPresent("description", resourceTemplate.description)
        .addIfPresent("mimeType", resourceTemplate.mimeType)
        .addIfPresent("annotations", resourceTemplate.annotations)
        .addIfPresent("icons", resourceTemplate.icons)
        .addIfPresent("_meta", resourceTemplate._meta)
        .build();
}

Resource::Template Codec<Resource::Template>::decode(const Value& value, const CodingPath& path) {
    const ObjectReader reader(value, path);
    return {
        .uriTemplate = reader.required<std::string>("uriTemplate"),
        .name = reader.required<std::string>("name"),
        .title = reader.optional<std::string>("title"),
        .description = reader.optional<std::string>("description"),
        .mimeType = reader.optional<std::string>("mimeType"),
        .annotations = reader.optional<Resource::Annotations>("annotations"),
        .icons = reader.optional<std::vector<Icon>>("icons"),
        ._meta = reader.optional<Metadata>("_meta"),
    };
}

}  // namespace mcp
