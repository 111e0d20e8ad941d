#include "mcp/http/protocol_version_validator.hpp"

#include "mcp/http/http_header_name.hpp"

namespace mcp {

std::optional<HTTPResponse> ProtocolVersionValidator::validate(const HTTPRequest& request,
                                                               const HTTPValidationContext& context) const {
    if (context.isInitializationRequest) return std::nullopt;
    const auto version = request.header(HTTPHeaderName::protocolVersion);
    if (!version || context.supportedProtocolVersions.contains(*version)) return std::nullopt;

    // The set is ordered, so the list comes out in ascending string order.
    std::string supported;
    for (const auto& each : context.supportedProtocolVersions) {
        if (!supported.empty()) supported += ", ";
        supported += each;
    }
    return refusal(400, "Bad Request: Unsupported protocol version: " + *version + ". Supported: " + supported,
                   context);
}

}  // namespace mcp
