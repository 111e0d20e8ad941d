#include "mcp/protocol/initialize.hpp"

namespace mcp {

const std::set<std::string, std::less<>>& Version::supported() {
    static const std::set<std::string, std::less<>> revisions{"2025-11-25", "2025-06-18", "2025-03-26", "2024-11-05"};
    return revisions;
}

const std::string& Version::latest() {
    // The set is ordered, so its last member is the newest.
    static const std::string& newest = *supported().rbegin();
    return newest;
}

const std::string& Version::negotiate(std::string_view requested) {
    const auto& revisions = supported();
    const auto it = revisions.find(requested);
    return it != revisions.end() ? *it : latest();
}

Value Codec<Initialize::Parameters>::encode(const Initialize::Parameters& parameters) {
    return ObjectBuilder()
        .add("protocolVersion", parameters.protocolVersion)
        .add("capabilities", parameters.capabilities)
        .add("clientInfo", parameters.clientInfo)
        .build();
}

Initialize::Parameters Codec<Initialize::Parameters>::decode(const Value& value, const CodingPath& path) {
    const ObjectReader reader(value, path);
    return {
        .protocolVersion = reader.optional<std::string>("protocolVersion").value_or(Version::latest()),
        .capabilities = reader.optional<ClientCapabilities>("capabilities").value_or(ClientCapabilities{}),
        .clientInfo = reader.optional<ClientInfo>("clientInfo").value_or(ClientInfo{.name = "unknown", .version = "0.0.0"}),
    };
}

Value Codec<Initialize::Result>::encode(const Initialize::Result& result) {
    return ObjectBuilder()
        .add("protocolVersion", result.protocolVersion)
        .add("capabilities", result.capabilities)
        .add("serverInfo", result.serverInfo)
        .addIfPresent("instructions", result.instructions)
        .addIfPresent("_meta", result._meta)
        .build();
}

Initialize::Result Codec<Initialize::Result>::decode(const Value& value, const CodingPath& path) {
    const ObjectReader reader(value, path);
    return {
        .protocolVersion = reader.required<std::string>("protocolVersion"),
        .capabilities = reader.required<ServerCapabilities>("capabilities"),
        .serverInfo = reader.required<ServerInfo>("serverInfo"),
        .instructions = reader.optional<std::string>("instructions"),
        ._meta = reader.optional<Metadata>("_meta"),
    };
}

}  // namespace mcp
