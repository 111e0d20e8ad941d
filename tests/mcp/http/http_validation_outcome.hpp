#pragma once

// Helpers for tables of validation cases: a check's outcome written as one comparable line.

#include "mcp/http/http_response.hpp"
#include "mcp/http/http_validation.hpp"

#include <optional>
#include <string>

namespace mcp::testing {

// "pass" when there is no response; otherwise the status and the message the client reads,
// "406 Invalid Request: Not Acceptable: ...". A refusal that is not an invalid-request error
// carrying the context's session id and no extra headers reads "malformed refusal".
inline std::string outcome(const std::optional<HTTPResponse>& response, const HTTPValidationContext& context) {
    if (!response) return "pass";
    const auto* error = std::get_if<HTTPResponse::Error>(&response->value());
    if (error == nullptr || error->error.kind() != MCPError::Kind::invalidRequest ||
        error->sessionID != context.sessionID || !error->extraHeaders.empty()) {
        return "malformed refusal";
    }
    return std::to_string(error->statusCode) + " " + error->error.errorDescription();
}

// A context for a message that is not an initialization request, without a session.
inline HTTPValidationContext contextFor(std::string httpMethod) {
    return HTTPValidationContext{std::move(httpMethod), std::nullopt, false, {}};
}

}  // namespace mcp::testing
