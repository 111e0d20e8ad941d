#pragma once

#include "mcp/http/http_validation.hpp"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mcp {

// OriginValidator: guards a local server against DNS rebinding and against web pages of other
// origins. A "Host" header that is present must match one of `allowedHosts` (else 421), and
// an "Origin" header that is present must match one of `allowedOrigins` (else 403); a missing
// header is not examined. With an empty list, every request carrying that header is refused.
//
// A pattern ending in ":*" matches its base, a colon and a non-empty run of numeric
// characters (any character with a Unicode numeric type, the ASCII digits among them): a
// port wildcard. Any other pattern matches only the identical value. Nothing is normalised:
// no case folding, default ports or trailing slashes.
class OriginValidator final : public HTTPRequestValidator {
public:
    // An enabled validator with these patterns, each list tried in order.
    OriginValidator(std::vector<std::string> allowedHosts, std::vector<std::string> allowedOrigins);

    // The loopback names 127.0.0.1, localhost and [::1] with `port`, as hosts and as http
    // origins; without a port, any numeric port (but not none).
    static OriginValidator localhost(std::optional<int> port = std::nullopt);
    // A validator that passes every request.
    static OriginValidator disabled();

    const std::vector<std::string>& allowedHosts() const noexcept { return allowedHosts_; }
    const std::vector<std::string>& allowedOrigins() const noexcept { return allowedOrigins_; }

    std::optional<HTTPResponse> validate(const HTTPRequest& request,
                                         const HTTPValidationContext& context) const override;

private:
    OriginValidator(std::vector<std::string> allowedHosts, std::vector<std::string> allowedOrigins, bool enabled);

    std::vector<std::string> allowedHosts_;
    std::vector<std::string> allowedOrigins_;
    bool enabled_;
};

}  // namespace mcp
