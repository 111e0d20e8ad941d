#include "mcp/protocol/utility_messages.hpp"

namespace mcp {

Value Codec<CancelledNotification::Parameters>::encode(const CancelledNotification::Parameters& parameters) {
    return ObjectBuilder().addIfPresent("requestId", parameters.requestID).addIfPresent("reason", parameters.reason).build();
}

CancelledNotification::Parameters Codec<CancelledNotification::Parameters>::decode(const Value& value,
                                                                                   const CodingPath& path) {
    const ObjectReader reader(value, path);
    return {.requestID = reader.optional<ID>("requestId"), .reason = reader.optional<std::string>("reason")};
}

Value Codec<ProgressNotification::Parameters>::encode(const ProgressNotification::Parameters& parameters) {
    return ObjectBuilder()
        .add("progressToken", parameters.progressToken)
        .add("progress", parameters.progress)
        .addIfPresent("total", parameters.total)
        .addIfPresent("message", parameters.message)
        .build();
}

ProgressNotification::Parameters Codec<ProgressNotification::Parameters>::decode(const Value& value,
                                                                                 const CodingPath& path) {
    const ObjectReader reader(value, path);
    return {
        .progressToken = reader.required<ProgressToken>("progressToken"),
        .progress = reader.required<double>("progress"),
        .total = reader.optional<double>("total"),
        .message = reader.optional<std::string>("message"),
    };
}

}  // namespace mcp
