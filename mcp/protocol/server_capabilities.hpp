#pragma once

// What a server offers its clients (`Server::Capabilities`) and how strictly it enforces the
// protocol (`Server::Configuration`).

#include "mcp/json/codec.hpp"

#include <optional>

namespace mcp {

struct ServerCapabilities {
    // The server answers completion requests.
    struct Completions {
        friend bool operator==(const Completions&, const Completions&) = default;
    };
    // The server sends log messages.
    struct Logging {
        friend bool operator==(const Logging&, const Logging&) = default;
    };
    // The server offers prompts; with `listChanged` it says when their list changes.
    struct Prompts {
        std::optional<bool> listChanged;
        friend bool operator==(const Prompts&, const Prompts&) = default;
    };
    // The server offers resources, optionally with subscriptions and list-change notices.
    struct Resources {
        std::optional<bool> subscribe;
        std::optional<bool> listChanged;
        friend bool operator==(const Resources&, const Resources&) = default;
    };
    // The server offers tools; with `listChanged` it says when their list changes.
    struct Tools {
        std::optional<bool> listChanged;
        friend bool operator==(const Tools&, const Tools&) = default;
    };

    std::optional<Completions> completions;
    std::optional<Logging> logging;
    std::optional<Prompts> prompts;
    std::optional<Resources> resources;
    std::optional<Tools> tools;

    friend bool operator==(const ServerCapabilities&, const ServerCapabilities&) = default;
};

template <>
inline constexpr bool enableMarkerRecord<ServerCapabilities::Completions> = true;
template <>
inline constexpr bool enableMarkerRecord<ServerCapabilities::Logging> = true;

// {"listChanged"} when the flag is present; must be an object with a boolean flag.
template <>
struct Codec<ServerCapabilities::Prompts> {
    static Value encode(const ServerCapabilities::Prompts& prompts);
    static ServerCapabilities::Prompts decode(const Value& value, const CodingPath& path);
};

// {"subscribe", "listChanged"}, each when present; must be an object with boolean flags.
template <>
struct Codec<ServerCapabilities::Resources> {
    static Value encode(const ServerCapabilities::Resources& resources);
    static ServerCapabilities::Resources decode(const Value& value, const CodingPath& path);
};

// {"listChanged"} when the flag is present; must be an object with a boolean flag.
template <>
struct Codec<ServerCapabilities::Tools> {
    static Value encode(const ServerCapabilities::Tools& tools);
    static ServerCapabilities::Tools decode(const Value& value, const CodingPath& path);
};

// {"completions", "logging", "prompts", "resources", "tools"}, each only when present: a
// server with only the tools capability writes {"tools":{}}.
template <>
struct Codec<ServerCapabilities> {
    static Value encode(const ServerCapabilities& capabilities);
    static ServerCapabilities decode(const Value& value, const CodingPath& path);
};

// How strictly a server enforces the protocol (`Server::Configuration`): a strict server
// serves nothing but "initialize" and "ping" before the handshake.
struct ServerConfiguration {
    bool strict = false;

    static constexpr ServerConfiguration defaultConfiguration() noexcept { return {.strict = false}; }
    static constexpr ServerConfiguration strictConfiguration() noexcept { return {.strict = true}; }

    friend bool operator==(const ServerConfiguration&, const ServerConfiguration&) = default;
};

// {"strict": bool}; "strict" is required.
template <>
struct Codec<ServerConfiguration> {
    static Value encode(const ServerConfiguration& configuration);
    static ServerConfiguration decode(const Value& value, const CodingPath& path);
};

}  // namespace mcp
