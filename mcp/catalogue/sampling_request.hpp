#pragma once

// "sampling/createMessage": a server asks the client to have a language model write the next
// message of a conversation.
//
//     CreateSamplingMessage  "sampling/createMessage"
//       {"messages", "modelPreferences"?, "systemPrompt"?, "includeContext"?, "temperature"?,
//        "maxTokens", "stopSequences"?, "_meta"?, "tools"?, "toolChoice"?, "metadata"?}
//       ->  {"model", "stopReason"?, "role", "content", "_meta"?}
//
// Members are written in the order shown, optional ones only when present; "messages" is
// written even when empty. Nothing checks the temperature or the token count; the model
// preferences' priorities must lie in 0...1.

#include "mcp/catalogue/sampling.hpp"
#include "mcp/catalogue/tool.hpp"
#include "mcp/json/codec.hpp"
#include "mcp/json/codec_hash.hpp"
#include "mcp/json/value.hpp"
#include "mcp/protocol/metadata.hpp"
#include "mcp/protocol/unit_interval.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mcp {

namespace Sampling {

// What kind of model the server would like; every member is optional.
struct ModelPreferences {
    // A model name, or part of one, to prefer.
    struct Hint {
        std::optional<std::string> name;

        friend bool operator==(const Hint&, const Hint&) = default;
    };

    std::optional<std::vector<Hint>> hints;
    std::optional<UnitInterval> costPriority;
    std::optional<UnitInterval> speedPriority;
    std::optional<UnitInterval> intelligencePriority;

    friend bool operator==(const ModelPreferences&, const ModelPreferences&) = default;
};

// Which servers' context the client is asked to add to the conversation.
enum class ContextInclusion { none, thisServer, allServers };

// Why the model stopped: any text, of which four are named.
struct StopReason {
    std::string rawValue;

    StopReason(std::string text) : rawValue(std::move(text)) {}
    StopReason(const char* text) : rawValue(text) {}

    static const StopReason endTurn;
    static const StopReason stopSequence;
    static const StopReason maxTokens;
    static const StopReason toolUse;

    friend bool operator==(const StopReason&, const StopReason&) = default;
};

inline const StopReason StopReason::endTurn{"endTurn"};
inline const StopReason StopReason::stopSequence{"stopSequence"};
inline const StopReason StopReason::maxTokens{"maxTokens"};
inline const StopReason StopReason::toolUse{"toolUse"};

}  // namespace Sampling

struct CreateSamplingMessage {
    static constexpr std::string_view name = "sampling/createMessage";

    // How the model must choose among the offered tools.
    struct ToolChoice {
        enum class Mode { automatic, required, none };

        // Absent reads and writes as automatic.
        std::optional<Mode> mode;

        friend bool operator==(const ToolChoice&, const ToolChoice&) = default;
    };

    struct Parameters {
        std::vector<Sampling::Message> messages;
        std::optional<Sampling::ModelPreferences> modelPreferences;
        std::optional<std::string> systemPrompt;
        std::optional<Sampling::ContextInclusion> includeContext;
        std::optional<double> temperature;
        // The most tokens the model may produce.
        std::int64_t maxTokens = 0;
        std::optional<std::vector<std::string>> stopSequences;
        std::optional<Metadata> _meta;
        // Tools the model may call.
        std::optional<std::vector<Tool>> tools;
        std::optional<ToolChoice> toolChoice;
        // Passed through to the client untouched.
        std::optional<ValueObject> metadata;

        friend bool operator==(const Parameters&, const Parameters&) = default;
    };

    struct Result {
        // The name of the model that wrote the message.
        std::string model;
        std::optional<Sampling::StopReason> stopReason;
        Sampling::Message::Role role = Sampling::Message::Role::assistant;
        Sampling::Message::Content content = Sampling::Message::Content(std::string());
        std::optional<Metadata> _meta;

        friend bool operator==(const Result&, const Result&) = default;
    };
};

// "none", "thisServer" or "allServers".
std::string_view rawValue(Sampling::ContextInclusion inclusion) noexcept;
std::optional<Sampling::ContextInclusion> contextInclusionFromRawValue(std::string_view text) noexcept;
// "auto", "required" or "none".
std::string_view rawValue(CreateSamplingMessage::ToolChoice::Mode mode) noexcept;
std::optional<CreateSamplingMessage::ToolChoice::Mode> toolChoiceModeFromRawValue(std::string_view text) noexcept;

// Written as its text; any other value fails to read (dataCorrupted).
template <>
struct Codec<Sampling::ContextInclusion> {
    static Value encode(Sampling::ContextInclusion inclusion) { return rawValue(inclusion); }
    static Sampling::ContextInclusion decode(const Value& value, const CodingPath& path);
};

// A bare string; any string reads.
template <>
struct Codec<Sampling::StopReason> {
    static Value encode(const Sampling::StopReason& reason) { return reason.rawValue; }
    static Sampling::StopReason decode(const Value& value, const CodingPath& path) {
        return Codec<std::string>::decode(value, path);
    }
};

// {"name"?}.
template <>
struct Codec<Sampling::ModelPreferences::Hint> {
    static Value encode(const Sampling::ModelPreferences::Hint& hint);
    static Sampling::ModelPreferences::Hint decode(const Value& value, const CodingPath& path);
};

// {"hints"?, "costPriority"?, "speedPriority"?, "intelligencePriority"?}.
template <>
struct Codec<Sampling::ModelPreferences> {
    static Value encode(const Sampling::ModelPreferences& preferences);
    static Sampling::ModelPreferences decode(const Value& value, const CodingPath& path);
};

// Written as its text; any other value fails to read (dataCorrupted).
template <>
struct Codec<CreateSamplingMessage::ToolChoice::Mode> {
    static Value encode(CreateSamplingMessage::ToolChoice::Mode mode) { return rawValue(mode); }
    static CreateSamplingMessage::ToolChoice::Mode decode(const Value& value, const CodingPath& path);
};

// {"mode"} for required and none; {} for automatic or no mode. Reading a missing or null
// "mode" gives automatic.
template <>
struct Codec<CreateSamplingMessage::ToolChoice> {
    static Value encode(const CreateSamplingMessage::ToolChoice& choice);
    static CreateSamplingMessage::ToolChoice decode(const Value& value, const CodingPath& path);
};

template <>
struct Codec<CreateSamplingMessage::Parameters> {
    static Value encode(const CreateSamplingMessage::Parameters& parameters);
    static CreateSamplingMessage::Parameters decode(const Value& value, const CodingPath& path);
};

template <>
struct Codec<CreateSamplingMessage::Result> {
    static Value encode(const CreateSamplingMessage::Result& result);
    static CreateSamplingMessage::Result decode(const Value& value, const CodingPath& path);
};

}  // namespace mcp

template <>
struct std::hash<mcp::Sampling::ModelPreferences> : mcp::CodecHash<mcp::Sampling::ModelPreferences> {};
template <>
struct std::hash<mcp::Sampling::StopReason> : mcp::CodecHash<mcp::Sampling::StopReason> {};
template <>
struct std::hash<mcp::CreateSamplingMessage::ToolChoice> : mcp::CodecHash<mcp::CreateSamplingMessage::ToolChoice> {};
template <>
struct std::hash<mcp::CreateSamplingMessage::Parameters> : mcp::CodecHash<mcp::CreateSamplingMessage::Parameters> {};
template <>
struct std::hash<mcp::CreateSamplingMessage::Result> : mcp::CodecHash<mcp::CreateSamplingMessage::Result> {};
