#pragma once

// Roots: the locations a client offers a server as the scope it may work in.
//
//     ListRoots  "roots/list"  {}  ->  {"roots": [{"uri", "name"?, "_meta"?}], "_meta"?}
//     RootsListChangedNotification  "notifications/roots/list_changed", no parameters
//
// A root's URI is any text; nothing checks its scheme or form.

#include "mcp/json/codec.hpp"
#include "mcp/json/codec_hash.hpp"
#include "mcp/protocol/metadata.hpp"
#include "mcp/protocol/method.hpp"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mcp {

struct Root {
    std::string uri;
    std::optional<std::string> name;
    std::optional<Metadata> _meta;

    friend bool operator==(const Root&, const Root&) = default;
};

struct ListRoots {
    static constexpr std::string_view name = "roots/list";
    using Parameters = Empty;

    struct Result {
        // Written also when empty.
        std::vector<Root> roots;
        std::optional<Metadata> _meta;

        friend bool operator==(const Result&, const Result&) = default;
    };
};

// Tells the server that the client's roots changed.
struct RootsListChangedNotification {
    static constexpr std::string_view name = "notifications/roots/list_changed";
    using Parameters = Empty;

    friend bool operator==(const RootsListChangedNotification&, const RootsListChangedNotification&) = default;
};

template <>
inline constexpr bool enableMarkerRecord<RootsListChangedNotification> = true;

// {"uri", "name"?, "_meta"?}; "uri" is required.
template <>
struct Codec<Root> {
    static Value encode(const Root& root);
    static Root decode(const Value& value, const CodingPath& path);
};

// {"roots", "_meta"?}; one root that fails to read fails the whole result.
template <>
struct Codec<ListRoots::Result> {
    static Value encode(const ListRoots::Result& result);
    static ListRoots::Result decode(const Value& value, const CodingPath& path);
};

}  // namespace mcp

template <>
struct std::hash<mcp::Root> : mcp::CodecHash<mcp::Root> {};
template <>
struct std::hash<mcp::ListRoots::Result> : mcp::CodecHash<mcp::ListRoots::Result> {};
template <>
struct std::hash<mcp::RootsListChangedNotification> : mcp::CodecHash<mcp::RootsListChangedNotification> {};
