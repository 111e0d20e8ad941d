#include "mcp/protocol/client_capabilities.hpp"

namespace mcp {

Value Codec<ClientCapabilities::Roots>::encode(const ClientCapabilities::Roots& roots) {
    return ObjectBuilder().addIfPresent("listChanged", roots.listChanged).build();
}

ClientCapabilities::Roots Codec<ClientCapabilities::Roots>::decode(const Value& value, const CodingPath& path) {
    return {ObjectReader(value, path).optional<bool>("listChanged")};
}

Value Codec<ClientCapabilities::Sampling>::encode(const ClientCapabilities::Sampling& sampling) {
    return ObjectBuilder().addIfPresent("tools", sampling.tools).addIfPresent("context", sampling.context).build();
}

ClientCapabilities::Sampling Codec<ClientCapabilities::Sampling>::decode(const Value& value, const CodingPath& path) {
    if (value.objectValue() == nullptr) return {};
    const ObjectReader reader(value, path);
    return {
        .tools = reader.optional<ClientCapabilities::Sampling::Tools>("tools"),
        .context = reader.optional<ClientCapabilities::Sampling::Context>("context"),
    };
}

Value Codec<ClientCapabilities::Elicitation>::encode(const ClientCapabilities::Elicitation& elicitation) {
    return ObjectBuilder().addIfPresent("form", elicitation.form).addIfPresent("url", elicitation.url).build();
}

ClientCapabilities::Elicitation Codec<ClientCapabilities::Elicitation>::decode(const Value& value,
                                                                               const CodingPath& path) {
    ClientCapabilities::Elicitation elicitation;
    if (value.objectValue() != nullptr) {
        const ObjectReader reader(value, path);
        elicitation.form = reader.optional<ClientCapabilities::Elicitation::Form>("form");
        elicitation.url = reader.optional<ClientCapabilities::Elicitation::URL>("url");
    }
    if (!elicitation.form && !elicitation.url) elicitation.form.emplace();
    return elicitation;
}

Value Codec<ClientCapabilities>::encode(const ClientCapabilities& capabilities) {
    return ObjectBuilder()
        .addIfPresent("sampling", capabilities.sampling)
        .addIfPresent("elicitation", capabilities.elicitation)
        .addIfPresent("experimental", capabilities.experimental)
        .addIfPresent("roots", capabilities.roots)
        .build();
}

ClientCapabilities Codec<ClientCapabilities>::decode(const Value& value, const CodingPath& path) {
    const ObjectReader reader(value, path);
    return {
        .sampling = reader.optional<ClientCapabilities::Sampling>("sampling"),
        .elicitation = reader.optional<ClientCapabilities::Elicitation>("elicitation"),
        .experimental = reader.optional<Value::Object>("experimental"),
        .roots = reader.optional<ClientCapabilities::Roots>("roots"),
    };
}

Value Codec<ClientConfiguration>::encode(const ClientConfiguration& configuration) {
    return ObjectBuilder().add("strict", configuration.strict).build();
}

ClientConfiguration Codec<ClientConfiguration>::decode(const Value& value, const CodingPath& path) {
    return {ObjectReader(value, path).required<bool>("strict")};
}

}  // namespace mcp
