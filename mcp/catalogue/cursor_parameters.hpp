#pragma once

// CursorParameters: the parameters of the paged list requests ("resources/list",
// "resources/templates/list", "prompts/list"): {"cursor"?}. The cursor is the server's opaque
// text, passed through and never built or parsed here.

#include "mcp/json/codec.hpp"
#include "mcp/json/codec_hash.hpp"
#include "mcp/protocol/method.hpp"

#include <optional>
#include <string>

namespace mcp {

// The parameters of a paged list request: where the previous page ended.
struct CursorParameters {
    // Absent for the first page.
    std::optional<std::string> cursor;

    friend bool operator==(const CursorParameters&, const CursorParameters&) = default;
};

// A request without "params" asks for the first page.
template <>
inline constexpr bool enableNotRequired<CursorParameters> = true;

// {"cursor"?}; parameters without a cursor are written as {}.
template <>
struct Codec<CursorParameters> {
    static Value encode(const CursorParameters& parameters);
    static CursorParameters decode(const Value& value, const CodingPath& path);
};

}  // namespace mcp

template <>
struct std::hash<mcp::CursorParameters> : mcp::CodecHash<mcp::CursorParameters> {};
