#pragma once

// The initialize handshake: the client's "initialize" request names a protocol revision, its
// capabilities and its identity; the server answers with the revision it will speak, its own
// capabilities and identity; the client then sends "notifications/initialized".

#include "mcp/protocol/client_capabilities.hpp"
#include "mcp/json/codec.hpp"
#include "mcp/protocol/implementation.hpp"
#include "mcp/protocol/metadata.hpp"
#include "mcp/protocol/method.hpp"
#include "mcp/protocol/server_capabilities.hpp"

#include <optional>
#include <set>
#include <string>
#include <string_view>

namespace mcp {

// The protocol revisions the library speaks. Revisions are dates (YYYY-MM-DD), so their
// string order is their date order.
struct Version {
    // "2025-11-25", "2025-06-18", "2025-03-26" and "2024-11-05".
    static const std::set<std::string, std::less<>>& supported();
    // The newest supported revision, "2025-11-25".
    static const std::string& latest();
    // The revision a server answers with: the requested one when it is supported, else the
    // latest.
    static const std::string& negotiate(std::string_view requested);

    Version() = delete;
};

struct Initialize {
    static constexpr std::string_view name = "initialize";

    struct Parameters {
        std::string protocolVersion;
        ClientCapabilities capabilities;
        ClientInfo clientInfo;

        friend bool operator==(const Parameters&, const Parameters&) = default;
    };

    struct Result {
        std::string protocolVersion;
        ServerCapabilities capabilities;
        ServerInfo serverInfo;
        std::optional<std::string> instructions;
        std::optional<Metadata> _meta;

        friend bool operator==(const Result&, const Result&) = default;
    };
};

// Sent by the client once it has the server's answer; it carries nothing.
struct InitializedNotification {
    static constexpr std::string_view name = "notifications/initialized";
    using Parameters = Empty;
};

// Always writes all three members. Reading fills what is missing or null instead of
// failing: the latest revision, empty capabilities, and a client named "unknown" at version
// "0.0.0". A present member must read by its own rules, and any revision string is accepted.
template <>
struct Codec<Initialize::Parameters> {
    static Value encode(const Initialize::Parameters& parameters);
    static Initialize::Parameters decode(const Value& value, const CodingPath& path);
};

// {"protocolVersion", "capabilities", "serverInfo", "instructions", "_meta"}, the last two
// only when present; the first three are required when read.
template <>
struct Codec<Initialize::Result> {
    static Value encode(const Initialize::Result& result);
    static Initialize::Result decode(const Value& value, const CodingPath& path);
};

}  // namespace mcp
