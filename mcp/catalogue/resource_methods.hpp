#pragma once

// The resource methods and notifications:
//
//     ListResources          "resources/list"            {"cursor"?}
//                                                         ->  {"resources", "nextCursor"?, "_meta"?}
//     ReadResource           "resources/read"            {"uri"}  ->  {"contents", "_meta"?}
//     ListResourceTemplates  "resources/templates/list"  {"cursor"?}
//                                                         ->  {"resourceTemplates", "nextCursor"?, "_meta"?}
//     ResourceSubscribe      "resources/subscribe"       {"uri"}  ->  {}
//     ResourceUnsubscribe    "resources/unsubscribe"     {"uri"}  ->  {}
//     ResourceListChangedNotification  "notifications/resources/list_changed", no parameters
//     ResourceUpdatedNotification      "notifications/resources/updated"  {"uri"}
//
// Members are written in the order shown, optional ones only when present; lists are written
// even when empty. "params" may be left out of the two list requests only. Cursors are the
// server's opaque text. No handler for any of these methods is built in: a server offers them
// by registering its own.

#include "mcp/catalogue/cursor_parameters.hpp"
#include "mcp/catalogue/resource.hpp"
#include "mcp/json/codec.hpp"
#include "mcp/json/codec_hash.hpp"
#include "mcp/protocol/metadata.hpp"
#include "mcp/protocol/method.hpp"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mcp {

// The parameters of a request about one resource: its URI.
struct ResourceURIParameters {
    std::string uri;

    friend bool operator==(const ResourceURIParameters&, const ResourceURIParameters&) = default;
};

struct ListResources {
    static constexpr std::string_view name = "resources/list";
    using Parameters = CursorParameters;

    struct Result {
        std::vector<Resource> resources;
        // Where the next page starts; absent on the last page.
        std::optional<std::string> nextCursor;
        std::optional<Metadata> _meta;

        friend bool operator==(const Result&, const Result&) = default;
    };
};

struct ReadResource {
    static constexpr std::string_view name = "resources/read";
    using Parameters = ResourceURIParameters;

    struct Result {
        std::vector<Resource::Content> contents;
        std::optional<Metadata> _meta;

        friend bool operator==(const Result&, const Result&) = default;
    };
};

struct ListResourceTemplates {
    static constexpr std::string_view name = "resources/templates/list";
    using Parameters = CursorParameters;

    struct Result {
        // Written and read under "resourceTemplates".
        std::vector<Resource::Template> templates;
        std::optional<std::string> nextCursor;
        std::optional<Metadata> _meta;

        friend bool operator==(const Result&, const Result&) = default;
    };
};

// Asks the server to send `ResourceUpdatedNotification` when the resource changes.
struct ResourceSubscribe {
    static constexpr std::string_view name = "resources/subscribe";
    using Parameters = ResourceURIParameters;
    using Result = Empty;
};

struct ResourceUnsubscribe {
    static constexpr std::string_view name = "resources/unsubscribe";
    using Parameters = ResourceURIParameters;
    using Result = Empty;
};

// Tells the client that the server's list of resources changed.
struct ResourceListChangedNotification {
    static constexpr std::string_view name = "notifications/resources/list_changed";
    using Parameters = Empty;

    friend bool operator==(const ResourceListChangedNotification&, const ResourceListChangedNotification&) = default;
};

// Tells a subscribed client that one resource changed.
struct ResourceUpdatedNotification {
    static constexpr std::string_view name = "notifications/resources/updated";
    using Parameters = ResourceURIParameters;

    friend bool operator==(const ResourceUpdatedNotification&, const ResourceUpdatedNotification&) = default;
};

template <>
inline constexpr bool enableMarkerRecord<ResourceListChangedNotification> = true;
template <>
inline constexpr bool enableMarkerRecord<ResourceUpdatedNotification> = true;

// {"uri"}, required.
template <>
struct Codec<ResourceURIParameters> {
    static Value encode(const ResourceURIParameters& parameters);
    static ResourceURIParameters decode(const Value& value, const CodingPath& path);
};

template <>
struct Codec<ListResources::Result> {
    static Value encode(const ListResources::Result& result);
    static ListResources::Result decode(const Value& value, const CodingPath& path);
};

template <>
struct Codec<ReadResource::Result> {
    static Value encode(const ReadResource::Result& result);
    static ReadResource::Result decode(const Value& value, const CodingPath& path);
};

// A list under "templates" instead of "resourceTemplates" fails to read.
template <>
struct Codec<ListResourceTemplates::Result> {
    static Value encode(const ListResourceTemplates::Result& result);
    static ListResourceTemplates::Result decode(const Value& value, const CodingPath& path);
};

}  // namespace mcp

template <>
struct std::hash<mcp::ResourceURIParameters> : mcp::CodecHash<mcp::ResourceURIParameters> {};
template <>
struct std::hash<mcp::ListResources::Result> : mcp::CodecHash<mcp::ListResources::Result> {};
template <>
struct std::hash<mcp::ReadResource::Result> : mcp::CodecHash<mcp::ReadResource::Result> {};
template <>
struct std::hash<mcp::ListResourceTemplates::Result> : mcp::CodecHash<mcp::ListResourceTemplates::Result> {};
template <>
struct std::hash<mcp::ResourceListChangedNotification> : mcp::CodecHash<mcp::ResourceListChangedNotification> {};
template <>
struct std::hash<mcp::ResourceUpdatedNotification> : mcp::CodecHash<mcp::ResourceUpdatedNotification> {};
