#include "mcp/catalogue/tool.hpp"

namespace mcp {

Value Codec<Tool::Annotations>::encode(const Tool::Annotations& annotations) {
    return ObjectBuilder()
        .addIfPresent("title", annotations.title)
        .addIfPresent("destructiveHint", annotations.destructiveHint)
        .addIfPresent("idempotentHint", annotations.idempotentHint)
        .addIfPresent("openWorldHint", annotations.openWorldHint)
        .addIfPresent("readOnlyHint", annotations.readOnlyHint)
        .build();
}

Tool::Annotations Codec<Tool::Annotations>::decode(const Value& value, const CodingPath& path) {
    const ObjectReader reader(value, path);
    return {
        .title = reader.optional<std::string>("title"),
        .destructiveHint = reader.optional<bool>("destructiveHint"),
        .idempotentHint = reader.optional<bool>("idempotentHint"),
        .openWorldHint = reader.optional<bool>("openWorldHint"),
        .readOnlyHint = reader.optional<bool>("readOnlyHint"),
    };
}

Value Codec<Tool>::encode(const Tool& tool) {
    ObjectBuilder builder;
    builder.add("name", tool.name);
    builder.addIfPresent("title", tool.title);
    // The one optional member written as null rather than left out.
    builder.add("description", tool.description ? Value(*tool.description) : Value());
    builder.add("inputSchema", tool.inputSchema);
    builder.addIfPresent("outputSchema", tool.outputSchema);
    if (!tool.annotations.isEmpty()) builder.add("annotations", tool.annotations);
    builder.addIfPresent("icons", tool.icons);
    builder.addIfPresent("_meta", tool._meta);
    return std::move(builder).build();
}

Tool Codec<Tool>::decode(const Value& value, const CodingPath& path) {
    const ObjectReader reader(value, path);
    // Read in the order the members are written, so that of several faults the first is told.
    Tool tool;
    tool.name = reader.required<std::string>("name");
    tool.title = reader.optional<std::string>("title");
    tool.description = reader.optional<std::string>("description");
    tool.inputSchema = reader.required<Value>("inputSchema");
    tool.outputSchema = reader.optional<Value>("outputSchema");
    tool.annotations = reader.optional<Tool::Annotations>("annotations").value_or(Tool::Annotations{});
    tool.icons = reader.optional<std::vector<Icon>>("icons");
    tool._meta = reader.optional<Metadata>("_meta");
    return tool;
}

}  // namespace mcp
