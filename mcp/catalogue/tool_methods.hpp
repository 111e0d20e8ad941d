#pragma once

// The tool methods and their notification:
//
//     ListTools     "tools/list"   {"cursor"?}  ->  {"tools", "nextCursor"?, "_meta"?}
//     CallTool      "tools/call"   {"_meta"?, "name", "arguments"?}
//                                  ->  {"content", "structuredContent"?, "isError"?, "_meta"?}
//     ToolListChangedNotification  "notifications/tools/list_changed", no parameters
//
// Members are written in the order shown, optional ones only when present; "tools" and
// "content" are written even when empty. "params" may be left out of a "tools/list" request
// but not of a "tools/call" one.

#include "mcp/catalogue/tool.hpp"
#include "mcp/catalogue/tool_content.hpp"
#include "mcp/json/codec.hpp"
#include "mcp/json/value.hpp"
#include "mcp/protocol/metadata.hpp"
#include "mcp/protocol/method.hpp"

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace mcp {

struct ListTools {
    static constexpr std::string_view name = "tools/list";

    struct Parameters {
        // Where the previous page ended; absent for the first page.
        std::optional<std::string> cursor;

        friend bool operator==(const Parameters&, const Parameters&) = default;
    };

    struct Result {
        std::vector<Tool> tools;
        // Where the next page starts; absent on the last page.
        std::optional<std::string> nextCursor;
        std::optional<Metadata> _meta;

        friend bool operator==(const Result&, const Result&) = default;
    };
};

// A "tools/list" request without "params" asks for the first page.
template <>
inline constexpr bool enableNotRequired<ListTools::Parameters> = true;

struct CallTool {
    static constexpr std::string_view name = "tools/call";

    struct Parameters {
        std::optional<Metadata> _meta;
        // The name of the tool to run.
        std::string name;
        std::optional<ValueObject> arguments;

        friend bool operator==(const Parameters&, const Parameters&) = default;
    };

    struct Result {
        std::vector<Tool::Content> content;
        std::optional<Value> structuredContent;
        // True when the tool failed; absent and false are told apart on the wire.
        std::optional<bool> isError;
        std::optional<Metadata> _meta;

        // A result whose structured content is the JSON form of `structured`. Throws what
        // `structured`'s codec throws, and `EncodingError` when that form can't be written (a NaN
        // or infinite number): no result is made.
        template <Codable T>
        static Result withStructuredContent(std::vector<Tool::Content> content, const T& structured,
                                            std::optional<bool> isError = std::nullopt,
                                            std::optional<Metadata> meta = std::nullopt) {
            return {std::move(content), mcp::writableValue(structured), isError, std::move(meta)};
        }

        friend bool operator==(const Result&, const Result&) = default;
    };
};

// Tells clients that the server's list of tools changed.
struct ToolListChangedNotification {
    static constexpr std::string_view name = "notifications/tools/list_changed";
    using Parameters = Empty;
};

template <>
struct Codec<ListTools::Parameters> {
    static Value encode(const ListTools::Parameters& parameters);
    static ListTools::Parameters decode(const Value& value, const CodingPath& path);
};

template <>
struct Codec<ListTools::Result> {
    static Value encode(const ListTools::Result& result);
    static ListTools::Result decode(const Value& value, const CodingPath& path);
};

template <>
struct Codec<CallTool::Parameters> {
    static Value encode(const CallTool::Parameters& parameters);
    static CallTool::Parameters decode(const Value& value, const CodingPath& path);
};

template <>
struct Codec<CallTool::Result> {
    static Value encode(const CallTool::Result& result);
    static CallTool::Result decode(const Value& value, const CodingPath& path);
};

}  // namespace mcp
