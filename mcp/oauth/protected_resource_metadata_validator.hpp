#pragma once

// ProtectedResourceMetadataValidator: serves a protected resource's metadata document from
// within the validation pipeline, so that OAuth clients can discover the resource's
// authorization servers at the well-known path.

#include "mcp/http/http_validation.hpp"
#include "mcp/oauth/oauth_protected_resource_metadata.hpp"

#include <string>

namespace mcp {

class ProtectedResourceMetadataValidator final : public HTTPRequestValidator {
public:
    // Encodes `metadata` once; every answer serves those bytes.
    explicit ProtectedResourceMetadataValidator(const OAuthProtectedResourceServerMetadata& metadata);

    // A GET whose path is `kProtectedResourceMetadataPath`, or that path followed by "/" and
    // anything, is answered with 200, the document and "Content-Type: application/json". The
    // path is compared exactly as the request carries it (letter case and query included);
    // every other request, and a request without a path, passes.
    std::optional<HTTPResponse> validate(const HTTPRequest& request,
                                         const HTTPValidationContext& context) const override;

private:
    std::string encodedMetadata_;
};

}  // namespace mcp
