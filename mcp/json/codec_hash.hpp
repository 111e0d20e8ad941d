#pragma once

// CodecHash<T>: a hash for codable records, taken from their JSON form.
//
// Records compare member by member, and equal records always have equal JSON forms, whose
// hash (`Value::hash`) ignores the order of object members and treats -0.0 as 0.0. So the
// hash of the JSON form agrees with the record's `==` without a hand-written hash per record
// that would have to be kept in step with its members.
//
//     template <> struct std::hash<mcp::Root> : mcp::CodecHash<mcp::Root> {};

#include "mcp/json/codec.hpp"

#include <cstddef>

namespace mcp {

template <Codable T>
struct CodecHash {
    std::size_t operator()(const T& value) const { return mcp::encode(value).hash(); }
};

}  // namespace mcp
