#include "mcp/oauth/client/bearer_token_authorizer.hpp"

#include <algorithm>
#include <stdexcept>

namespace mcp {

namespace {

std::string checkedToken(std::string token) {
    const bool visible = std::all_of(token.begin(), token.end(), [](char c) { return c > 0x20 && c < 0x7f; });
    if (token.empty() || !visible) {
        throw std::invalid_argument("A bearer token must be one or more visible ASCII characters");
    }
    return token;
}

}  // namespace

BearerTokenAuthorizer::BearerTokenAuthorizer(std::string token) : header_("Bearer " + checkedToken(std::move(token))) {}

void BearerTokenAuthorizer::validateEndpointSecurity(const boost::urls::url& endpoint) {
    urlValidator_.validateHTTPSOrLoopback(endpoint, "MCP endpoint");
}

std::optional<std::string> BearerTokenAuthorizer::authorizationHeader(const boost::urls::url&) {
    return header_;
}

boost::asio::awaitable<bool> BearerTokenAuthorizer::handleChallenge(int, const net::HeaderMap&, const boost::urls::url&,
                                                                    std::optional<std::string>, net::HTTPClient&) {
    co_return false;
}

}  // namespace mcp
