#include "mcp/oauth/client/configuration/oauth_configuration.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <regex>
#include <set>

namespace mcp {
namespace {

using Configuration = OAuthConfiguration;
using Authentication = Configuration::TokenEndpointAuthentication;

Configuration makeConfiguration(std::optional<boost::urls::url> redirect = std::nullopt) {
    return Configuration(Configuration::GrantType::authorizationCode, Authentication::none("client"), {}, {},
                         std::move(redirect));
}

int portOf(const Configuration& configuration) {
    return static_cast<int>(configuration.authorizationRedirectURI().port_number());
}

TEST(OAuthConfiguration, DefaultRedirectURIIsALoopbackCallbackOnADynamicPort) {
    const std::regex shape(R"(http://127\.0\.0\.1:(\d+)/callback)");
    std::set<int> ports;
    for (int draw = 0; draw < 200; ++draw) {
        const auto configuration = makeConfiguration();
        const std::string uri(configuration.authorizationRedirectURI().buffer());
        std::smatch match;
        ASSERT_TRUE(std::regex_match(uri, match, shape)) << uri;
        const int port = std::stoi(match[1]);
        EXPECT_GE(port, 49152);
        EXPECT_LE(port, 65535);
        ports.insert(port);
    }
    // 200 draws from 16384 ports: a handful of repeats at most, never one port for all.
    EXPECT_GT(ports.size(), 150u);
}

TEST(OAuthConfiguration, CopiesKeepTheirRedirectPortAndExplicitURIsStayUnchecked) {
    const auto original = makeConfiguration();
    const Configuration copy = original;  // NOLINT(performance-unnecessary-copy-initialization)
    EXPECT_EQ(portOf(copy), portOf(original));
    EXPECT_EQ(copy.authorizationRedirectURI(), original.authorizationRedirectURI());

    const auto custom = makeConfiguration(boost::urls::url("myapp://callback#frag"));
    EXPECT_EQ(custom.authorizationRedirectURI().buffer(), "myapp://callback#frag");
}

TEST(OAuthConfiguration, StartsWithoutLoopbackHTTPOrPrivateAddressesForAuthorizationServers) {
    auto configuration = makeConfiguration();
    EXPECT_FALSE(configuration.allowLoopbackHTTPAuthorizationServerEndpoints());
    EXPECT_FALSE(configuration.allowPrivateAddressesForConfiguredAuthorizationServer());
    configuration.setAllowLoopbackHTTPAuthorizationServerEndpoints(true);
    configuration.setAllowPrivateAddressesForConfiguredAuthorizationServer(true);
    EXPECT_TRUE(configuration.allowLoopbackHTTPAuthorizationServerEndpoints());
    EXPECT_TRUE(configuration.allowPrivateAddressesForConfiguredAuthorizationServer());
    EXPECT_FALSE(makeConfiguration().allowLoopbackHTTPAuthorizationServerEndpoints());
    EXPECT_FALSE(Configuration(Configuration::Options{}).allowPrivateAddressesForConfiguredAuthorizationServer());
}

TEST(OAuthConfiguration, RetryPolicyRaisesValuesBelowOne) {
    const struct {
        int attempts, upgrades, wantAttempts, wantUpgrades;
    } cases[] = {{0, -4, 1, 1}, {5, 1, 5, 1}, {1000, 2, 1000, 2}};
    for (const auto& row : cases) {
        SCOPED_TRACE(std::to_string(row.attempts) + "," + std::to_string(row.upgrades));
        const Configuration::RetryPolicy policy(row.attempts, row.upgrades);
        EXPECT_EQ(policy.maxAuthorizationAttempts(), row.wantAttempts);
        EXPECT_EQ(policy.maxScopeUpgradeAttempts(), row.wantUpgrades);
    }
    const Configuration::RetryPolicy standard;
    EXPECT_EQ(standard.maxAuthorizationAttempts(), 3);
    EXPECT_EQ(standard.maxScopeUpgradeAttempts(), 2);
}

TEST(OAuthConfiguration, AuthenticationsCompareByMethodClientAndSecretButNotFactory) {
    const Configuration::AssertionFactory first = [](boost::urls::url, std::string) -> boost::asio::awaitable<std::string> {
        co_return "one";
    };
    const Configuration::AssertionFactory second = [](boost::urls::url, std::string) -> boost::asio::awaitable<std::string> {
        co_return "two";
    };
    EXPECT_EQ(Authentication::privateKeyJWT("c", first), Authentication::privateKeyJWT("c", second));
    EXPECT_NE(Authentication::privateKeyJWT("c", first), Authentication::privateKeyJWT("d", first));
    EXPECT_NE(Authentication::clientSecretPost("c", "s1"), Authentication::clientSecretPost("c", "s2"));
    EXPECT_EQ(Authentication::clientSecretBasic("c", "s"), Authentication::clientSecretBasic("c", "s"));
    EXPECT_NE(Authentication::clientSecretBasic("c", "s"), Authentication::clientSecretPost("c", "s"));
    EXPECT_NE(Authentication::none("c"), Authentication::clientSecretPost("c", ""));
    EXPECT_EQ(Authentication::clientSecretPost("id", "s").clientID(), "id");
    EXPECT_TRUE(Authentication::none("id").isNone());
}

TEST(OAuthConfiguration, AuthenticationCanBeReplacedAfterConstruction) {
    auto configuration = makeConfiguration();
    configuration.setAuthentication(Authentication::none("registered"));
    EXPECT_EQ(configuration.authentication().clientID(), "registered");
}

TEST(OAuthConfiguration, SigningAlgorithmIsReadCaseSensitively) {
    EXPECT_EQ(Configuration::signingAlgorithm("ES256"), Configuration::PrivateKeyJWTSigningAlgorithm::ES256);
    EXPECT_FALSE(Configuration::signingAlgorithm("es256"));
    EXPECT_FALSE(Configuration::signingAlgorithm("RS256"));
    EXPECT_EQ(Configuration::rawValue(Configuration::PrivateKeyJWTSigningAlgorithm::ES256), "ES256");
}

TEST(OAuthConfiguration, AssertionErrorsDescribeThemselves) {
    using AssertionError = Configuration::PrivateKeyJWTAssertionError;
    const std::string prefix = "private_key_jwt assertion lifetime must be greater than zero seconds, got ";
    EXPECT_STREQ(AssertionError::invalidLifetime(0).what(), (prefix + "0.0").c_str());
    EXPECT_STREQ(AssertionError::invalidLifetime(-5).what(), (prefix + "-5.0").c_str());
    EXPECT_STREQ(AssertionError::invalidLifetime(std::nan("")).what(), (prefix + "nan").c_str());
    EXPECT_STREQ(AssertionError::invalidLifetime(-std::numeric_limits<double>::infinity()).what(),
                 (prefix + "-inf").c_str());
    EXPECT_STREQ(AssertionError::cryptographyUnavailable().what(),
                 "private_key_jwt assertion signing requires CryptoKit support");
    EXPECT_EQ(AssertionError::invalidLifetime(-5).lifetimeSeconds(), -5.0);
}

TEST(OAuthConfiguration, StoresItsArgumentsUnchanged) {
    Configuration::EndpointOverrides overrides;
    overrides.tokenEndpoint = boost::urls::url("https://as.example.com/token");
    const Configuration configuration(Configuration::GrantType::clientCredentials,
                                      Authentication::clientSecretBasic("c", "s"), Configuration::RetryPolicy(4, 3),
                                      overrides, boost::urls::url("https://app.example.com/cb"), "My Client",
                                      {{"audience", "x"}}, nullptr, nullptr, -10);
    EXPECT_EQ(configuration.grantType(), Configuration::GrantType::clientCredentials);
    EXPECT_EQ(configuration.retryPolicy().maxAuthorizationAttempts(), 4);
    EXPECT_EQ(configuration.endpointOverrides().tokenEndpoint, overrides.tokenEndpoint);
    EXPECT_FALSE(configuration.endpointOverrides().resource);
    EXPECT_EQ(configuration.clientName(), "My Client");
    EXPECT_EQ(configuration.additionalTokenRequestParameters().at("audience"), "x");
    EXPECT_EQ(configuration.proactiveRefreshWindowSeconds(), -10);
    EXPECT_FALSE(configuration.accessTokenProvider());
    EXPECT_EQ(OAuthTokenExpirySkew::defaultSeconds, 30.0);
}

TEST(OAuthConfiguration, OptionsLeftOutTakeThePositionalDefaults) {
    const Configuration named({.clientName = "Named", .allowLoopbackHTTPAuthorizationServerEndpoints = true,
                               .allowPrivateAddressesForConfiguredAuthorizationServer = true});
    const Configuration positional(Configuration::GrantType::authorizationCode, Authentication::none(""));
    EXPECT_EQ(named.grantType(), positional.grantType());
    EXPECT_EQ(named.authentication(), positional.authentication());
    EXPECT_EQ(named.retryPolicy().maxAuthorizationAttempts(), positional.retryPolicy().maxAuthorizationAttempts());
    EXPECT_FALSE(named.endpointOverrides().authorizationServerURL);
    EXPECT_EQ(named.authorizationRedirectURI().port().size(), 5u) << "a drawn default redirect URI";
    EXPECT_EQ(named.clientName(), "Named");
    EXPECT_EQ(positional.clientName(), "MCP Client");
    EXPECT_EQ(named.proactiveRefreshWindowSeconds(), 0);
    EXPECT_TRUE(named.allowLoopbackHTTPAuthorizationServerEndpoints());
    EXPECT_TRUE(named.allowPrivateAddressesForConfiguredAuthorizationServer());
}

}  // namespace
}  // namespace mcp
