#include "mcp/catalogue/sampling_request.hpp"

#include <array>

namespace mcp {

namespace {

using Inclusion = Sampling::ContextInclusion;
using Mode = CreateSamplingMessage::ToolChoice::Mode;

constexpr std::array kInclusions{Inclusion::none, Inclusion::thisServer, Inclusion::allServers};
constexpr std::array kModes{Mode::automatic, Mode::required, Mode::none};

}  // namespace

std::string_view rawValue(Inclusion inclusion) noexcept {
    switch (inclusion) {
        case Inclusion::none: return "none";
        case Inclusion::thisServer: return "thisServer";
        case Inclusion::allServers: return "allServers";
    }
    return "none";
}

std::optional<Inclusion> contextInclusionFromRawValue(std::string_view text) noexcept {
    for (const Inclusion inclusion : kInclusions) {
        if (text == rawValue(inclusion)) return inclusion;
    }
    return std::nullopt;
}

std::string_view rawValue(Mode mode) noexcept {
    switch (mode) {
        case Mode::automatic: return "auto";
        case Mode::required: return "required";
        case Mode::none: return "none";
    }
    return "auto";
}

std::optional<Mode> toolChoiceModeFromRawValue(std::string_view text) noexcept {
    for (const Mode mode : kModes) {
        if (text == rawValue(mode)) return mode;
    }
    return std::nullopt;
}

Inclusion Codec<Inclusion>::decode(const Value& value, const CodingPath& path) {
    const auto text = Codec<std::string>::decode(value, path);
    if (const auto inclusion = contextInclusionFromRawValue(text)) return *inclusion;
    throw DecodingError::dataCorrupted(path, "Unknown context inclusion \"" + text + "\"");
}

Mode Codec<Mode>::decode(const Value& value, const CodingPath& path) {
    const auto text = Codec<std::string>::decode(value, path);
    if (const auto mode = toolChoiceModeFromRawValue(text)) return *mode;
    throw DecodingError::dataCorrupted(path, "Unknown tool choice mode \"" + text + "\"");
}

Value Codec<Sampling::ModelPreferences::Hint>::encode(const Sampling::ModelPreferences::Hint& hint) {
    return ObjectBuilder().addIfPresent("name", hint.name).build();
}

Sampling::ModelPreferences::Hint Codec<Sampling::ModelPreferences::Hint>::decode(const Value& value,
                                                                                 const CodingPath& path) {
    const ObjectReader reader(value, path);
    return {.name = reader.optional<std::string>("name")};
}

Value Codec<Sampling::ModelPreferences>::encode(const Sampling::ModelPreferences& preferences) {
    return ObjectBuilder()
        .addIfPresent("hints", preferences.hints)
        .addIfPresent("costPriority", preferences.costPriority)
        .addIfPresent("speedPriority", preferences.speedPriority)
        .addIfPresent("intelligencePriority", preferences.intelligencePriority)
        .build();
}

Sampling::ModelPreferences Codec<Sampling::ModelPreferences>::decode(const Value& value, const CodingPath& path) {
    const ObjectReader reader(value, path);
    return {
        .hints = reader.optional<std::vector<Sampling::ModelPreferences::Hint>>("hints"),
        .costPriority = reader.optional<UnitInterval>("costPriority"),
        .speedPriority = reader.optional<UnitInterval>("speedPriority"),
        .intelligencePriority = reader.optional<UnitInterval>("intelligencePriority"),
    };
}

Value Codec<CreateSamplingMessage::ToolChoice>::encode(const CreateSamplingMessage::ToolChoice& choice) {
    ObjectBuilder builder;
    // Automatic is the protocol's default, so it is left for the reader to assume.
    if (choice.mode && *choice.mode != Mode::automatic) builder.add("mode", *choice.mode);
    return builder.build();
}

CreateSamplingMessage::ToolChoice Codec<CreateSamplingMessage::ToolChoice>::decode(const Value& value,
                                                                                   const CodingPath& path) {
    const ObjectReader reader(value, path);
    return {.mode = reader.optional<Mode>("mode").value_or(Mode::automatic)};
}

Value Codec<CreateSamplingMessage::Parameters>::encode(const CreateSamplingMessage::Parameters& parameters) {
    return ObjectBuilder()
        .add("messages", parameters.messages)
        .addIfPresent("modelPreferences", parameters.modelPreferences)
        .addIfPresent("systemPrompt", parameters.systemPrompt)
        .addIfPresent("includeContext", parameters.includeContext)
        .addIfPresent("temperature", parameters.temperature)
        .add("maxTokens", parameters.maxTokens)
        .addIfPresent("stopSequences", parameters.stopSequences)
        .addIfPresent("_meta", parameters._meta)
        .addIfPresent("tools", parameters.tools)
        .addIfPresent("toolChoice", parameters.toolChoice)
        .addIfPresent("metadata", parameters.metadata)
        .build();
}

CreateSamplingMessage::Parameters Codec<CreateSamplingMessage::Parameters>::decode(const Value& value,
                                                                                   const CodingPath& path) {
    const ObjectReader reader(value, path);
    CreateSamplingMessage::Parameters parameters;
    parameters.messages = reader.required<std::vector<Sampling::Message>>("messages");
    parameters.modelPreferences = reader.optional<Sampling::ModelPreferences>("modelPreferences");
    parameters.systemPrompt = reader.optional<std::string>("systemPrompt");
    parameters.includeContext = reader.optional<Inclusion>("includeContext");
    parameters.temperature = reader.optional<double>("temperature");
    parameters.maxTokens = reader.required<std::int64_t>("maxTokens");
    parameters.stopSequences = reader.optional<std::vector<std::string>>("stopSequences");
    parameters._meta = reader.optional<Metadata>("_meta");
    parameters.tools = reader.optional<std::vector<Tool>>("tools");
    parameters.toolChoice = reader.optional<CreateSamplingMessage::ToolChoice>("toolChoice");
    parameters.metadata = reader.optional<ValueObject>("metadata");
    return parameters;
}

Value Codec<CreateSamplingMessage::Result>::encode(const CreateSamplingMessage::Result& result) {
    return ObjectBuilder()
        .add("model", result.model)
        .addIfPresent("stopReason", result.stopReason)
        .add("role", result.role)
        .add("content", result.content)
        .addIfPresent("_meta", result._meta)
        .build();
}

CreateSamplingMessage::Result Codec<CreateSamplingMessage::Result>::decode(const Value& value,
                                                                           const CodingPath& path) {
    const ObjectReader reader(value, path);
    CreateSamplingMessage::Result result;
    result.model = reader.required<std::string>("model");
    result.stopReason = reader.optional<Sampling::StopReason>("stopReason");
    result.role = reader.required<Sampling::Message::Role>("role");
    result.content = reader.required<Sampling::Message::Content>("content");
    result._meta = reader.optional<Metadata>("_meta");
    return result;
}

}  // namespace mcp
