#pragma once

// The OAuth client's reading of a 401 or 403 answer: the Bearer challenge of its
// "WWW-Authenticate" header, which names the error, the scope the server asks for and where the
// protected resource's metadata lives.

#include "mcp/http/http_request.hpp"
#include "mcp/oauth/oauth_bearer_challenge.hpp"

#include <optional>

namespace mcp {

// OAuthWWWAuthenticateParsing: how the authorizer reads challenges; a program may supply its own.
class OAuthWWWAuthenticateParsing {
public:
    virtual ~OAuthWWWAuthenticateParsing() = default;

    // parseBearer: the Bearer challenge among `headers`, or absent when there is no
    // "WWW-Authenticate" field, it is blank, or it holds no Bearer challenge. Never throws; safe
    // to call from several threads at once.
    virtual std::optional<OAuthBearerChallenge> parseBearer(const HTTPHeaders& headers) const = 0;
};

// DefaultOAuthWWWAuthenticateParser: a lenient reader. Fields named "WWW-Authenticate" in any
// case are joined with ", " in their order, as one field listing several challenges. Parameter
// names are lowered; quoted values lose their quotes and every quoted pair (\" and \\ alike)
// becomes its second character; a later parameter replaces an earlier one of the same name;
// anything that is not name=value is skipped. The parameters end where another challenge
// scheme starts ("Basic realm=...", or a bare token).
class DefaultOAuthWWWAuthenticateParser final : public OAuthWWWAuthenticateParsing {
public:
    std::optional<OAuthBearerChallenge> parseBearer(const HTTPHeaders& headers) const override;
};

}  // namespace mcp
