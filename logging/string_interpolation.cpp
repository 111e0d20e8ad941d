#include "logging/string_interpolation.hpp"

#include <memory>

namespace logging {

MetadataValue::StringInterpolation::StringInterpolation(std::size_t literalCapacity,
                                                        std::size_t interpolationCount) {
    output_.reserve(literalCapacity + 2 * interpolationCount);
}

void MetadataValue::StringInterpolation::_mergeAttributes(
    const MetadataValueAttributes& attributes) {
    if (hasAttributes_) {
        attributes_._merge(attributes);
    } else {
        attributes_ = attributes;
    }
    hasAttributes_ = true;
}

MetadataValue::MetadataValue(const StringInterpolation& interpolation) {
    if (!interpolation.hasAttributes()) {
        value_ = interpolation.output();
        return;
    }
    value_ = std::make_shared<const AttributedStringCarrier>(interpolation.output(),
                                                            interpolation.attributes());
}

}  // namespace logging
