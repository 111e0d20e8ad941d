#include "mcp/catalogue/prompt_methods.hpp"

namespace mcp {

Value Codec<ArgumentValues>::encode(const ArgumentValues& values) {
    ObjectBuilder builder;
    for (const auto& [key, text] : values) builder.add(key, text);
    return builder.build();
}

ArgumentValues Codec<ArgumentValues>::decode(const Value& value, const CodingPath& path) {
    const ObjectReader reader(value, path);
    ArgumentValues values;
    for (const auto& [key, member] : reader.object()) {
        values.insert_or_assign(key, Codec<std::string>::decode(member, path.appending(key)));
    }
    return values;
}

Value Codec<ListPrompts::Result>::encode(const ListPrompts::Result& result) {
    return ObjectBuilder()
        .add("prompts", result.prompts)
        .addIfPresent("nextCursor", result.nextCursor)
        .addIfPresent("_meta", result._meta)
        .build();
}

ListPrompts::Result Codec<ListPrompts::Result>::decode(const Value& value, const CodingPath& path) {
    const ObjectReader reader(value, path);
    return {
        .prompts = reader.required<std::vector<Prompt>>("prompts"),
        .nextCursor = reader.optional<std::string>("nextCursor"),
        ._meta = reader.optional<Metadata>("_meta"),
    };
}

Value Codec<GetPrompt::Parameters>::encode(const GetPrompt::Parameters& parameters) {
    return ObjectBuilder().add("name", parameters.name).addIfPresent("arguments", parameters.arguments).build();
}

GetPrompt::Parameters Codec<GetPrompt::Parameters>::decode(const Value& value, const CodingPath& path) {
    const ObjectReader reader(value, path);
    return {
        .name = reader.required<std::string>("name"),
        .arguments = reader.optional<ArgumentValues>("arguments"),
    };
}

Value Codec<GetPrompt::Result>::encode(const GetPrompt::Result& result) {
    return ObjectBuilder()
        .addIfPresent("description", result.description)
        .add("messages", result.messages)
        .addIfPresent("_meta", result._meta)
        .build();
}

GetPrompt::Result Codec<GetPrompt::Result>::decode(const Value& value, const CodingPath& path) {
    const ObjectReader reader(value, path);
    return {
        .description = reader.optional<std::string>("description"),
        .messages = reader.required<std::vector<Prompt::Message>>("messages"),
        ._meta = reader.optional<Metadata>("_meta"),
    };
}

}  // namespace mcp
