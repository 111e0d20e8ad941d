#pragma once

// How the OAuth client's own HTTP requests are made: one time-out for all, no redirects (the
// HTTP client follows none), and the refusal of private addresses for URLs that came from a
// server rather than from the program.

#include "net/http_request.hpp"

#include <boost/url/url_view.hpp>

#include <chrono>
#include <exception>
#include <string>

namespace mcp::detail {

// Every request of the OAuth client gives up after this long without a byte.
inline constexpr std::chrono::seconds kOAuthRequestTimeout{60};

// oauthRequest: a request with the OAuth client's time-out.
net::HTTPRequest oauthRequest(std::string method, boost::urls::url_view url);

// refusePrivateAddresses: makes `request` fail with OAuthAuthorizationError
// privateIPAddressBlocked(`context`, its URL, the refused address) when its host resolves to
// any private address (see isPrivateIPAddress), before a connection to any of them is made.
// The connection is made only to the addresses checked.
void refusePrivateAddresses(net::HTTPRequest& request, std::string context);

// isCancellation: whether `error` means the request or the calling coroutine was cancelled,
// which must end the OAuth work at once instead of moving on to the next candidate.
bool isCancellation(const std::exception& error) noexcept;

}  // namespace mcp::detail
