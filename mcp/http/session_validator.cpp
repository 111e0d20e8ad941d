#include "mcp/http/session_validator.hpp"

#include "mcp/http/http_header_name.hpp"

namespace mcp {

std::optional<HTTPResponse> SessionValidator::validate(const HTTPRequest& request,
                                                       const HTTPValidationContext& context) const {
    if (context.isInitializationRequest) return std::nullopt;
    if (!context.sessionID) return refusal(400, "Bad Request: Session not initialized", context);
    const auto sessionID = request.header(HTTPHeaderName::sessionID);
    if (!sessionID) return refusal(400, "Bad Request: Missing MCP-Session-Id header", context);
    if (*sessionID != *context.sessionID) return refusal(404, "Not Found: Invalid or expired session ID", context);
    return std::nullopt;
}

}  // namespace mcp
