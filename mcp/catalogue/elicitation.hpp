#pragma once

// Elicitation: a server asks the client, and through it the user, for input.
//
//     CreateElicitation  "elicitation/create"
//       form mode  {"message", "mode"?, "requestedSchema", "_meta"?}
//       URL mode   {"message", "mode": "url", "url", "elicitationId", "_meta"?}
//       ->  {"action", "content"?, "_meta"?}
//     ElicitationCompleteNotification  "notifications/elicitation/complete"  {"elicitationId"}
//
// The parameters are one flat object whose "mode" tells the two apart: "url" reads the URL
// form, a missing, null or "form" mode the form one (keeping whether "mode" was there). A form
// asks for the fields of a flat JSON schema:
//
//     {"properties":{"name":{"type":"string"}},"required":["name"],"type":"object"}
//
// Nothing checks the schema's properties, its required names against them, or the answered
// content against the schema. None of these parameters may be left out of a message.

#include "mcp/json/codec.hpp"
#include "mcp/json/codec_hash.hpp"
#include "mcp/json/value.hpp"
#include "mcp/protocol/metadata.hpp"
#include "mcp/protocol/method.hpp"

#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace mcp {

namespace Elicitation {

enum class Mode { form, url };

// The fields a form asks for.
struct RequestSchema {
    // The only type a form's schema has.
    enum class SchemaType { object };

    std::optional<std::string> title;
    std::optional<std::string> description;
    // The JSON schema of each field, by field name; written also when empty.
    ValueObject properties;
    // The names of the fields that must be answered.
    std::optional<std::vector<std::string>> required;
    SchemaType type = SchemaType::object;

    friend bool operator==(const RequestSchema&, const RequestSchema&) = default;
};

}  // namespace Elicitation

struct CreateElicitation {
    static constexpr std::string_view name = "elicitation/create";

    // A form request or a URL request.
    struct Parameters {
        struct FormParameters {
            std::string message;
            // Absent unless the sender set it.
            std::optional<Elicitation::Mode> mode;
            Elicitation::RequestSchema requestedSchema;
            std::optional<Metadata> _meta;

            friend bool operator==(const FormParameters&, const FormParameters&) = default;
        };

        struct URLParameters {
            std::string message;
            Elicitation::Mode mode = Elicitation::Mode::url;
            // The page for the user; carried as text, never parsed.
            std::string url;
            // Chosen by the server; the completion notification carries it back.
            std::string elicitationID;
            std::optional<Metadata> _meta;

            friend bool operator==(const URLParameters&, const URLParameters&) = default;
        };

        using Item = std::variant<FormParameters, URLParameters>;

        Parameters(FormParameters form) : item(std::move(form)) {}
        Parameters(URLParameters url) : item(std::move(url)) {}

        // The form request, or null for a URL request.
        const FormParameters* form() const noexcept { return std::get_if<FormParameters>(&item); }
        // The URL request, or null for a form request.
        const URLParameters* url() const noexcept { return std::get_if<URLParameters>(&item); }

        Item item;

        friend bool operator==(const Parameters&, const Parameters&) = default;
    };

    struct Result {
        enum class Action { accept, decline, cancel };

        Action action = Action::cancel;
        // The answered values, by field name.
        std::optional<ValueObject> content;
        std::optional<Metadata> _meta;

        friend bool operator==(const Result&, const Result&) = default;
    };
};

// Tells the client that a URL-mode elicitation has completed.
struct ElicitationCompleteNotification {
    static constexpr std::string_view name = "notifications/elicitation/complete";

    struct Parameters {
        std::string elicitationID;

        friend bool operator==(const Parameters&, const Parameters&) = default;
    };

    friend bool operator==(const ElicitationCompleteNotification&, const ElicitationCompleteNotification&) = default;
};

template <>
inline constexpr bool enableMarkerRecord<ElicitationCompleteNotification> = true;

// "form" or "url".
std::string_view rawValue(Elicitation::Mode mode) noexcept;
std::optional<Elicitation::Mode> elicitationModeFromRawValue(std::string_view text) noexcept;
// "object".
std::string_view rawValue(Elicitation::RequestSchema::SchemaType type) noexcept;
std::optional<Elicitation::RequestSchema::SchemaType> schemaTypeFromRawValue(std::string_view text) noexcept;
// "accept", "decline" or "cancel".
std::string_view rawValue(CreateElicitation::Result::Action action) noexcept;
std::optional<CreateElicitation::Result::Action> elicitationActionFromRawValue(std::string_view text) noexcept;

// The three enumerations are written as their text; any other value fails to read
// (dataCorrupted).
template <>
struct Codec<Elicitation::Mode> {
    static Value encode(Elicitation::Mode mode) { return rawValue(mode); }
    static Elicitation::Mode decode(const Value& value, const CodingPath& path);
};

template <>
struct Codec<Elicitation::RequestSchema::SchemaType> {
    static Value encode(Elicitation::RequestSchema::SchemaType type) { return rawValue(type); }
    static Elicitation::RequestSchema::SchemaType decode(const Value& value, const CodingPath& path);
};

template <>
struct Codec<CreateElicitation::Result::Action> {
    static Value encode(CreateElicitation::Result::Action action) { return rawValue(action); }
    static CreateElicitation::Result::Action decode(const Value& value, const CodingPath& path);
};

// {"title"?, "description"?, "properties", "required"?, "type"}.
template <>
struct Codec<Elicitation::RequestSchema> {
    static Value encode(const Elicitation::RequestSchema& schema);
    static Elicitation::RequestSchema decode(const Value& value, const CodingPath& path);
};

template <>
struct Codec<CreateElicitation::Parameters::FormParameters> {
    static Value encode(const CreateElicitation::Parameters::FormParameters& form);
    static CreateElicitation::Parameters::FormParameters decode(const Value& value, const CodingPath& path);
};

// "mode" is written as stored and read as given.
template <>
struct Codec<CreateElicitation::Parameters::URLParameters> {
    static Value encode(const CreateElicitation::Parameters::URLParameters& url);
    static CreateElicitation::Parameters::URLParameters decode(const Value& value, const CodingPath& path);
};

template <>
struct Codec<CreateElicitation::Parameters> {
    static Value encode(const CreateElicitation::Parameters& parameters);
    static CreateElicitation::Parameters decode(const Value& value, const CodingPath& path);
};

template <>
struct Codec<CreateElicitation::Result> {
    static Value encode(const CreateElicitation::Result& result);
    static CreateElicitation::Result decode(const Value& value, const CodingPath& path);
};

template <>
struct Codec<ElicitationCompleteNotification::Parameters> {
    static Value encode(const ElicitationCompleteNotification::Parameters& parameters);
    static ElicitationCompleteNotification::Parameters decode(const Value& value, const CodingPath& path);
};

}  // namespace mcp

template <>
struct std::hash<mcp::Elicitation::RequestSchema> : mcp::CodecHash<mcp::Elicitation::RequestSchema> {};
template <>
struct std::hash<mcp::CreateElicitation::Parameters> : mcp::CodecHash<mcp::CreateElicitation::Parameters> {};
template <>
struct std::hash<mcp::CreateElicitation::Result> : mcp::CodecHash<mcp::CreateElicitation::Result> {};
template <>
struct std::hash<mcp::ElicitationCompleteNotification> : mcp::CodecHash<mcp::ElicitationCompleteNotification> {};
template <>
struct std::hash<mcp::ElicitationCompleteNotification::Parameters>
    : mcp::CodecHash<mcp::ElicitationCompleteNotification::Parameters> {};
