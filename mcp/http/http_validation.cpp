#include "mcp/http/http_validation.hpp"

#include <algorithm>
#include <stdexcept>
#include <utility>

namespace mcp {

HTTPResponse HTTPRequestValidator::refusal(int statusCode, std::string text, const HTTPValidationContext& context,
                                           HTTPHeaders extraHeaders) {
    return HTTPResponse(HTTPResponse::Error{statusCode, MCPError::invalidRequest(std::move(text)), context.sessionID,
                                            std::move(extraHeaders)});
}

StandardValidationPipeline::StandardValidationPipeline(Validators validators) : validators_(std::move(validators)) {
    if (std::ranges::any_of(validators_, [](const auto& validator) { return validator == nullptr; })) {
        throw std::invalid_argument("StandardValidationPipeline: null validator");
    }
}

std::optional<HTTPResponse> StandardValidationPipeline::validate(const HTTPRequest& request,
                                                                 const HTTPValidationContext& context) const {
    for (const auto& validator : validators_) {
        if (auto refusal = validator->validate(request, context)) return refusal;
    }
    return std::nullopt;
}

}  // namespace mcp
