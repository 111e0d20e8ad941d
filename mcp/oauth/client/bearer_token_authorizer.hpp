#pragma once

// BearerTokenAuthorizer: the authorizer of a client that holds one fixed bearer token (an API
// key, a token the user pasted), for a server that needs no OAuth flow. Every request carries
// "Authorization: Bearer <token>"; a 401 or 403 is final, as there is nothing to renew. Like
// the OAuth client it sends its token only to an https endpoint or to plain http on loopback.
//
//     options.authorizer = std::make_shared<BearerTokenAuthorizer>(token);   // HTTPClientTransportOptions
//
// Holds nothing that changes: any method may be called from any thread.

#include "mcp/http/client/http_client_authorizer.hpp"
#include "mcp/oauth/client/oauth_url_validator.hpp"

#include <string>

namespace mcp {

class BearerTokenAuthorizer final : public HTTPClientAuthorizer {
public:
    // Throws std::invalid_argument when `token` is empty or holds anything but visible ASCII
    // (a blank, a line break, a control character): no header could carry it as it is.
    explicit BearerTokenAuthorizer(std::string token);

    // One post per message: a refused token stays refused.
    int maxAuthorizationAttempts() const override { return 1; }
    // Throws OAuthAuthorizationError insecureOAuthEndpoint for the "MCP endpoint" unless it is
    // https or plain http on a loopback host.
    void validateEndpointSecurity(const boost::urls::url& endpoint) override;
    std::optional<std::string> authorizationHeader(const boost::urls::url& endpoint) override;
    // False: the transport fails the send with the server's answer.
    boost::asio::awaitable<bool> handleChallenge(int statusCode, const net::HeaderMap& headers,
                                                 const boost::urls::url& endpoint,
                                                 std::optional<std::string> operationKey,
                                                 net::HTTPClient& session) override;

private:
    std::string header_;
    OAuthURLValidator urlValidator_{false};
};

}  // namespace mcp
