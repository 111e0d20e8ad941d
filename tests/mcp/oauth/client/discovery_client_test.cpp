#include "mcp/oauth/client/discovery_client.hpp"

#include "mcp/oauth/client/metadata_discovery.hpp"
#include "mcp/oauth/client/oauth_authorization_error.hpp"
#include "tests/mcp/oauth/client/oauth_network_fixture.hpp"

#include <atomic>

namespace mcp {
namespace {

using Kind = OAuthAuthorizationError::Kind;
using testing::json;
using testing::notFound;
using testing::RecordedRequest;
using testing::Reply;
using testing::ScriptedHTTPServer;

class DiscoveryClientTest : public testing::OAuthNetworkTest {
protected:
    // Loopback http is allowed for authorization servers, as the tests' servers speak plain http.
    OAuthDiscoveryClient client{std::make_shared<DefaultOAuthMetadataDiscovery>(), OAuthURLValidator(true)};
    DefaultOAuthMetadataDiscovery discovery;

    std::vector<ProtectedResourceMetadataCandidate> candidatesFor(const std::string& endpoint) const {
        std::vector<ProtectedResourceMetadataCandidate> candidates;
        for (auto& url : discovery.protectedResourceMetadataURLs(boost::urls::url(endpoint))) {
            ProtectedResourceMetadataCandidate candidate{std::move(url), std::nullopt};
            if (std::find(candidates.begin(), candidates.end(), candidate) == candidates.end()) {
                candidates.push_back(std::move(candidate));
            }
        }
        return candidates;
    }

    OAuthProtectedResourceMetadata fetchResource(const std::string& endpoint, net::HTTPClient& session) {
        return await(client.fetchProtectedResourceMetadata(
            candidatesFor(endpoint), discovery.authorizationServerFallbackIssuer(boost::urls::url(endpoint)), session));
    }

    DiscoveredAuthorizationServer fetchServer(std::vector<boost::urls::url> servers, net::HTTPClient& session) {
        return await(client.fetchAuthorizationServerMetadata(std::move(servers), session));
    }

    // The failure of fetchServer, as an OAuth error.
    std::optional<OAuthAuthorizationError> serverFailure(std::vector<boost::urls::url> servers, net::HTTPClient& session) {
        try {
            fetchServer(std::move(servers), session);
        } catch (const OAuthAuthorizationError& error) {
            return error;
        }
        ADD_FAILURE() << "metadata was found";
        return std::nullopt;
    }
};

TEST_F(DiscoveryClientTest, TriesTheCandidatesInOrderForAnEndpointAndAnIssuerWithPaths) {
    std::string base;
    ScriptedHTTPServer server([&](const RecordedRequest& request) {
        if (request.target == "/.well-known/oauth-protected-resource") {
            return json(R"({"resource":")" + base + R"(/mcp","authorization_servers":[")" + base + R"(/tenant/"]})");
        }
        if (request.target == "/tenant/.well-known/openid-configuration") {
            return json(R"({"issuer":")" + base + R"(/tenant/","token_endpoint":")" + base + R"(/token"})");
        }
        return notFound();
    });
    base = server.url("");
    auto session = makeClient();

    const auto resource = fetchResource(base + "/mcp?x=1", *session);
    ASSERT_EQ(resource.authorizationServers.size(), 1u);
    const auto found = fetchServer(resource.authorizationServers, *session);

    EXPECT_EQ(found.server.buffer(), base + "/tenant/");
    EXPECT_EQ(found.metadata.tokenEndpoint, boost::urls::url(base + "/token"));
    EXPECT_EQ(targets(server), (std::vector<std::string>{
                                   "/.well-known/oauth-protected-resource/mcp",
                                   "/.well-known/oauth-protected-resource",
                                   "/.well-known/oauth-authorization-server/tenant",
                                   "/.well-known/openid-configuration/tenant",
                                   "/tenant/.well-known/openid-configuration",
                               }));
    for (const auto& request : server.requests()) {
        EXPECT_EQ(request.method, "GET");
        EXPECT_EQ(request.header("Accept"), "application/json");
        EXPECT_FALSE(request.header("Authorization"));
    }
}

TEST_F(DiscoveryClientTest, FallsBackToTheEndpointsOriginWhenNoResourceMetadataAnswers) {
    ScriptedHTTPServer server([](const RecordedRequest& request) {
        // A document without authorization servers is passed over like a 404.
        if (request.target == "/.well-known/oauth-protected-resource/mcp") {
            return json(R"({"resource":"x","authorization_servers":[]})");
        }
        return notFound();
    });
    auto session = makeClient();

    const auto resource = fetchResource(server.url("/mcp"), *session);
    EXPECT_EQ(resource.authorizationServers, std::vector{boost::urls::url(server.url(""))});
    EXPECT_FALSE(resource.resource);
    EXPECT_FALSE(resource.scopesSupported);

    const auto failure = serverFailure(resource.authorizationServers, *session);
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->kind(), Kind::authorizationServerMetadataDiscoveryFailed);
    EXPECT_EQ(targets(server).size(), 4u);

