#pragma once

// JSON text in and out. Reading goes through Boost.JSON's parser straight into `Value`;
// writing is our own, so that the output is exactly the protocol's:
// - compact, members in insertion order or sorted by the bytes of their keys;
// - "/" never escaped, non-ASCII text written as UTF-8;
// - doubles in their standard text ("1.0", "0.001", "1e-05", "1e+16"), so a whole double
//   reads back as a double; NaN and infinities refused with `EncodingError`.

#include "mcp/json/codec.hpp"
#include "mcp/json/value.hpp"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace mcp {

// How deeply arrays and objects may nest in a document that is read. Tool schemas and
// arguments nest well beyond the parser's default of 32; every recursive walk of a `Value`
// (writing, comparing, destroying) stays safe at this depth.
inline constexpr std::size_t kMaxJSONDepth = 512;

// Reads one JSON document (RFC 8259; white space around it allowed, nothing else) into a
// `Value`. Strings that are well-formed data URLs read as `data`, integers in the 64-bit
// range as `int`, every other number as `double`. Throws `DecodingError` (dataCorrupted at
// the root) for text that is no JSON, invalid UTF-8, nesting beyond `kMaxJSONDepth` and
// numbers too large for a double ("1e400").
Value parseJSON(std::string_view text);

// `text` read as `parseJSON` reads it, for text that may well be no JSON; absent where
// `parseJSON` throws `DecodingError`.
std::optional<Value> tryParseJSON(std::string_view text);

// How many texts `parseJSON` (and so `tryParseJSON`) has been given on the calling thread,
// read or refused. Reading is the dearest step of a message's way, and a message is read
// once: tests and benchmarks check that with this count, taken before and after.
std::uint64_t jsonReadCount() noexcept;

// The order in which object members are written.
enum class KeyOrder {
    // As the members were inserted: a record's field order.
    insertion,
    // Ascending by the bytes of the key ("_meta" before "id", "Z" before "_").
    sorted,
};

// The compact JSON text of `value`. Ill-formed UTF-8 in a string is written as U+FFFD.
// Throws `EncodingError` for a NaN or infinite double.
std::string writeJSON(const Value& value, KeyOrder order = KeyOrder::insertion);

// Appends the compact JSON text of `value` to `out`; on `EncodingError` `out` holds a
// partial text.
void appendJSON(std::string& out, const Value& value, KeyOrder order = KeyOrder::insertion);

// Human-readable JSON with sorted keys, for configuration snippets that users paste:
// two spaces of indent per level, one member or element per line, `"key" : value`, and
// `[]` / `{}` for empty containers. Throws `EncodingError` like `writeJSON`.
std::string writePrettyJSON(const Value& value);

// `text`, one JSON document, made compact as it stands: white space outside strings is
// dropped and "\/" becomes "/"; every other byte is kept, so numbers, escapes and member
// order are exactly the writer's. None when `text` is no JSON as `parseJSON` reads it.
std::optional<std::string> minifyJSON(std::string_view text);

// The compact JSON text of a codable object.
template <Codable T>
std::string encodeJSON(const T& object, KeyOrder order = KeyOrder::insertion) {
    return writeJSON(encode(object), order);
}

// Reads a codable object from JSON text. Throws `DecodingError`.
template <Codable T>
T decodeJSON(std::string_view text) {
    return decode<T>(parseJSON(text));
}

}  // namespace mcp
