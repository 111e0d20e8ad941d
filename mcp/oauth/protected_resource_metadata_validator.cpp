#include "mcp/oauth/protected_resource_metadata_validator.hpp"

#include "mcp/http/http_header_name.hpp"
#include "mcp/json/json.hpp"

namespace mcp {
namespace {

bool isMetadataPath(std::string_view path) noexcept {
    if (!path.starts_with(kProtectedResourceMetadataPath)) return false;
    const auto rest = path.substr(kProtectedResourceMetadataPath.size());
    return rest.empty() || rest.front() == '/';
}

}  // namespace

ProtectedResourceMetadataValidator::ProtectedResourceMetadataValidator(
    const OAuthProtectedResourceServerMetadata& metadata)
    : encodedMetadata_(encodeJSON(metadata)) {}

std::optional<HTTPResponse> ProtectedResourceMetadataValidator::validate(const HTTPRequest& request,
                                                                         const HTTPValidationContext& context) const {
    if (context.httpMethod != "GET" || !request.path || !isMetadataPath(*request.path)) return std::nullopt;
    return HTTPResponse(
        HTTPResponse::Data{encodedMetadata_, {{std::string(HTTPHeaderName::contentType), "application/json"}}});
}

}  // namespace mcp
