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
// A message's content is one of the five cases of `ContentItem`. Members are written in the
// order shown, optional ones only when present; null reads as absent, unknown members are
// ignored, and an empty list is written as [].

#include "mcp/catalogue/content_item.hpp"
#include "mcp/catalogue/resource.hpp"
#include "mcp/json/codec.hpp"
#include "mcp/json/codec_hash.hpp"
#include "mcp/protocol/icon.hpp"
#include "mcp/protocol/metadata.hpp"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mcp {

// Prompt message content names an unknown "type" with this text.
struct PromptContentKind {
    static constexpr std::string_view unknownTypeText = "Unknown content type";
};

struct Prompt {
    // One argument that the template accepts.
    struct Argument {
        std::string name;
        std::optional<std::string> title;
        std::optional<std::string> description;
        // True, false or absent; false is written, absent is not.
        std::optional<bool> required;

        friend bool operator==(const Argument&, const Argument&) = default;
    };

    // One message of a filled-in prompt.
    struct Message {
        enum class Role { user, assistant };

        // What a message holds: text, an image, a sound, an embedded resource or a
        // resource link. Made from a string, it is text.
        using Content = ContentItem<PromptContentKind>;

        Role role = Role::user;
        Content content = Content(std::string());

        static Message user(Content content) { return {Role::user, std::move(content)}; }
        static Message assistant(Content content) { return {Role::assistant, std::move(content)}; }

        friend bool operator==(const Message&, const Message&) = default;
    };

    // A prompt named in a completion request; written with "type": "ref/prompt".
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

// "user" or "assistant".
std::string_view rawValue(Prompt::Message::Role role) noexcept;
// The role named exactly "user" or "assistant", else absent.
std::optional<Prompt::Message::Role> messageRoleFromRawValue(std::string_view text) noexcept;

// Written as "user" or "assistant"; any other value fails to read (dataCorrupted).
template <>
struct Codec<Prompt::Message::Role> {
    static Value encode(Prompt::Message::Role role) { return rawValue(role); }
    static Prompt::Message::Role decode(const Value& value, const CodingPath& path);
};

// {"name", "title", "description", "required"}; "name" is required.
template <>
struct Codec<Prompt::Argument> {
    static Value encode(const Prompt::Argument& argument);
    static Prompt::Argument decode(const Value& value, const CodingPath& path);
};

// {"role", "content"}, both required.
template <>
struct Codec<Prompt::Message> {
    static Value encode(const Prompt::Message& message);
    static Prompt::Message decode(const Value& value, const CodingPath& path);
};

// {"type": "ref/prompt", "name", "title"?}. Reading requires "type" to be a string but
// doesn't look at it: telling prompt references from others is up to whoever holds them.
template <>
struct Codec<Prompt::Reference> {
    static Value encode(const Prompt::Reference& reference);
    static Prompt::Reference decode(const Value& value, const CodingPath& path);
};

// {"name", "title", "description", "arguments", "icons", "_meta"}; "name" is required.
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
