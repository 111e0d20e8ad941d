#pragma once

// Tool: the description of one tool a server offers, as "tools/list" returns it.
//
//     Tool{.name = "look", .description = "Shows a window.",
//          .inputSchema = Value::Object{{"type", "object"}},
//          .annotations = {.readOnlyHint = true}}
//       {"name":"look","description":"Shows a window.","inputSchema":{"type":"object"},
//        "annotations":{"readOnlyHint":true}}
//
// Members are written in the order name, title, description, inputSchema, outputSchema,
// annotations, icons, _meta. "description" is the one member written as null when absent;
// every other optional member is left out, and empty annotations are not written at all.
// The items of a tool's result are `Tool::Content` ("mcp/catalogue/tool_content.hpp").

#include "mcp/json/codec.hpp"
#include "mcp/json/value.hpp"
#include "mcp/protocol/icon.hpp"
#include "mcp/protocol/metadata.hpp"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace mcp {

struct Tool {
    // Hints about a tool's behaviour, all optional. A hint that is false is present: only
    // annotations without any field are empty.
    struct Annotations {
        std::optional<std::string> title;
        std::optional<bool> destructiveHint;
        std::optional<bool> idempotentHint;
        std::optional<bool> openWorldHint;
        std::optional<bool> readOnlyHint;

        bool isEmpty() const noexcept {
            return !title && !destructiveHint && !idempotentHint && !openWorldHint && !readOnlyHint;
        }

        friend bool operator==(const Annotations&, const Annotations&) = default;
    };

    struct Content;

    std::string name;
    std::optional<std::string> title;
    std::optional<std::string> description;
    // The JSON Schema of the arguments; nothing checks that it is one.
    Value inputSchema;
    std::optional<std::vector<Icon>> icons;
    // The JSON Schema of the structured result.
    std::optional<Value> outputSchema;
    std::optional<Metadata> _meta;
    Annotations annotations;

    friend bool operator==(const Tool&, const Tool&) = default;
};

// {"title", "destructiveHint", "idempotentHint", "openWorldHint", "readOnlyHint"}, each only
// when present; a hint that is no Boolean fails to read.
template <>
struct Codec<Tool::Annotations> {
    static Value encode(const Tool::Annotations& annotations);
    static Tool::Annotations decode(const Value& value, const CodingPath& path);
};

// "name" and "inputSchema" are required; missing or null "annotations" read as empty ones.
template <>
struct Codec<Tool> {
    static Value encode(const Tool& tool);
    static Tool decode(const Value& value, const CodingPath& path);
};

}  // namespace mcp


