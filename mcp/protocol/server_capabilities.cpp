#include "mcp/protocol/server_capabilities.hpp"

namespace mcp {

Value Codec<ServerCapabilities::Prompts>::encode(const ServerCapabilities::Prompts& prompts) {
    return ObjectBuilder().addIfPresent("listChanged", prompts.listChanged).build();
}

ServerCapabilities::Prompts Codec<ServerCapabilities::Prompts>::decode(const Value& value, const CodingPath& path) {
    return {ObjectReader(value, path).optional<bool>("listChanged")};
}

Value Codec<ServerCapabilities::Resources>::encode(const ServerCapabilities::Resources& resources) {
    return ObjectBuilder()
        .addIfPresent("subscribe", resources.subscribe)
        .addIfPresent("listChanged", resources.listChanged)
        .build();
}

ServerCapabilities::Resources Codec<ServerCapabilities::Resources>::decode(const Value& value, const CodingPath& path) {
    const ObjectReader reader(value, path);
    return {.subscribe = reader.optional<bool>("subscribe"), .listChanged = reader.optional<bool>("listChanged")};
}

Value Codec<ServerCapabilities::Tools>::encode(const ServerCapabilities::Tools& tools) {
    return ObjectBuilder().addIfPresent("listChanged", tools.listChanged).build();
}

ServerCapabilities::Tools Codec<ServerCapabilities::Tools>::decode(const Value& value, const CodingPath& path) {
    return {ObjectReader(value, path).optional<bool>("listChanged")};
}

Value Codec<ServerCapabilities>::encode(const ServerCapabilities& capabilities) {
    return ObjectBuilder()
        .addIfPresent("completions", capabilities.completions)
        .addIfPresent("logging", capabilities.logging)
        .addIfPresent("prompts", capabilities.prompts)
        .addIfPresent("resources", capabilities.resources)
        .addIfPresent("tools", capabilities.tools)
        .build();
}

ServerCapabilities Codec<ServerCapabilities>::decode(const Value& value, const CodingPath& path) {
    const ObjectReader reader(value, path);
    return {
        .completions = reader.optional<ServerCapabilities::Completions>("completions"),
        .logging = reader.optional<ServerCapabilities::Logging>("logging"),
        .prompts = reader.optional<ServerCapabilities::Prompts>("prompts"),
        .resources = reader.optional<ServerCapabilities::Resources>("resources"),
        .tools = reader.optional<ServerCapabilities::Tools>("tools"),
    };
}

Value Codec<ServerConfiguration>::encode(const ServerConfiguration& configuration) {
    return ObjectBuilder().add("strict", configuration.strict).build();
}

ServerConfiguration Codec<ServerConfiguration>::decode(const Value& value, const CodingPath& path) {
    return {ObjectReader(value, path).required<bool>("strict")};
}

}  // namespace mcp
