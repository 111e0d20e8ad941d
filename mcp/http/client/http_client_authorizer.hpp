#pragma once

// HTTPClientAuthorizer: what the HTTP client transport asks of whoever holds the client's
// authorization. Before each message it posts, the transport calls
// `validateEndpointSecurity`, then `prepareAuthorization`; it puts `authorizationHeader` on
// every request (again for each resend); on a 401 or 403 it calls `handleChallenge` and posts
// again while that returns true, at most `maxAuthorizationAttempts` posts per message.
//
// The transport holds its authorizer through a shared_ptr and calls it from the transport's
// strand, one call at a time per message (several messages may be in flight at once).

#include "net/header_map.hpp"
#include "net/http_client.hpp"

#include <boost/asio/awaitable.hpp>
#include <boost/url/url.hpp>

#include <optional>
#include <string>

namespace mcp {

class HTTPClientAuthorizer {
public:
    virtual ~HTTPClientAuthorizer() = default;

    // How many times one message is posted at most (values below 1 count as 1).
    virtual int maxAuthorizationAttempts() const = 0;

    // Throws when `endpoint` may not carry credentials; the message is then not sent and the
    // send fails with "Authorization flow failed: " and this error's text.
    virtual void validateEndpointSecurity(const boost::urls::url& endpoint) = 0;

    // The whole value of the "Authorization" header for `endpoint`, or absent for none.
    virtual std::optional<std::string> authorizationHeader(const boost::urls::url& endpoint) = 0;

    // Answers a 401 or 403: true when the message should be posted again (a new token was
    // stored, or the scopes stepped up). `operationKey` is the JSON-RPC method of the posted
    // message, absent for a response or a batch. `session` is the transport's HTTP client,
    // for the authorizer's own requests (cancelled with the transport's). A throw ends the
    // send with "Authorization flow failed: " and the error's text.
    virtual boost::asio::awaitable<bool> handleChallenge(int statusCode, const net::HeaderMap& headers,
                                                         const boost::urls::url& endpoint,
                                                         std::optional<std::string> operationKey,
                                                         net::HTTPClient& session) = 0;

    // Called before each message is posted, e.g. to refresh a token that is about to expire.
    // Its failures are ignored. By default it does nothing.
    virtual boost::asio::awaitable<void> prepareAuthorization(const boost::urls::url& endpoint,
                                                              net::HTTPClient& session);
};

}  // namespace mcp