    try {
        await(client.fetchProtectedResourceMetadata(candidatesFor(server.url("/mcp")), std::nullopt, *session));
        ADD_FAILURE() << "metadata was found";
    } catch (const OAuthAuthorizationError& error) {
        EXPECT_EQ(error.kind(), Kind::metadataDiscoveryFailed);
    }
}

TEST_F(DiscoveryClientTest, AcceptsAnIssuerDifferingInCaseAndRefusesAnyOtherIssuer) {
    std::string issuer;
    ScriptedHTTPServer server([&](const RecordedRequest& request) {
        if (request.target == "/.well-known/oauth-authorization-server/tenant") {
            return json(R"({"issuer":")" + issuer + R"("})");
        }
        return notFound();
    });
    auto session = makeClient();
    const boost::urls::url asked(server.url("/tenant"));

    issuer = "HTTP://127.0.0.1:" + std::to_string(server.port()) + "/TENANT";
    EXPECT_EQ(fetchServer({asked}, *session).server, asked);

    // One slash more names another issuer: the metadata is not used, and nothing else answers.
    issuer = server.url("/tenant/");
    auto failure = serverFailure({asked}, *session);
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->kind(), Kind::authorizationServerIssuerMismatch);
    EXPECT_EQ(failure->what(), "Authorization server issuer mismatch. Expected " + server.url("/tenant") + ", got " +
                                   server.url("/tenant/"));

    // A matching server later in the list wins over the mismatch.
    ScriptedHTTPServer honest([](const RecordedRequest&) { return json("{}"); });
    EXPECT_EQ(fetchServer({asked, boost::urls::url(honest.url(""))}, *session).server.buffer(), honest.url(""));
}

TEST_F(DiscoveryClientTest, SkipsPrivateAndInsecureServersWithoutARequest) {
    ScriptedHTTPServer server([](const RecordedRequest&) { return json("{}"); });
    auto session = makeClient({{"internal.example", "10.0.0.5"}});

    const auto found = fetchServer({boost::urls::url("https://10.0.0.5/"), boost::urls::url("https://[::ffff:a9fe:a9fe]"),
                                    boost::urls::url("http://as.example.com"),
                                    boost::urls::url("https://internal.example/"), boost::urls::url(server.url(""))},
                                   *session);
    EXPECT_EQ(found.server.buffer(), server.url(""));
    // The name that resolves to 10.0.0.5 was resolved, checked and never connected to (the
    // fixture's connector counts any such attempt).
    EXPECT_EQ(targets(server), std::vector<std::string>{"/.well-known/oauth-authorization-server"});
}

// Refused servers were once skipped in silence, ending in "Failed to discover authorization
// server metadata": the first refusal is the failure, with the refused address.
TEST_F(DiscoveryClientTest, NamesTheRefusedAddressWhenNoServerIsLeft) {
    auto session = makeClient({{"internal.example", "10.0.0.5"}});
    const struct {
        std::string_view name;
        std::vector<boost::urls::url> servers;
        std::string message;
    } cases[] = {
        {"name resolving to a private address",
         {boost::urls::url("https://internal.example/")},
         "Authorization server issuer resolves to a private or reserved IP address which is blocked for SSRF "
         "protection: https://internal.example/.well-known/oauth-authorization-server (10.0.0.5)"},
        {"private literal, then a name",
         {boost::urls::url("https://192.168.1.2/"), boost::urls::url("https://internal.example/")},
         "Authorization server issuer resolves to a private or reserved IP address which is blocked for SSRF "
         "protection: https://192.168.1.2/ (192.168.1.2)"},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        const auto error = serverFailure(row.servers, *session);
        ASSERT_TRUE(error);
        EXPECT_EQ(error->kind(), Kind::privateIPAddressBlocked);
        EXPECT_EQ(std::string(error->what()), row.message);
    }
    EXPECT_EQ(connector_->attempts, 0);
}

