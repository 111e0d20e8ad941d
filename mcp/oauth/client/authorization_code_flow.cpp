#include "mcp/oauth/client/authorization_code_flow.hpp"

#include "mcp/detail/ascii.hpp"
#include "mcp/oauth/client/detail/form_encoding.hpp"
#include "mcp/oauth/client/detail/oauth_request.hpp"
#include "mcp/oauth/client/oauth_authorization_error.hpp"

#include <boost/url/parse.hpp>

#include <utility>
#include <vector>

namespace mcp {
namespace {

using Kind = OAuthAuthorizationError::Kind;

// The first query parameter named exactly `name`, decoded without reading "+" as a blank.
std::optional<std::string> firstParameter(boost::urls::url_view url, std::string_view name) {
    for (const auto& parameter : url.params(boost::urls::encoding_opts(false))) {
        if (parameter.key != name) continue;
        if (!parameter.has_value) return std::nullopt;
        return parameter.value;
    }
    return std::nullopt;
}

}  // namespace

std::string redirectComparisonKey(boost::urls::url_view url) {
    const auto scheme = detail::asciiLowercase(url.scheme());
    std::string port;
    if (url.has_port()) {
        port = std::string(url.port());
    } else {
        port = scheme == "https" ? "443" : scheme == "http" ? "80" : "-1";
    }
    const std::string path = url.path().empty() ? std::string("/") : std::string(url.path());
    return scheme + "://" + detail::asciiLowercase(url.host_address()) + ":" + port + path;
}

boost::urls::url buildAuthorizationURL(boost::urls::url_view authorizationEndpoint, boost::urls::url_view resource,
                                       boost::urls::url_view redirectURI, std::string_view clientID,
                                       std::string_view codeChallenge,
                                       const std::optional<std::set<std::string>>& scopes, std::string_view state,
                                       const OAuthScopeSelecting& scopeSerializer) {
    std::vector<std::pair<std::string_view, std::string>> items = {
        {"response_type", "code"},
        {"client_id", std::string(clientID)},
        {"redirect_uri", std::string(redirectURI.buffer())},
        {"state", std::string(state)},
        {"resource", std::string(resource.buffer())},
        {"code_challenge", std::string(codeChallenge)},
        {"code_challenge_method", "S256"},
    };
    std::optional<std::string> scope;
    if (scopes) scope = scopeSerializer.serialize(*scopes);
    if (scope) items.emplace_back("scope", *scope);

    std::string query;
    for (const auto& [name, value] : items) {
        if (!query.empty()) query += '&';
        query += name;
        query += '=';
        query += detail::percentEncodeUnreserved(value);
    }
    boost::urls::url url(authorizationEndpoint);
    url.set_encoded_query(query);
    return url;
}

std::string extractAuthorizationCode(boost::urls::url_view received, boost::urls::url_view expectedRedirectURI,
                                     std::string_view state) {
    if (redirectComparisonKey(received) != redirectComparisonKey(expectedRedirectURI)) {
        throw OAuthAuthorizationError::authorizationResponseRedirectMismatch(std::string(expectedRedirectURI.buffer()),
                                                                            std::string(received.buffer()));
    }
    const auto receivedState = firstParameter(received, "state");
    if (!receivedState || receivedState->empty()) {
        throw OAuthAuthorizationError::make(Kind::authorizationResponseMissingState);
    }
    if (*receivedState != state) {
        throw OAuthAuthorizationError::authorizationResponseStateMismatch(std::string(state), *receivedState);
    }
    const auto code = firstParameter(received, "code");
    if (!code || code->empty()) throw OAuthAuthorizationError::make(Kind::authorizationResponseMissingCode);
    return *code;
}

std::string readAuthorizationReply(boost::urls::url_view requestURL, int statusCode,
                                   const std::optional<std::string>& location,
                                   boost::urls::url_view expectedRedirectURI, std::string_view state) {
    if (statusCode >= 400) throw OAuthAuthorizationError::authorizationRequestFailed(statusCode);
    const auto missingLocation = [] { return OAuthAuthorizationError::make(Kind::authorizationResponseMissingRedirectLocation); };
    if (statusCode < 300 || !location || location->empty()) throw missingLocation();
    const auto reference = boost::urls::parse_uri_reference(*location);
    if (!reference) throw missingLocation();
    // A relative Location names a place on the server that was asked (RFC 9110 section 10.2.2).
    boost::urls::url target;
    if (!boost::urls::resolve(requestURL, *reference, target)) throw missingLocation();
    // Read back from its text: a URL made by resolve() in this Boost release reports a decoded
    // path padded with stale bytes when dot segments were removed.
    return extractAuthorizationCode(boost::urls::url(target.buffer()), expectedRedirectURI, state);
}

boost::urls::url OAuthAuthorizationCodeFlow::buildURL(boost::urls::url_view authorizationEndpoint,
                                                      boost::urls::url_view resource, boost::urls::url_view redirectURI,
                                                      std::string_view clientID, std::string_view codeChallenge,
                                                      const std::optional<std::set<std::string>>& scopes,
                                                      std::string_view state,
                                                      const OAuthScopeSelecting& scopeSerializer) const {
    return buildAuthorizationURL(authorizationEndpoint, resource, redirectURI, clientID, codeChallenge, scopes, state,
                                 scopeSerializer);
}

boost::asio::awaitable<std::string> OAuthAuthorizationCodeFlow::perform(
    boost::urls::url authorizationURL, boost::urls::url redirectURI, std::string state,
    std::shared_ptr<OAuthAuthorizationDelegate> delegate, net::HTTPClient& session) const {
    if (delegate) {
        const auto redirect = co_await delegate->presentAuthorizationURL(authorizationURL);
        co_return extractAuthorizationCode(redirect, redirectURI, state);
    }
    auto request = detail::oauthRequest("GET", authorizationURL);
    request.headers.set("Accept", "text/html, application/json");
    // The login page, if any, is of no use, and the connection is not kept for other requests.
    request.headers.set("Connection", "close");
    if (!allowPrivateAddresses_) detail::refusePrivateAddresses(request, "Authorization endpoint");
    auto response = co_await session.start(std::move(request));
    const int status = response.status();
    const auto location = response.header("Location");
    response.discard();
    co_return readAuthorizationReply(authorizationURL, status, location, redirectURI, state);
}

}  // namespace mcp
