#include "mcp/catalogue/tool_methods.hpp"

namespace mcp {

Value Codec<ListTools::Parameters>::encode(const ListTools::Parameters& parameters) {
    return ObjectBuilder().addIfPresent("cursor", parameters.cursor).build();
}

ListTools::Parameters Codec<ListTools::Parameters>::decode(const Value& value, const CodingPath& path) {
    const ObjectReader reader(value, path);
    return {.cursor = reader.optional<std::string>("cursor")};
}

Value Codec<ListTools::Result>::encode(const ListTools::Result& result) {
    return ObjectBuilder()
        .add("tools", result.tools)
        .addIfPresent("nextCursor", result.nextCursor)
        .addIfPresent("_meta", result._meta)
        .build();
}

ListTools::Result Codec<ListTools::Result>::decode(const Value& value, const CodingPath& path) {
    const ObjectReader reader(value, path);
    return {
        .tools = reader.required<std::vector<Tool>>("tools"),
        .nextCursor = reader.optional<std::string>("nextCursor"),
        ._meta = reader.optional<Metadata>("_meta"),
    };
}

Value Codec<CallTool::Parameters>::encode(const CallTool::Parameters& parameters) {
    return ObjectBuilder()
        .addIfPresent("_meta", parameters._meta)
        .add("name", parameters.name)
        .addIfPresent("arguments", parameters.arguments)
        .build();
}

CallTool::Parameters Codec<CallTool::Parameters>::decode(const Value& value, const CodingPath& path) {
    const ObjectReader reader(value, path);
    return {
        ._meta = reader.optional<Metadata>("_meta"),
        .name = reader.required<std::string>("name"),
        .arguments = reader.optional<ValueObject>("arguments"),
    };
}

Value Codec<CallTool::Result>::encode(const CallTool::Result& result) {
    return ObjectBuilder()
        .add("content", result.content)
        .addIfPresent("structuredContent", result.structuredContent)
        .addIfPresent("isError", result.isError)
        .addIfPresent("_meta", result._meta)
        .build();
}

CallTool::Result Codec<CallTool::Result>::decode(const Value& value, const CodingPath& path) {
    const ObjectReader reader(value, path);
    return {
        .content = reader.required<std::vector<Tool::Content>>("content"),
        .structuredContent = reader.optional<Value>("structuredContent"),
        .isError = reader.optional<bool>("isError"),
        ._meta = reader.optional<Metadata>("_meta"),
    };
}

}  // namespace mcp
