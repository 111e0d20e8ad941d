#include "logging/metadata_provider.hpp"

#include "logging/detail/merge_metadata.hpp"

#include <stdexcept>

namespace logging {

MetadataProvider::MetadataProvider(std::function<Metadata()> provideMetadata)
    : provideMetadata_(std::move(provideMetadata)) {
    if (!provideMetadata_) throw std::invalid_argument("a metadata provider needs a function");
}

MetadataProvider MetadataProvider::multiplex(std::vector<MetadataProvider> providers) {
    return MetadataProvider([providers = std::move(providers)] {
        Metadata merged;
        for (const MetadataProvider& provider : providers) {
            detail::mergeMetadata(merged, provider.get());
        }
        return merged;
    });
}

}  // namespace logging
