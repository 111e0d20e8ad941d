#include "mcp/catalogue/elicitation.hpp"

namespace mcp {

namespace {

using Mode = Elicitation::Mode;
using SchemaType = Elicitation::RequestSchema::SchemaType;
using Action = CreateElicitation::Result::Action;
using FormParameters = CreateElicitation::Parameters::FormParameters;
using URLParameters = CreateElicitation::Parameters::URLParameters;

// Matches `text` exactly against the raw values of `cases`.
template <class Enum, std::size_t N>
std::optional<Enum> fromRawValue(std::string_view text, const Enum (&cases)[N]) noexcept {
    for (const Enum value : cases) {
        if (text == rawValue(value)) return value;
    }
    return std::nullopt;
}

template <class Enum>
Enum decodeRawValue(const Value& value, const CodingPath& path, std::optional<Enum> (*fromText)(std::string_view),
                    std::string_view what) {
    const auto text = Codec<std::string>::decode(value, path);
    if (const auto decoded = fromText(text)) return *decoded;
    throw DecodingError::dataCorrupted(path, "Unknown " + std::string(what) + " \"" + text + "\"");
}

constexpr Mode kModes[] = {Mode::form, Mode::url};
constexpr SchemaType kSchemaTypes[] = {SchemaType::object};
constexpr Action kActions[] = {Action::accept, Action::decline, Action::cancel};

}  // namespace

std::string_view rawValue(Mode mode) noexcept { return mode == Mode::url ? "url" : "form"; }

std::optional<Mode> elicitationModeFromRawValue(std::string_view text) noexcept { return fromRawValue(text, kModes); }

std::string_view rawValue(SchemaType) noexcept { return "object"; }

std::optional<SchemaType> schemaTypeFromRawValue(std::string_view text) noexcept {
    return fromRawValue(text, kSchemaTypes);
}

std::string_view rawValue(Action action) noexcept {
    switch (action) {
        case Action::accept: return "accept";
        case Action::decline: return "decline";
        case Action::cancel: return "cancel";
    }
    return "cancel";
}

std::optional<Action> elicitationActionFromRawValue(std::string_view text) noexcept {
    return fromRawValue(text, kActions);
}

Mode Codec<Mode>::decode(const Value& value, const CodingPath& path) {
    return decodeRawValue(value, path, elicitationModeFromRawValue, "elicitation mode");
}

SchemaType Codec<SchemaType>::decode(const Value& value, const CodingPath& path) {
    return decodeRawValue(value, path, schemaTypeFromRawValue, "schema type");
}

Action Codec<Action>::decode(const Value& value, const CodingPath& path) {
    return decodeRawValue(value, path, elicitationActionFromRawValue, "elicitation action");
}

Value Codec<Elicitation::RequestSchema>::encode(const Elicitation::RequestSchema& schema) {
    return ObjectBuilder()
        .addIfPresent("title", schema.title)
        .addIfPresent("description", schema.description)
        .add("properties", schema.properties)
        .addIfPresent("required", schema.required)
        .add("type", schema.type)
        .build();
}

Elicitation::RequestSchema Codec<Elicitation::RequestSchema>::decode(const Value& value, const CodingPath& path) {
    const ObjectReader reader(value, path);
    return {
        .title = reader.optional<std::string>("title"),
        .description = reader.optional<std::string>("description"),
        .properties = reader.required<ValueObject>("properties"),
        .required = reader.optional<std::vector<std::string>>("required"),
        .type = reader.required<SchemaType>("type"),
    };
}

Value Codec<FormParameters>::encode(const FormParameters& form) {
    return ObjectBuilder()
        .add("message", form.message)
        .addIfPresent("mode", form.mode)
        .add("requestedSchema", form.requestedSchema)
        .addIfPresent("_meta", form._meta)
        .build();
}

FormParameters Codec<FormParameters>::decode(const Value& value, const CodingPath& path) {
    const ObjectReader reader(value, path);
    return {
        .message = reader.required<std::string>("message"),
        .mode = reader.optional<Mode>("mode"),
        .requestedSchema = reader.required<Elicitation::RequestSchema>("requestedSchema"),
        ._meta = reader.optional<Metadata>("_meta"),
    };
}

Value Codec<URLParameters>::encode(const URLParameters& url) {
    return ObjectBuilder()
        .add("message", url.message)
        .add("mode", url.mode)
        .add("url", url.url)
        .add("elicitationId", url.elicitationID)
        .addIfPresent("_meta", url._meta)
        .build();
}

URLParameters Codec<URLParameters>::decode(const Value& value, const CodingPath& path) {
    const ObjectReader reader(value, path);
    return {
        .message = reader.required<std::string>("message"),
        .mode = reader.required<Mode>("mode"),
        .url = reader.required<std::string>("url"),
        .elicitationID = reader.required<std::string>("elicitationId"),
        ._meta = reader.optional<Metadata>("_meta"),
    };
}

Value Codec<CreateElicitation::Parameters>::encode(const CreateElicitation::Parameters& parameters) {
    return std::visit([](const auto& held) { return mcp::encode(held); }, parameters.item);
}

CreateElicitation::Parameters Codec<CreateElicitation::Parameters>::decode(const Value& value, const CodingPath& path) {
    const ObjectReader reader(value, path);
    if (reader.optional<Mode>("mode") == Mode::url) return Codec<URLParameters>::decode(value, path);
    return Codec<FormParameters>::decode(value, path);
}

Value Codec<CreateElicitation::Result>::encode(const CreateElicitation::Result& result) {
    return ObjectBuilder()
        .add("action", result.action)
        .addIfPresent("content", result.content)
        .addIfPresent("_meta", result._meta)
        .build();
}

CreateElicitation::Result Codec<CreateElicitation::Result>::decode(const Value& value, const CodingPath& path) {
    const ObjectReader reader(value, path);
    return {
        .action = reader.required<Action>("action"),
        .content = reader.optional<ValueObject>("content"),
        ._meta = reader.optional<Metadata>("_meta"),
    };
}

Value Codec<ElicitationCompleteNotification::Parameters>::encode(
    const ElicitationCompleteNotification::Parameters& parameters) {
    return ObjectBuilder().add("elicitationId", parameters.elicitationID).build();
}

ElicitationCompleteNotification::Parameters Codec<ElicitationCompleteNotification::Parameters>::decode(
    const Value& value, const CodingPath& path) {
    const ObjectReader reader(value, path);
    return {.elicitationID = reader.required<std::string>("elicitationId")};
}

}  // namespace mcp
