#pragma once

// ClientCredentialsAuthorizer: answers a protected server's challenge with the OAuth client
// credentials grant. On the first 401 it reads the protected resource metadata (the one the
// challenge names, else the well-known ones), the authorization server's metadata, and asks
// its token endpoint for a token with the client's secret (Basic) or a signed assertion
// (private_key_jwt); every later request carries that token.

#include "mcp/http/client/http_client_authorizer.hpp"
#include "mcp/json/value.hpp"

#include <optional>
#include <string>

namespace conformance {

/// Who the client is, from the scenario's context.
struct ClientCredentials {
    std::string clientID;
    /// For client_secret_basic.
    std::optional<std::string> clientSecret;
    /// A P-256 key for ES256 assertions (private_key_jwt).
    std::optional<std::string> privateKeyPEM;
};

class ClientCredentialsAuthorizer final : public mcp::HTTPClientAuthorizer {
public:
    explicit ClientCredentialsAuthorizer(ClientCredentials credentials) : credentials_(std::move(credentials)) {}

    int maxAuthorizationAttempts() const override { return 2; }
    // The scenario servers are plain http on loopback.
    void validateEndpointSecurity(const boost::urls::url&) override {}
    std::optional<std::string> authorizationHeader(const boost::urls::url&) override;
    boost::asio::awaitable<bool> handleChallenge(int statusCode, const net::HeaderMap& headers,
                                                 const boost::urls::url& endpoint,
                                                 std::optional<std::string> operationKey,
                                                 net::HttpClient& session) override;

private:
    ClientCredentials credentials_;
    std::optional<std::string> accessToken_;
};

}  // namespace conformance
