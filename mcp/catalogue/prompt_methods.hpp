#pragma once

// The prompt methods and their notification:
//
//     ListPrompts  "prompts/list"  {"cursor"?}  ->  {"prompts", "nextCursor"?, "_meta"?}
//     GetPrompt    "prompts/get"   {"name", "arguments"?}  ->  {"description"?, "messages", "_meta"?}
//     PromptListChangedNotification  "notifications/prompts/list_changed", no parameters
//
// Members are written in the order shown, optional ones only when present; "prompts" and
// "messages" are written even when empty. "params" may be left out of a "prompts/list"
// request but not of a "prompts/get" one. The values of "arguments" must be strings.

#include "mcp/catalogue/cursor_parameters.hpp"
#include "mcp/catalogue/prompt.hpp"
#include "mcp/json/codec.hpp"
#include "mcp/json/codec_hash.hpp"
#include "mcp/protocol/metadata.hpp"
#include "mcp/protocol/method.hpp"

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mcp {

// Argument values by argument name; compared whatever the order they came in.
using ArgumentValues = std::map<std::string, std::string>;

// A JSON object whose members are all strings; any other member value is a type mismatch.
template <>
struct Codec<ArgumentValues> {
    static Value encode(const ArgumentValues& values);
    static ArgumentValues decode(const Value& value, const CodingPath& path);
};

struct ListPrompts {
    static constexpr std::string_view name = "prompts/list";
    using Parameters = CursorParameters;

    struct Result {
        std::vector<Prompt> prompts;
        // Where the next page starts; absent on the last page.
        std::optional<std::string> nextCursor;
        std::optional<Metadata> _meta;

        friend bool operator==(const Result&, const Result&) = default;
    };
};

struct GetPrompt {
    static constexpr std::string_view name = "prompts/get";

    struct Parameters {
        // The name of the prompt to fill in.
        std::string name;
        std::optional<ArgumentValues> arguments;

        friend bool operator==(const Parameters&, const Parameters&) = default;
    };

    struct Result {
        std::optional<std::string> description;
        std::vector<Prompt::Message> messages;
        std::optional<Metadata> _meta;

        friend bool operator==(const Result&, const Result&) = default;
    };
};

// Tells the client that the server's list of prompts changed.
struct PromptListChangedNotification {
    static constexpr std::string_view name = "notifications/prompts/list_changed";
    using Parameters = Empty;

    friend bool operator==(const PromptListChangedNotification&, const PromptListChangedNotification&) = default;
};

template <>
inline constexpr bool enableMarkerRecord<PromptListChangedNotification> = true;

template <>
struct Codec<ListPrompts::Result> {
    static Value encode(const ListPrompts::Result& result);
    static ListPrompts::Result decode(const Value& value, const CodingPath& path);
};

template <>
struct Codec<GetPrompt::Parameters> {
    static Value encode(const GetPrompt::Parameters& parameters);
    static GetPrompt::Parameters decode(const Value& value, const CodingPath& path);
};

template <>
struct Codec<GetPrompt::Result> {
    static Value encode(const GetPrompt::Result& result);
    static GetPrompt::Result decode(const Value& value, const CodingPath& path);
};

}  // namespace mcp

template <>
struct std::hash<mcp::ListPrompts::Result> : mcp::CodecHash<mcp::ListPrompts::Result> {};
template <>
struct std::hash<mcp::GetPrompt::Parameters> : mcp::CodecHash<mcp::GetPrompt::Parameters> {};
template <>
struct std::hash<mcp::GetPrompt::Result> : mcp::CodecHash<mcp::GetPrompt::Result> {};
template <>
struct std::hash<mcp::PromptListChangedNotification> : mcp::CodecHash<mcp::PromptListChangedNotification> {};
