#pragma once

// How the conformance client authorizes in each scenario, from the scenario's name and
// context (MCP_CONFORMANCE_SCENARIO, MCP_CONFORMANCE_CONTEXT): the client credentials grant
// where the scenario says so, with the context's secret or ES256 key; otherwise the
// authorization code grant, with the context's pre-registered client when it gives one, else
// with the client's metadata document URL as its id (registering dynamically where the
// authorization server can't read such documents).

#include "mcp/http/client/http_client_authorizer.hpp"

#include <memory>
#include <string_view>

namespace conformance {

// The authorizer for `scenario` with the JSON `context` (empty when none was given).
std::shared_ptr<mcp::HTTPClientAuthorizer> makeAuthorizer(std::string_view scenario, std::string_view context);

}  // namespace conformance
