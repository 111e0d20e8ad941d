#pragma once

// What a client offers the server (`Client::Capabilities`) and how strictly a client works
// (`Client::Configuration`).

#include "mcp/json/codec.hpp"
#include "mcp/json/codec_hash.hpp"
#include "mcp/json/value.hpp"

#include <optional>

namespace mcp {

struct ClientCapabilities {
    // The client answers "roots/list"; with `listChanged` true it also says when its roots
    // change. An absent flag differs from false.
    struct Roots {
        std::optional<bool> listChanged;
        friend bool operator==(const Roots&, const Roots&) = default;
    };

    // The client accepts sampling requests, optionally with tools and with context.
    struct Sampling {
        struct Tools {
            friend bool operator==(const Tools&, const Tools&) = default;
        };
        struct Context {
            friend bool operator==(const Context&, const Context&) = default;
        };
        std::optional<Tools> tools;
        std::optional<Context> context;
        friend bool operator==(const Sampling&, const Sampling&) = default;
    };

    // The client accepts elicitation requests in form mode, URL mode or both.
    struct Elicitation {
        struct Form {
            friend bool operator==(const Form&, const Form&) = default;
        };
        struct URL {
            friend bool operator==(const URL&, const URL&) = default;
        };
        std::optional<Form> form;
        std::optional<URL> url;
        friend bool operator==(const Elicitation&, const Elicitation&) = default;
    };

    std::optional<Sampling> sampling;
    std::optional<Elicitation> elicitation;
    // Free-form entries, each any JSON value.
    std::optional<Value::Object> experimental;
    std::optional<Roots> roots;

    friend bool operator==(const ClientCapabilities&, const ClientCapabilities&) = default;
};

template <>
inline constexpr bool enableMarkerRecord<ClientCapabilities::Sampling::Tools> = true;
template <>
inline constexpr bool enableMarkerRecord<ClientCapabilities::Sampling::Context> = true;
template <>
inline constexpr bool enableMarkerRecord<ClientCapabilities::Elicitation::Form> = true;
template <>
inline constexpr bool enableMarkerRecord<ClientCapabilities::Elicitation::URL> = true;

// Must be an object; "listChanged" an optional boolean.
template <>
struct Codec<ClientCapabilities::Roots> {
    static Value encode(const ClientCapabilities::Roots& roots);
    static ClientCapabilities::Roots decode(const Value& value, const CodingPath& path);
};

// A value that is not an object reads as sampling without features.
template <>
struct Codec<ClientCapabilities::Sampling> {
    static Value encode(const ClientCapabilities::Sampling& sampling);
    static ClientCapabilities::Sampling decode(const Value& value, const CodingPath& path);
};

// A value that is not an object, or an object with neither "form" nor "url", reads as form
// mode.
template <>
struct Codec<ClientCapabilities::Elicitation> {
    static Value encode(const ClientCapabilities::Elicitation& elicitation);
    static ClientCapabilities::Elicitation decode(const Value& value, const CodingPath& path);
};

// {"sampling", "elicitation", "experimental", "roots"}, each only when present. Any member
// that fails to read fails the whole record; "experimental" must be an object, whose entries
// may be any JSON value.
template <>
struct Codec<ClientCapabilities> {
    static Value encode(const ClientCapabilities& capabilities);
    static ClientCapabilities decode(const Value& value, const CodingPath& path);
};

// How strictly a client works (`Client::Configuration`).
struct ClientConfiguration {
    bool strict = false;

    static constexpr ClientConfiguration defaultConfiguration() noexcept { return {.strict = false}; }
    static constexpr ClientConfiguration strictConfiguration() noexcept { return {.strict = true}; }

    friend bool operator==(const ClientConfiguration&, const ClientConfiguration&) = default;
};

// {"strict": bool}; "strict" is required.
template <>
struct Codec<ClientConfiguration> {
    static Value encode(const ClientConfiguration& configuration);
    static ClientConfiguration decode(const Value& value, const CodingPath& path);
};

}  // namespace mcp

template <>
struct std::hash<mcp::ClientCapabilities> : mcp::CodecHash<mcp::ClientCapabilities> {};
template <>
struct std::hash<mcp::ClientCapabilities::Sampling> : mcp::CodecHash<mcp::ClientCapabilities::Sampling> {};
template <>
struct std::hash<mcp::ClientCapabilities::Elicitation> : mcp::CodecHash<mcp::ClientCapabilities::Elicitation> {};
template <>
struct std::hash<mcp::ClientCapabilities::Roots> : mcp::CodecHash<mcp::ClientCapabilities::Roots> {};
template <>
struct std::hash<mcp::ClientConfiguration> : mcp::CodecHash<mcp::ClientConfiguration> {};
