#pragma once

#include "logging/metadata_provider.hpp"

namespace logging::testing {

// A provider that yields `metadata` on every call.
inline MetadataProvider providing(Metadata metadata) {
    return MetadataProvider([metadata] { return metadata; });
}

}  // namespace logging::testing