TEST_F(DiscoveryClientTest, FollowsAtMostThreeRedirectsEachCheckedLikeTheFirstURL) {
    std::atomic<int> port = 0;
    ScriptedHTTPServer server([&port](const RecordedRequest& request) {
        const std::map<std::string, std::string> hops = {
            {"/.well-known/oauth-protected-resource/a", "/one"},
            {"/one", "two"},
            {"/two", "/three"},
            {"/three", "/four"},
            {"/.well-known/oauth-protected-resource/b", "https://10.0.0.5/metadata"},
            // Plain http to a host that is not loopback by its name, though it resolves there.
            {"/.well-known/oauth-protected-resource/c", "http://metadata.example:" + std::to_string(port) + "/final"},
            {"/.well-known/oauth-protected-resource", "/final"},
        };
        if (const auto hop = hops.find(request.target); hop != hops.end()) {
            return Reply{.status = 302, .headers = {{"Location", hop->second}}};
        }
        if (request.target == "/final" || request.target == "/four") {
            return json(R"({"authorization_servers":["https://as.example.com"]})");
        }
        return notFound();
    });
    port = server.port();
    auto session = makeClient({{"metadata.example", "127.0.0.1"}});

    // Three redirects lead to /three, whose redirect is not followed: the candidate fails.
    auto resource = fetchResource(server.url("/a"), *session);
    EXPECT_EQ(resource.authorizationServers, std::vector{boost::urls::url("https://as.example.com")});
    EXPECT_EQ(targets(server), (std::vector<std::string>{"/.well-known/oauth-protected-resource/a", "/one", "/two",
                                                         "/three", "/.well-known/oauth-protected-resource", "/final"}));

    // A redirect to a private address fails its candidate without a connection.
    resource = fetchResource(server.url("/b"), *session);
    EXPECT_EQ(resource.authorizationServers, std::vector{boost::urls::url("https://as.example.com")});
    EXPECT_EQ(targets(server).at(6), "/.well-known/oauth-protected-resource/b");
    EXPECT_EQ(targets(server).at(7), "/.well-known/oauth-protected-resource");

    // So does a redirect to plain http beyond loopback: the next candidate is asked instead.
    resource = fetchResource(server.url("/c"), *session);
    EXPECT_EQ(resource.authorizationServers, std::vector{boost::urls::url("https://as.example.com")});
    const auto seen = targets(server);
    EXPECT_EQ(std::vector<std::string>(seen.begin() + 9, seen.end()),
              (std::vector<std::string>{"/.well-known/oauth-protected-resource/c",
                                        "/.well-known/oauth-protected-resource", "/final"}));
}

TEST_F(DiscoveryClientTest, AChallengedMetadataURLOnAPrivateAddressEndsTheFetch) {
    auto session = makeClient({{"metadata.internal.example", "10.0.0.5"}});
    try {
        await(client.fetchProtectedResourceMetadata(
            {{boost::urls::url("https://metadata.internal.example/.well-known/oauth-protected-resource"),
              "Protected resource metadata URL"}},
            boost::urls::url("https://api.example.com"), *session));
        ADD_FAILURE() << "metadata was found";
    } catch (const OAuthAuthorizationError& error) {
        EXPECT_EQ(error.kind(), Kind::privateIPAddressBlocked);
        EXPECT_EQ(std::string(error.what()),
                  "Protected resource metadata URL resolves to a private or reserved IP address which is blocked for "
                  "SSRF protection: https://metadata.internal.example/.well-known/oauth-protected-resource (10.0.0.5)");
    }
    EXPECT_EQ(connector_->attempts, 0);
}

TEST_F(DiscoveryClientTest, CancellationStopsDiscoveryAtOnce) {
    ScriptedHTTPServer server([](const RecordedRequest&) {
        return Reply{.status = 404, .delay = std::chrono::milliseconds(3000)};
    });
    auto session = makeClient();
    auto outcome = start(client.fetchProtectedResourceMetadata(candidatesFor(server.url("/mcp")),
                                                               boost::urls::url(server.url("")), *session));
    runUntil([&] { return server.requests().size() == 1; });
    session->shutdown();
    runUntil([&] { return outcome->done; });
    ASSERT_TRUE(outcome->error);
    EXPECT_THROW(std::rethrow_exception(outcome->error), boost::system::system_error);
    EXPECT_EQ(server.requests().size(), 1u);
}

}  // namespace
}  // namespace mcp
