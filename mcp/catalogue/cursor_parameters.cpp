#include "mcp/catalogue/cursor_parameters.hpp"

namespace mcp {

Value Codec<CursorParameters>::encode(const CursorParameters& parameters) {
    return ObjectBuilder().addIfPresent("cursor", parameters.cursor).build();
}

CursorParameters Codec<CursorParameters>::decode(const Value& value, const CodingPath& path) {
    const ObjectReader reader(value, path);
    return {.cursor = reader.optional<std::string>("cursor")};
}

}  // namespace mcp
