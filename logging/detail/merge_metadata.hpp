#pragma once

#include "logging/metadata_value.hpp"

namespace logging::detail {

// Merges `source` into `target`; on equal keys the value from `source` wins.
inline void mergeMetadata(Metadata& target, Metadata source) {
    for (auto& [key, value] : source) target.insert_or_assign(key, std::move(value));
}

}  // namespace logging::detail
