#pragma once

// Resource: the name scope of the resource types. It holds, for now, the two records that
// tool results embed: a resource's contents (`Resource::Content`) and the hints attached to a
// content item (`Resource::Annotations`).
//
//     Resource::Content{.uri = "file:///notes.txt", .mimeType = "text/plain", .text = "Hi"}
//       {"uri":"file:///notes.txt","mimeType":"text/plain","text":"Hi"}
//     Resource::Annotations{.audience = {{Resource::Annotations::Audience::user}}, .priority = 0.5}
//       {"audience":["user"],"priority":0.5}
//
// Members are written in field order, optional ones only when present; on reading, null counts
// as absent and unknown members are ignored.

#include "mcp/json/codec.hpp"
#include "mcp/protocol/metadata.hpp"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace mcp {

struct Resource {
    /// A resource's contents: its address with either its text or its bytes.
    struct Content {
        std::string uri;
        std::optional<std::string> mimeType;
        std::optional<std::string> text;
        /// The bytes in base64, exactly as the producer gives them.
        std::optional<std::string> blob;
        std::optional<Metadata> _meta;

        friend bool operator==(const Content&, const Content&) = default;
    };

    /// Hints about a content item: who it is meant for, how much it matters, when it changed.
    struct Annotations {
        /// The role a content item is meant for.
        enum class Audience { user, assistant };

        std::optional<std::vector<Audience>> audience;
        /// No range is enforced; the protocol suggests 0 (least) to 1 (most important).
        std::optional<double> priority;
        /// An ISO 8601 timestamp, as the producer gives it.
        std::optional<std::string> lastModified;

        friend bool operator==(const Annotations&, const Annotations&) = default;
    };
};

/// Written as "user" or "assistant"; any other value fails to read.
template <>
struct Codec<Resource::Annotations::Audience> {
    static Value encode(Resource::Annotations::Audience audience);
    static Resource::Annotations::Audience decode(const Value& value, const CodingPath& path);
};

/// {"uri", "mimeType", "text", "blob", "_meta"}; "uri" is required.
template <>
struct Codec<Resource::Content> {
    static Value encode(const Resource::Content& content);
    static Resource::Content decode(const Value& value, const CodingPath& path);
};

/// {"audience", "priority", "lastModified"}, all optional.
template <>
struct Codec<Resource::Annotations> {
    static Value encode(const Resource::Annotations& annotations);
    static Resource::Annotations decode(const Value& value, const CodingPath& path);
};

}  // namespace mcp


