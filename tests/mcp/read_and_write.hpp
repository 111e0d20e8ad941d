#pragma once

// Round trips for codec tables: a JSON text read as T and written back, or the reading error.

#include "mcp/json/json.hpp"

#include <string>
#include <string_view>

namespace mcp::testing {

// The compact JSON of `json` read as `T` and written back, members in the record's own
// order; "error: " and the debug description when reading fails.
template <Codable T>
std::string readAndWrite(std::string_view json) {
    try {
        return encodeJSON(decodeJSON<T>(json));
    } catch (const DecodingError& error) {
        return "error: " + error.debugDescription();
    }
}

}  // namespace mcp::testing
