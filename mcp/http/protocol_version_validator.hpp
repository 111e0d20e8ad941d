#pragma once

#include "mcp/http/http_validation.hpp"

namespace mcp {

// ProtocolVersionValidator: refuses with 400 a request whose "MCP-Protocol-Version" header
// names a revision outside the context's supported set (exact comparison; an empty value is
// refused too). The text lists the supported revisions in ascending order. A request without
// the header passes, and so does an initialization request, whose revision the initialize
// exchange itself negotiates.
class ProtocolVersionValidator final : public HTTPRequestValidator {
public:
    std::optional<HTTPResponse> validate(const HTTPRequest& request,
                                         const HTTPValidationContext& context) const override;
};

}  // namespace mcp
