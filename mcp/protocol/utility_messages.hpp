#pragma once

// The protocol's small utility messages: "ping", "notifications/cancelled" and
// "notifications/progress".

#include "mcp/json/codec.hpp"
#include "mcp/protocol/id.hpp"
#include "mcp/protocol/metadata.hpp"
#include "mcp/protocol/method.hpp"

#include <optional>
#include <string>
#include <string_view>

namespace mcp {

// "ping": no parameters, an empty result; either side may send it at any time.
struct Ping {
    static constexpr std::string_view name = "ping";
    using Parameters = Empty;
    using Result = Empty;
};

// "notifications/cancelled": the sender no longer wants the answer to a request.
struct CancelledNotification {
    static constexpr std::string_view name = "notifications/cancelled";

    struct Parameters {
        std::optional<ID> requestID;
        std::optional<std::string> reason;

        friend bool operator==(const Parameters&, const Parameters&) = default;
    };
};

// "notifications/progress": how far the request that carried the token has come.
struct ProgressNotification {
    static constexpr std::string_view name = "notifications/progress";

    struct Parameters {
        ProgressToken progressToken;
        double progress = 0;
        std::optional<double> total;
        std::optional<std::string> message;

        friend bool operator==(const Parameters&, const Parameters&) = default;
    };
};

// {"requestId", "reason"}, each only when present; both optional when read.
template <>
struct Codec<CancelledNotification::Parameters> {
    static Value encode(const CancelledNotification::Parameters& parameters);
    static CancelledNotification::Parameters decode(const Value& value, const CodingPath& path);
};

// {"progressToken", "progress", "total", "message"}; the first two are required.
template <>
struct Codec<ProgressNotification::Parameters> {
    static Value encode(const ProgressNotification::Parameters& parameters);
    static ProgressNotification::Parameters decode(const Value& value, const CodingPath& path);
};

}  // namespace mcp
