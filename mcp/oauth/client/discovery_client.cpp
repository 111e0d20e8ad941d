#include "mcp/oauth/client/discovery_client.hpp"

#include "mcp/detail/ascii.hpp"
#include "mcp/json/json.hpp"
#include "mcp/oauth/client/detail/oauth_request.hpp"
#include "mcp/oauth/client/oauth_authorization_error.hpp"
#include "mcp/oauth/client/private_address.hpp"

#include <boost/asio/this_coro.hpp>
#include <boost/url/parse.hpp>

#include <functional>
#include <stdexcept>

namespace mcp {
namespace {

using Kind = OAuthAuthorizationError::Kind;

constexpr int kMaxRedirects = 3;
constexpr std::string_view kIssuerContext = "Authorization server issuer";

// What every URL on the way to a document must pass: the first URL and each redirect target.
struct HopCheck {
    // Throws when the URL may not be asked.
    std::function<void(boost::urls::url_view)> validate;
    std::optional<std::string> privateAddressContext;
};

// Thrown when a redirect leads somewhere the hop check refuses; it fails the candidate only.
class RefusedRedirect : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Ends the fetch when the calling coroutine was cancelled while a candidate was tried.
boost::asio::awaitable<void> throwIfCancelled() {
    const auto state = co_await boost::asio::this_coro::cancellation_state;
    if (state.cancelled() != boost::asio::cancellation_type::none) {
        throw boost::system::system_error(boost::asio::error::operation_aborted);
    }
}

// GETs `url`, following up to kMaxRedirects redirects that pass `check`. The final response,
// whatever its status.
boost::asio::awaitable<net::HTTPResponse> getMetadata(net::HTTPClient& session, boost::urls::url url,
                                                      const HopCheck& check) {
    for (int hop = 0;; ++hop) {
        auto request = detail::oauthRequest("GET", url);
        request.headers.set("Accept", "application/json");
        if (check.privateAddressContext) detail::refusePrivateAddresses(request, *check.privateAddressContext);
        net::HTTPResponse response;
        try {
            response = co_await session.fetch(std::move(request));
        } catch (const OAuthAuthorizationError&) {
            // A redirect target that resolves to a private address fails the candidate; the
            // first URL's own refusal is the caller's to judge.
            if (hop > 0) throw RefusedRedirect("redirect to a private address");
            throw;
        }
        const auto location = response.headers.get("Location");
        if (response.status < 300 || response.status > 399 || !location || hop == kMaxRedirects) co_return response;
        const auto reference = boost::urls::parse_uri_reference(*location);
        boost::urls::url target;
        if (!reference || !boost::urls::resolve(url, *reference, target)) throw RefusedRedirect("unreadable redirect");
        target = boost::urls::url(target.buffer());
        try {
            check.validate(target);
        } catch (const OAuthAuthorizationError& refusal) {
            throw RefusedRedirect(refusal.what());
        }
        if (isPrivateIPHost(target.host_address())) throw RefusedRedirect("redirect to a private address");
        url = std::move(target);
    }
}

template <class Document>
std::optional<Document> readDocument(const net::HTTPResponse& response) {
    if (response.status < 200 || response.status > 299) return std::nullopt;
    try {
        return Codec<Document>::decode(parseJSON(response.body), {});
    } catch (const DecodingError&) {
        return std::nullopt;
    }
}

}  // namespace

OAuthDiscoveryClient::OAuthDiscoveryClient(std::shared_ptr<const OAuthMetadataDiscovering> metadataDiscovery,
                                           OAuthURLValidator urlValidator, bool allowPrivateAuthorizationServers)
    : metadataDiscovery_(std::move(metadataDiscovery)),
      urlValidator_(urlValidator),
      allowPrivateAuthorizationServers_(allowPrivateAuthorizationServers) {
    if (!metadataDiscovery_) throw std::logic_error("OAuthDiscoveryClient needs a metadata discovery");
}

boost::asio::awaitable<OAuthProtectedResourceMetadata> OAuthDiscoveryClient::fetchProtectedResourceMetadata(
    std::vector<ProtectedResourceMetadataCandidate> candidates, std::optional<boost::urls::url> fallbackIssuer,
    net::HTTPClient& session) const {
    for (const auto& candidate : candidates) {
        const HopCheck check{
            [this](boost::urls::url_view url) {
                urlValidator_.validateHTTPSOrLoopback(url, "Protected resource metadata URL");
            },
            candidate.privateAddressContext};
        std::optional<OAuthProtectedResourceMetadata> document;
        try {
            document = readDocument<OAuthProtectedResourceMetadata>(co_await getMetadata(session, candidate.url, check));
        } catch (const OAuthAuthorizationError&) {
            throw;
        } catch (const std::exception& error) {
            if (detail::isCancellation(error)) throw;
        }
        co_await throwIfCancelled();
        if (document && !document->authorizationServers.empty()) co_return std::move(*document);
    }
    if (!fallbackIssuer) throw OAuthAuthorizationError::make(Kind::metadataDiscoveryFailed);
    OAuthProtectedResourceMetadata fallback;
    fallback.authorizationServers.push_back(std::move(*fallbackIssuer));
    co_return fallback;
}

boost::asio::awaitable<DiscoveredAuthorizationServer> OAuthDiscoveryClient::fetchAuthorizationServerMetadata(
    std::vector<boost::urls::url> servers, net::HTTPClient& session) const {
    HopCheck check{[this](boost::urls::url_view url) { urlValidator_.validateAuthorizationServer(url, kIssuerContext); },
                   std::string(kIssuerContext)};
    if (allowPrivateAuthorizationServers_) check.privateAddressContext.reset();
    std::optional<OAuthAuthorizationError> firstMismatch;
    // A server refused for its address is named in the failure, with the address, rather than
    // left for a bare "failed to discover".
    std::optional<OAuthAuthorizationError> firstRefusal;
    for (const auto& server : servers) {
        try {
            check.validate(server);
        } catch (const OAuthAuthorizationError&) {
            continue;
        }
        if (check.privateAddressContext && server.has_authority() && isPrivateIPHost(server.host_address())) {
            if (!firstRefusal) {
                firstRefusal = OAuthAuthorizationError::privateIPAddressBlocked(
                    *check.privateAddressContext, std::string(server.buffer()), std::string(server.host_address()));
            }
            continue;
        }
        const auto expectedIssuer = detail::asciiLowercase(server.buffer());
        for (const auto& candidate : metadataDiscovery_->authorizationServerMetadataURLs(server)) {
            std::optional<OAuthAuthorizationServerMetadata> document;
            try {
                document = readDocument<OAuthAuthorizationServerMetadata>(co_await getMetadata(session, candidate, check));
            } catch (const OAuthAuthorizationError& refusal) {
                if (!firstRefusal && refusal.kind() == Kind::privateIPAddressBlocked) firstRefusal = refusal;
            } catch (const std::exception& error) {
                if (detail::isCancellation(error)) throw;
            }
            co_await throwIfCancelled();
            if (!document) continue;
            if (!document->issuer || detail::asciiLowercase(document->issuer->buffer()) == expectedIssuer) {
                co_return DiscoveredAuthorizationServer{server, std::move(*document)};
            }
            if (!firstMismatch) {
                firstMismatch = OAuthAuthorizationError::authorizationServerIssuerMismatch(
                    std::string(server.buffer()), std::string(document->issuer->buffer()));
            }
        }
    }
    if (firstMismatch) throw *firstMismatch;
    if (firstRefusal) throw *firstRefusal;
    throw OAuthAuthorizationError::make(Kind::authorizationServerMetadataDiscoveryFailed);
}

}  // namespace mcp
