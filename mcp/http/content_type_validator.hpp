#pragma once

#include "mcp/http/http_validation.hpp"

namespace mcp {

// ContentTypeValidator: refuses with 415 a POST whose media type (the "Content-Type" value
// up to its first ";", trimmed of spaces and tabs) is not exactly "application/json".
// Parameters such as a charset are ignored; the comparison is case-sensitive, and a POST
// without the header is refused. Other methods pass.
class ContentTypeValidator final : public HTTPRequestValidator {
public:
    std::optional<HTTPResponse> validate(const HTTPRequest& request,
                                         const HTTPValidationContext& context) const override;
};

}  // namespace mcp
