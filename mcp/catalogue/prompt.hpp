#pragma once

// Prompt: a prompt template that a server offers, with the arguments it takes
// (`Prompt::Argument`), the messages a filled-in prompt consists of (`Prompt::Message`) and
// the reference to a prompt by name that completion requests carry (`Prompt::Reference`).
//
//     Prompt{.name = "review", .arguments = {{{.name = "code", .required = true}}}}
//       {"name":"review","arguments":[{"name":"code","required":true}]}
//     Prompt::Message::user("Review this")
//       {"role":"user","content":{"type":"text","text":"Review this"}}
//     Prompt::Reference{.name = "review"}
//       {"type":"ref/prompt","name":"review"}
//
// A message's content is one object whose "type" names the case:
//
//     text           {"type":"text","text":"Hi"}
//     image          {"type":"image","data":"iVBORw0K...","mimeType":"image/png"}
//     audio          {"type":"audio","data":"UklGR...","mimeType":"audio/wav"}
//     resource       {"type":"resource","resource":{...},"annotations"?,"_meta"?}
//     resource_link  {"type":"resource_link","uri","name","title"?,"description"?,"mimeType"?,"annotations"?}
//
// Members are written in the order shown, optional ones only when present; null reads as
// absent, unknown members (those of another case included) are ignored, and an empty list is
// written as []. Image and audio data is the producer's text and is neither checked nor
// converted.

#include "mcp/catalogue/resource.hpp"
#include "mcp/json/codec.hpp"
#include "mcp/json/codec_hash.hpp"
#include "mcp/protocol/icon.hpp"
#include "mcp/protocol/metadata.hpp"

#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace mcp {

struct Prompt {
    /// One argument that the template accepts.
    struct Argument {
        std::string name;
        std::optional<std::string> title;
        std::optional<std::string> description;
        /// True, false or absent; false is written, absent is not.
        std::optional<bool> required;

        friend bool operator==(const Argument&, const Argument&) = default;
    };

    /// One message of a filled-in prompt.
    struct Message {
        enum class Role { user, assistant };

        /// What a message holds; the cases in the order text, image, audio, resource,
        /// resource link.
        struct Content {
            struct Text {
                std::string text;
                friend bool operator==(const Text&, const Text&) = default;
            };
            struct Image {
                std::string data;
                std::string mimeType;
                friend bool operator==(const Image&, const Image&) = default;
            };
            struct Audio {
                std::string data;
                std::string mimeType;
                friend bool operator==(const Audio&, const Audio&) = default;
            };
            /// A resource's contents embedded in the message.
            struct EmbeddedResource {
                Resource::Content resource;
                std::optional<Resource::Annotations> annotations;
                std::optional<Metadata> _meta;
                friend bool operator==(const EmbeddedResource&, const EmbeddedResource&) = default;
            };
            /// A link to a resource the client may read itself.
            struct ResourceLink {
                std::string uri;
                std::string name;
                std::optional<std::string> title;
                std::optional<std::string> description;
                std::optional<std::string> mimeType;
                std::optional<Resource::Annotations> annotations;
                friend bool operator==(const ResourceLink&, const ResourceLink&) = default;
            };

            using Item = std::variant<Text, Image, Audio, EmbeddedResource, ResourceLink>;

            /// Text content from a string: `Prompt::Message::user("Hi")`.
            Content(std::string text) : item(Text{std::move(text)}) {}
            Content(const char* text) : item(Text{text}) {}
            Content(Text text) : item(std::move(text)) {}
            Content(Image image) : item(std::move(image)) {}
            Content(Audio audio) : item(std::move(audio)) {}
            Content(EmbeddedResource resource) : item(std::move(resource)) {}
            Content(ResourceLink link) : item(std::move(link)) {}

            /// The case `Case` of this content, or null when it is another one.
            template <class Case>
            const Case* as() const noexcept {
                return std::get_if<Case>(&item);
            }

            Item item;

            friend bool operator==(const Content&, const Content&) = default;
        };

        Role role = Role::user;
        Content content = Content(std::string());

        static Message user(Content content) { return {Role::user, std::move(content)}; }
        static Message assistant(Content content) { return {Role::assistant, std::move(content)}; }

        friend bool operator==(const Message&, const Message&) = default;
    };

    /// A prompt named in a completion request; written with "type": "ref/prompt".
    struct Reference {
        std::string name;
        std::optional<std::string> title;

        friend bool operator==(const Reference&, const Reference&) = default;
    };

    std::string name;
    std::optional<std::string> title;
    std::optional<std::string> description;
    std::optional<std::vector<Argument>> arguments;
    std::optional<std::vector<Icon>> icons;
    std::optional<Metadata> _meta;

    friend bool operator==(const Prompt&, const Prompt&) = default;
};

/// "user" or "assistant".
std::string_view rawValue(Prompt::Message::Role role) noexcept;
/// The role named exactly "user" or "assistant", else absent.
std::optional<Prompt::Message::Role> promptRoleFromRawValue(std::string_view text) noexcept;

/// Written as "user" or "assistant"; any other value fails to read (dataCorrupted).
template <>
struct Codec<Prompt::Message::Role> {
    static Value encode(Prompt::Message::Role role) { return rawValue(role); }
    static Prompt::Message::Role decode(const Value& value, const CodingPath& path);
};

/// {"name", "title", "description", "required"}; "name" is required.
template <>
struct Codec<Prompt::Argument> {
    static Value encode(const Prompt::Argument& argument);
    static Prompt::Argument decode(const Value& value, const CodingPath& path);
};

/// A "type" that names no case fails with dataCorrupted at "type", "Unknown content type".
template <>
struct Codec<Prompt::Message::Content> {
    static Value encode(const Prompt::Message::Content& content);
    static Prompt::Message::Content decode(const Value& value, const CodingPath& path);
};

/// {"role", "content"}, both required.
template <>
struct Codec<Prompt::Message> {
    static Value encode(const Prompt::Message& message);
    static Prompt::Message decode(const Value& value, const CodingPath& path);
};

/// {"type": "ref/prompt", "name", "title"?}. Reading requires "type" to be a string but
/// doesn't look at it: telling prompt references from others is up to whoever holds them.
template <>
struct Codec<Prompt::Reference> {
    static Value encode(const Prompt::Reference& reference);
    static Prompt::Reference decode(const Value& value, const CodingPath& path);
};

/// {"name", "title", "description", "arguments", "icons", "_meta"}; "name" is required.
template <>
struct Codec<Prompt> {
    static Value encode(const Prompt& prompt);
    static Prompt decode(const Value& value, const CodingPath& path);
};

}  // namespace mcp

template <>
struct std::hash<mcp::Prompt> : mcp::CodecHash<mcp::Prompt> {};
template <>
struct std::hash<mcp::Prompt::Argument> : mcp::CodecHash<mcp::Prompt::Argument> {};
template <>
struct std::hash<mcp::Prompt::Message> : mcp::CodecHash<mcp::Prompt::Message> {};
template <>
struct std::hash<mcp::Prompt::Message::Content> : mcp::CodecHash<mcp::Prompt::Message::Content> {};
template <>
struct std::hash<mcp::Prompt::Reference> : mcp::CodecHash<mcp::Prompt::Reference> {};
