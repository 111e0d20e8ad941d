#include "mcp/catalogue/resource.hpp"

#include <string_view>

namespace mcp {

namespace {

using Audience = Resource::Annotations::Audience;

constexpr std::string_view audienceName(Audience audience) noexcept {
    switch (audience) {
        case Audience::user: return "user";
        case Audience::assistant: return "assistant";
    }
    return "user";
}

}  // namespace

Value Codec<Audience>::encode(Audience audience) {
    return std::string(audienceName(audience));
}

Audience Codec<Audience>::decode(const Value& value, const CodingPath& path) {
    const std::string name = Codec<std::string>::decode(value, path);
    for (const Audience audience : {Audience::user, Audience::assistant}) {
        if (name == audienceName(audience)) return audience;
    }
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

}  // namespace mcp
