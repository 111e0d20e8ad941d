#include "mcp/catalogue/prompt.hpp"

namespace mcp {

namespace {

using Role = Prompt::Message::Role;
using Content = Prompt::Message::Content;

}  // namespace

std::string_view rawValue(Role role) noexcept {
    switch (role) {
        case Role::user: return "user";
        case Role::assistant: return "assistant";
    }
    return "user";
}

std::optional<Role> messageRoleFromRawValue(std::string_view text) noexcept {
    for (const Role role : {Role::user, Role::assistant}) {
        if (text == rawValue(role)) return role;
    }
    return std::nullopt;
}

Role Codec<Role>::decode(const Value& value, const CodingPath& path) {
    const auto text = Codec<std::string>::decode(value, path);
    if (const auto role = messageRoleFromRawValue(text)) return *role;
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
