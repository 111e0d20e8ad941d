#pragma once

// Implementation: who a client or a server is. Both sides introduce themselves in the
// initialize handshake with the same record; `Client::Info` and `Server::Info` name it.

#include "mcp/json/codec.hpp"
#include "mcp/json/codec_hash.hpp"
#include "mcp/protocol/icon.hpp"

#include <optional>
#include <string>
#include <vector>

namespace mcp {

struct Implementation {
    std::string name;
    // The name to show to people.
    std::optional<std::string> title;
    std::string version;
    std::optional<std::string> description;
    std::optional<std::string> websiteURL;
    std::optional<std::vector<Icon>> icons;

    friend bool operator==(const Implementation&, const Implementation&) = default;
};

// The client's identity (`Client::Info`).
using ClientInfo = Implementation;
// The server's identity (`Server::Info`).
using ServerInfo = Implementation;

// {"name", "title", "version", "description", "websiteUrl", "icons"}, the optional ones only
// when present. "name" and "version" are required strings (missing: keyNotFound, null:
// valueNotFound), read in field order so the first failure wins; there are no defaults.
template <>
struct Codec<Implementation> {
    static Value encode(const Implementation& info);
    static Implementation decode(const Value& value, const CodingPath& path);
};

}  // namespace mcp

template <>
struct std::hash<mcp::Implementation> : mcp::CodecHash<mcp::Implementation> {};
