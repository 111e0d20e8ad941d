#pragma once

#include "mcp/http/http_validation.hpp"

namespace mcp {

// SessionValidator: requires every request but an initialization request to name, in its
// "MCP-Session-Id" header, exactly the session the transport holds. Without a session the
// request is refused with 400 "Session not initialized"; without the header with 400; with a
// different id with 404, which tells the client to start a new session.
class SessionValidator final : public HTTPRequestValidator {
public:
    std::optional<HTTPResponse> validate(const HTTPRequest& request,
                                         const HTTPValidationContext& context) const override;
};

}  // namespace mcp
