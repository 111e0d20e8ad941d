#include "mcp/oauth/client/detail/oauth_request.hpp"

#include "mcp/oauth/client/oauth_authorization_error.hpp"
#include "mcp/oauth/client/private_address.hpp"

#include "net/error.hpp"

#include <boost/asio/error.hpp>
#include <boost/system/system_error.hpp>

namespace mcp::detail {

net::HTTPRequest oauthRequest(std::string method, boost::urls::url_view url) {
    net::HTTPRequest request;
    request.method = std::move(method);
    request.url = url;
    request.timeout = kOAuthRequestTimeout;
    return request;
}

void refusePrivateAddresses(net::HTTPRequest& request, std::string context) {
    request.addressCheck = [context = std::move(context),
                            url = std::string(request.url.buffer())](const std::vector<boost::asio::ip::tcp::endpoint>& addresses) {
        for (const auto& address : addresses) {
            if (isPrivateIPAddress(address.address())) {
                throw OAuthAuthorizationError::privateIPAddressBlocked(context, url, address.address().to_string());
            }
        }
    };
}

bool isCancellation(const std::exception& error) noexcept {
    const auto* system = dynamic_cast<const boost::system::system_error*>(&error);
    return system && (net::isCancellation(system->code()) || system->code() == boost::asio::error::operation_aborted);
}

}  // namespace mcp::detail
