#pragma once

// Resource: what a server can hand out. A `Resource` names one resource by its URI, a
// `Resource::Template` names a family of them by a URI template, `Resource::Content` is one
// resource's body, and `Resource::Annotations` the hints attached to a piece of content.
//
//     Resource{.name = "notes", .uri = "file:///notes.txt", .size = 12}
//       {"name":"notes","uri":"file:///notes.txt","size":12}
//     Resource::Template{.uriTemplate = "file:///{path}", .name = "files"}
//       {"uriTemplate":"file:///{path}","name":"files"}
//     Resource::Content::fromText("Hi", "file:///notes.txt", "text/plain")
//       {"uri":"file:///notes.txt","mimeType":"text/plain","text":"Hi"}
//     Resource::Annotations{.audience = {{Resource::Annotations::Audience::user}}, .priority = 0.5}
//       {"audience":["user"],"priority":0.5}
//
// Members are written in the order shown, optional ones only when present; on reading, null
// counts as absent and unknown members are ignored. An empty list is a value of its own and
// differs from an absent one. Nothing here checks or expands a URI or a template.

#include "mcp/json/codec.hpp"
#include "mcp/json/codec_hash.hpp"
#include "mcp/protocol/icon.hpp"
#include "mcp/protocol/metadata.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mcp {

struct Resource {
    // A resource's contents: its address with either its text or its bytes. The factories
    // set exactly one of the two; a value read from JSON keeps what it was given, both or
    // neither included.
    struct Content {
        std::string uri;
        std::optional<std::string> mimeType;
        std::optional<std::string> text;
        // The bytes in base64, exactly as the producer gives them; never decoded here.
        std::optional<std::string> blob;
        std::optional<Metadata> _meta;

        // A content holding `text`. (Named apart from the `text` member it sets.)
        static Content fromText(std::string text, std::string uri, std::optional<std::string> mimeType = std::nullopt,
                            std::optional<Metadata> meta = std::nullopt);
        // A content holding `bytes`, written as standard padded base64.
        static Content binary(std::string_view bytes, std::string uri,
                              std::optional<std::string> mimeType = std::nullopt,
                              std::optional<Metadata> meta = std::nullopt);

        friend bool operator==(const Content&, const Content&) = default;
    };

    // Hints about a content item: who it is meant for, how much it matters, when it changed.
    struct Annotations {
        // The role a content item is meant for.
        enum class Audience { user, assistant };

        std::optional<std::vector<Audience>> audience;
        // No range is enforced; the protocol suggests 0 (least) to 1 (most important).
        std::optional<double> priority;
        // An ISO 8601 timestamp, as the producer gives it; never parsed.
        std::optional<std::string> lastModified;

        friend bool operator==(const Annotations&, const Annotations&) = default;
    };

    // A family of resources, addressed by filling in a URI template.
    struct Template {
        // Kept as given; never expanded or checked.
        std::string uriTemplate;
        std::string name;
        std::optional<std::string> title;
        std::optional<std::string> description;
        std::optional<std::string> mimeType;
        std::optional<Annotations> annotations;
        std::optional<std::vector<Icon>> icons;
        std::optional<Metadata> _meta;

        friend bool operator==(const Template&, const Template&) = default;
    };

    std::string name;
    std::optional<std::string> title;
    std::string uri;
    std::optional<std::string> description;
    std::optional<std::string> mimeType;
    // The size in bytes, when the server knows it.
    std::optional<std::int64_t> size;
    std::optional<Annotations> annotations;
    std::optional<std::vector<Icon>> icons;
    std::optional<Metadata> _meta;

    friend bool operator==(const Resource&, const Resource&) = default;
};

// "user" or "assistant".
std::string_view rawValue(Resource::Annotations::Audience audience) noexcept;
// The audience named exactly "user" or "assistant", else absent.
std::optional<Resource::Annotations::Audience> audienceFromRawValue(std::string_view text) noexcept;

// Written as "user" or "assistant"; any other value fails to read.
template <>
struct Codec<Resource::Annotations::Audience> {
    static Value encode(Resource::Annotations::Audience audience);
    static Resource::Annotations::Audience decode(const Value& value, const CodingPath& path);
};

// {"uri", "mimeType", "text", "blob", "_meta"}; "uri" is required.
template <>
struct Codec<Resource::Content> {
    static Value encode(const Resource::Content& content);
    static Resource::Content decode(const Value& value, const CodingPath& path);
};

// {"audience", "priority", "lastModified"}, all optional.
template <>
struct Codec<Resource::Annotations> {
    static Value encode(const Resource::Annotations& annotations);
    static Resource::Annotations decode(const Value& value, const CodingPath& path);
};

// {"name", "uri", "title", "description", "mimeType", "size", "annotations", "icons",
// "_meta"}: "uri" comes second on the wire; "name" and "uri" are required; "size" must be a
// whole number.
template <>
struct Codec<Resource> {
    static Value encode(const Resource& resource);
    static Resource decode(const Value& value, const CodingPath& path);
};

// {"uriTemplate", "name", "title", "description", "mimeType", "annotations", "icons",
// "_meta"}; the first two are required.
template <>
struct Codec<Resource::Template> {
    static Value encode(const Resource::Template& resourceTemplate);
    static Resource::Template decode(const Value& value, const CodingPath& path);
};

}  // namespace mcp

template <>
struct std::hash<mcp::Resource> : mcp::CodecHash<mcp::Resource> {};
template <>
struct std::hash<mcp::Resource::Content> : mcp::CodecHash<mcp::Resource::Content> {};
template <>
struct std::hash<mcp::Resource::Annotations> : mcp::CodecHash<mcp::Resource::Annotations> {};
template <>
struct std::hash<mcp::Resource::Template> : mcp::CodecHash<mcp::Resource::Template> {};
