#include "mcp/catalogue/roots.hpp"

namespace mcp {

Value Codec<Root>::encode(const Root& root) {
    return ObjectBuilder().add("uri", root.uri).addIfPresent("name", root.name).addIfPresent("_meta", root._meta).build();
}

Root Codec<Root>::decode(const Value& value, const CodingPath& path) {
    const ObjectReader reader(value, path);
    return {
        .uri = reader.required<std::string>("uri"),
        .name = reader.optional<std::string>("name"),
        ._meta = reader.optional<Metadata>("_meta"),
    };
}

Value Codec<ListRoots::Result>::encode(const ListRoots::Result& result) {
    return ObjectBuilder().add("roots", result.roots).addIfPresent("_meta", result._meta).build();
}

ListRoots::Result Codec<ListRoots::Result>::decode(const Value& value, const CodingPath& path) {
    const ObjectReader reader(value, path);
    return {
        .roots = reader.required<std::vector<Root>>("roots"),
        ._meta = reader.optional<Metadata>("_meta"),
    };
}

}  // namespace mcp
