#include "mcp/http/content_type_validator.hpp"

#include "mcp/http/detail/header_text.hpp"
#include "mcp/http/http_header_name.hpp"

namespace mcp {

std::optional<HTTPResponse> ContentTypeValidator::validate(const HTTPRequest& request,
                                                           const HTTPValidationContext& context) const {
    if (context.httpMethod != "POST") return std::nullopt;

    const auto contentType = request.header(HTTPHeaderName::contentType).value_or("");
    // Empty pieces are dropped before the first one is taken, so ";application/json" passes.
    const auto pieces = detail::splitDroppingEmpty(contentType, ';');
    const auto mediaType = pieces.empty() ? std::string_view() : detail::trimSpacesAndTabs(pieces.front());
    if (mediaType == "application/json") return std::nullopt;
    return refusal(415, "Unsupported Media Type: Content-Type must be application/json", context);
}

}  // namespace mcp
