#include "mcp/catalogue/prompt.hpp"

namespace mcp {

namespace {

using Role = Prompt::Message::Role;
using Content = Prompt::Message::Content;

Value encodeItem(const Content::Text& text) {
    return ObjectBuilder().add("type", std::string("text")).add("text", text.text).build();
}

Value encodeMedia(std::string_view type, const std::string& data, const std::string& mimeType) {
    return ObjectBuilder().add("type", std::string(type)).add("data", data).add("mimeType", mimeType).build();
}

Value encodeItem(const Content::Image& image) { return encodeMedia("image", image.data, image.mimeType); }

Value encodeItem(const Content::Audio& audio) { return encodeMedia("audio", audio.data, audio.mimeType); }

Value encodeItem(const Content::EmbeddedResource& resource) {
    return ObjectBuilder()
        .add("type", std::string("resource"))
        .add("resource", resource.resource)
        .addIfPresent("annotations", resource.annotations)
        .addIfPresent("_meta", resource._meta)
        .build();
}

Value encodeItem(const Content::ResourceLink& link) {
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

template <class Media>
Media decodeMedia(const ObjectReader& reader) {
    Media media;
    media.data = reader.required<std::string>("data");
    media.mimeType = reader.required<std::string>("mimeType");
    return media;
}

}  // namespace

std::string_view rawValue(Role role) noexcept {
    switch (role) {
        case Role::user: return "user";
        case Role::assistant: return "assistant";
    }
    return "user";
}

std::optional<Role> promptRoleFromRawValue(std::string_view text) noexcept {
    for (const Role role : {Role::user, Role::assistant}) {
        if (text == rawValue(role)) return role;
    }
    return std::nullopt;
}

Role Codec<Role>::decode(const Value& value, const CodingPath& path) {
    const auto text = Codec<std::string>::decode(value, path);
    if (const auto role = promptRoleFromRawValue(text)) return *role;
    throw DecodingError::dataCorrupted(path, "Unknown role \"" + text + "\": expected \"user\" or \"assistant\"");
}

Value Codec<Prompt::Argument>::encode(const Prompt::Argument& argument) {
    return ObjectBuilder()
        .add("name", argument.name)
        .addIfPresent("title", argument.title)
        .addIfPresent("description", argument.description)
        .addIfPresent("required", argument.required)
        .build();
}

Prompt::Argument Codec<Prompt::Argument>::decode(const Value& value, const CodingPath& path) {
    const ObjectReader reader(value, path);
    return {
        .name = reader.required<std::string>("name"),
        .title = reader.optional<std::string>("title"),
        .description = reader.optional<std::string>("description"),
        .required = reader.optional<bool>("required"),
    };
}

Value Codec<Content>::encode(const Content& content) {
    return std::visit([](const auto& item) { return encodeItem(item); }, content.item);
}

Content Codec<Content>::decode(const Value& value, const CodingPath& path) {
    const ObjectReader reader(value, path);
    const auto type = reader.required<std::string>("type");
    if (type == "text") return Content::Text{reader.required<std::string>("text")};
    if (type == "image") return decodeMedia<Content::Image>(reader);
    if (type == "audio") return decodeMedia<Content::Audio>(reader);
    if (type == "resource") {
        Content::EmbeddedResource resource;
        resource.resource = reader.required<Resource::Content>("resource");
        resource.annotations = reader.optional<Resource::Annotations>("annotations");
        resource._meta = reader.optional<Metadata>("_meta");
        return resource;
    }
    if (type == "resource_link") {
        Content::ResourceLink link;
        link.uri = reader.required<std::string>("uri");
        link.name = reader.required<std::string>("name");
        link.title = reader.optional<std::string>("title");
        link.description = reader.optional<std::string>("description");
        link.mimeType = reader.optional<std::string>("mimeType");
        link.annotations = reader.optional<Resource::Annotations>("annotations");
        return link;
    }
    throw DecodingError::dataCorrupted(path.appending("type"), "Unknown content type");
}

Value Codec<Prompt::Message>::encode(const Prompt::Message& message) {
    return ObjectBuilder().add("role", message.role).add("content", message.content).build();
}

Prompt::Message Codec<Prompt::Message>::decode(const Value& value, const CodingPath& path) {
    const ObjectReader reader(value, path);
    auto role = reader.required<Role>("role");
    return {role, reader.required<Content>("content")};
}

Value Codec<Prompt::Reference>::encode(const Prompt::Reference& reference) {
    return ObjectBuilder()
        .add("type", std::string("ref/prompt"))
        .add("name", reference.name)
        .addIfPresent("title", reference.title)
        .build();
}

Prompt::Reference Codec<Prompt::Reference>::decode(const Value& value, const CodingPath& path) {
    const ObjectReader reader(value, path);
    reader.required<std::string>("type");
    return {
        .name = reader.required<std::string>("name"),
        .title = reader.optional<std::string>("title"),
    };
}

Value Codec<Prompt>::encode(const Prompt& prompt) {
    return ObjectBuilder()
        .add("name", prompt.name)
        .addIfPresent("title", prompt.title)
        .addIfPresent("description", prompt.description)
        .addIfPresent("arguments", prompt.arguments)
        .addIfPresent("icons", prompt.icons)
        .addIfPresent("_meta", prompt._meta)
        .build();
}

Prompt Codec<Prompt>::decode(const Value& value, const CodingPath& path) {
    const ObjectReader reader(value, path);
    return {
        .name = reader.required<std::string>("name"),
        .title = reader.optional<std::string>("title"),
        .description = reader.optional<std::string>("description"),
        .arguments = reader.optional<std::vector<Prompt::Argument>>("arguments"),
        .icons = reader.optional<std::vector<Icon>>("icons"),
        ._meta = reader.optional<Metadata>("_meta"),
    };
}

}  // namespace mcp
