#pragma once

// Completion: the client asks for suggested values of one argument of a prompt or a resource
// template.
//
//     Complete  "completion/complete"
//       {"ref", "argument": {"name", "value"}, "context"?: {"arguments"}}
//       ->  {"completion": {"values", "total"?, "hasMore"?}, "_meta"?}
//
// The reference names what the argument belongs to, by its "type":
//
//     {"type":"ref/prompt","name":"review","title"?}
//     {"type":"ref/resource","uri":"file:///{path}"}
//
// Members are written in the order shown, optional ones only when present ("hasMore": false
// is written); "values" is written even when empty and kept exactly as given, however many.
// "params" may not be left out of a request.

#include "mcp/catalogue/prompt.hpp"
#include "mcp/catalogue/prompt_methods.hpp"
#include "mcp/json/codec.hpp"
#include "mcp/json/codec_hash.hpp"
#include "mcp/protocol/metadata.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace mcp {

// A resource (or resource template) named by its URI in a completion request.
struct ResourceReference {
    // Carried as text, never parsed.
    std::string uri;

    friend bool operator==(const ResourceReference&, const ResourceReference&) = default;
};

// What a completed argument belongs to: a prompt or a resource.
struct CompletionReference {
    using Item = std::variant<Prompt::Reference, ResourceReference>;

    CompletionReference(Prompt::Reference prompt) : item(std::move(prompt)) {}
    CompletionReference(ResourceReference resource) : item(std::move(resource)) {}

    // The prompt reference, or null for a resource.
    const Prompt::Reference* prompt() const noexcept { return std::get_if<Prompt::Reference>(&item); }
    // The resource reference, or null for a prompt.
    const ResourceReference* resource() const noexcept { return std::get_if<ResourceReference>(&item); }

    Item item;

    friend bool operator==(const CompletionReference&, const CompletionReference&) = default;
};

struct Complete {
    static constexpr std::string_view name = "completion/complete";

    struct Parameters {
        // The argument being completed.
        struct Argument {
            std::string name;
            // Its value so far; may be empty.
            std::string value;

            friend bool operator==(const Argument&, const Argument&) = default;
        };

        // Values of the other arguments, already filled in.
        struct Context {
            ArgumentValues arguments;

            friend bool operator==(const Context&, const Context&) = default;
        };

        CompletionReference ref;
        Argument argument;
        std::optional<Context> context;

        friend bool operator==(const Parameters&, const Parameters&) = default;
    };

    struct Result {
        struct Completion {
            // The suggestions, in the server's order.
            std::vector<std::string> values;
            // How many suggestions there are in all.
            std::optional<std::int64_t> total;
            std::optional<bool> hasMore;

            friend bool operator==(const Completion&, const Completion&) = default;
        };

        Completion completion;
        std::optional<Metadata> _meta;

        friend bool operator==(const Result&, const Result&) = default;
    };
};

// {"type": "ref/resource", "uri"}. Reading fails with dataCorrupted at "type", "Expected
// ref/resource type", when "type" is any other string, before "uri" is read.
template <>
struct Codec<ResourceReference> {
    static Value encode(const ResourceReference& reference);
    static ResourceReference decode(const Value& value, const CodingPath& path);
};

// The object of the reference it holds, chosen by "type" ("ref/prompt" or "ref/resource");
// another type fails with dataCorrupted at "type", "Unknown reference type: " and the type.
template <>
struct Codec<CompletionReference> {
    static Value encode(const CompletionReference& reference);
    static CompletionReference decode(const Value& value, const CodingPath& path);
};

template <>
struct Codec<Complete::Parameters::Argument> {
    static Value encode(const Complete::Parameters::Argument& argument);
    static Complete::Parameters::Argument decode(const Value& value, const CodingPath& path);
};

// {"arguments"}, required.
template <>
struct Codec<Complete::Parameters::Context> {
    static Value encode(const Complete::Parameters::Context& context);
    static Complete::Parameters::Context decode(const Value& value, const CodingPath& path);
};

template <>
struct Codec<Complete::Parameters> {
    static Value encode(const Complete::Parameters& parameters);
    static Complete::Parameters decode(const Value& value, const CodingPath& path);
};

template <>
struct Codec<Complete::Result::Completion> {
    static Value encode(const Complete::Result::Completion& completion);
    static Complete::Result::Completion decode(const Value& value, const CodingPath& path);
};

template <>
struct Codec<Complete::Result> {
    static Value encode(const Complete::Result& result);
    static Complete::Result decode(const Value& value, const CodingPath& path);
};

}  // namespace mcp

template <>
struct std::hash<mcp::ResourceReference> : mcp::CodecHash<mcp::ResourceReference> {};
template <>
struct std::hash<mcp::CompletionReference> : mcp::CodecHash<mcp::CompletionReference> {};
template <>
struct std::hash<mcp::Complete::Parameters> : mcp::CodecHash<mcp::Complete::Parameters> {};
template <>
struct std::hash<mcp::Complete::Result> : mcp::CodecHash<mcp::Complete::Result> {};
