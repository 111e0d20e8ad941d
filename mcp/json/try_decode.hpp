#pragma once

// tryDecode: decoding for readings that are expected to fail, such as trying each shape an
// incoming message may take.

#include "mcp/json/codec.hpp"

#include <optional>

namespace mcp {

// The `T` read from `value`, or absent where `decode` would throw `DecodingError`. Other
// exceptions pass.
template <Codable T>
std::optional<T> tryDecode(const Value& value) {
    try {
        return decode<T>(value);
    } catch (const DecodingError&) {
        return std::nullopt;
    }
}

}  // namespace mcp
