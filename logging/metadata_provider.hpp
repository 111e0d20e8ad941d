#pragma once

#include "logging/metadata_value.hpp"

#include <functional>
#include <vector>

namespace logging {

// MetadataProvider: a source of metadata computed at the moment of each event, for example
// values kept by the current thread. Users spell it `Logger::MetadataProvider`. Handlers that
// support providers call get() once per event they write, on the logging thread, so the
// function must be safe to call from any thread; like logging itself, it must not throw.
class MetadataProvider {
public:
    // Wraps `provideMetadata`; throws std::invalid_argument when it is empty.
    explicit MetadataProvider(std::function<Metadata()> provideMetadata);

    // Calls the function and returns its metadata.
    Metadata get() const { return provideMetadata_(); }

    // One provider that asks each of `providers` in order and merges their metadata; on equal
    // keys the later provider wins, and a provider yielding nothing changes nothing. With no
    // providers it yields empty metadata.
    static MetadataProvider multiplex(std::vector<MetadataProvider> providers);

private:
    std::function<Metadata()> provideMetadata_;
};

}  // namespace logging
