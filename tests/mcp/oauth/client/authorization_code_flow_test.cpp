#include "mcp/oauth/client/authorization_code_flow.hpp"

#include "mcp/oauth/client/oauth_authorization_error.hpp"
#include "tests/mcp/oauth/client/oauth_network_fixture.hpp"

#include <gtest/gtest.h>

namespace mcp {
namespace {

using testing::json;
using testing::notFound;
using testing::RecordedRequest;
using testing::Reply;
using testing::ScriptedHTTPServer;

using Kind = OAuthAuthorizationError::Kind;

const boost::urls::url kRedirect("http://127.0.0.1:50123/callback");

TEST(AuthorizationURL, ReplacesTheEndpointQueryWithTheRequestInOrder) {
    const auto url = buildAuthorizationURL(
        boost::urls::url("https://as.example.com/authorize?prompt=none#top"), boost::urls::url("https://api.example.com/mcp"),
        kRedirect, "client 1+", "E9Melhoa2OwvFrEMTJguCHaoeK1t8URWbuGJSstw-cM", std::set<std::string>{"b:write", "a+read"},
        "STATE-1", DefaultOAuthScopeSelector());
    EXPECT_EQ(url.buffer(),
              "https://as.example.com/authorize?response_type=code&client_id=client%201%2B"
              "&redirect_uri=http%3A%2F%2F127.0.0.1%3A50123%2Fcallback&state=STATE-1"
              "&resource=https%3A%2F%2Fapi.example.com%2Fmcp&code_challenge=E9Melhoa2OwvFrEMTJguCHaoeK1t8URWbuGJSstw-cM"
              "&code_challenge_method=S256&scope=a%2Bread%20b%3Awrite#top");

    const auto withoutScope = buildAuthorizationURL(boost::urls::url("https://as.example.com/authorize"),
                                                    boost::urls::url("https://api.example.com"), kRedirect, "c", "x",
                                                    std::set<std::string>{}, "s", DefaultOAuthScopeSelector());
    EXPECT_EQ(withoutScope.encoded_query(),
              "response_type=code&client_id=c&redirect_uri=http%3A%2F%2F127.0.0.1%3A50123%2Fcallback&state=s"
              "&resource=https%3A%2F%2Fapi.example.com&code_challenge=x&code_challenge_method=S256");
}

TEST(AuthorizationRedirect, ComparesSchemeHostPortAndPathOnly) {
    const struct {
        std::string_view received;
        bool matches;
    } cases[] = {
        {"http://127.0.0.1:50123/callback?code=c&state=s", true},
        {"HTTP://127.0.0.1:50123/callback?code=c&state=s&extra=1#frag", true},
        {"http://user@127.0.0.1:50123/callback?code=c&state=s", true},
        {"http://127.0.0.1:50123/callback/?code=c&state=s", false},
        {"http://127.0.0.1:50123/Callback?code=c&state=s", false},
        {"http://127.0.0.1:50124/callback?code=c&state=s", false},
        {"http://localhost:50123/callback?code=c&state=s", false},
        {"https://127.0.0.1:50123/callback?code=c&state=s", false},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.received);
        EXPECT_EQ(redirectComparisonKey(boost::urls::url(row.received)) == redirectComparisonKey(kRedirect), row.matches);
    }
    EXPECT_EQ(redirectComparisonKey(boost::urls::url("HTTPS://App.Example.COM:443")),
              redirectComparisonKey(boost::urls::url("https://app.example.com/")));
    EXPECT_EQ(redirectComparisonKey(boost::urls::url("myapp://cb")), "myapp://cb:-1/");
}

TEST(AuthorizationRedirect, ExtractsTheCodeAfterCheckingTargetAndState) {
    const struct {
        std::string_view name;
        std::string_view received;
        std::string_view wantCode;  // empty: refused
        std::string_view description = "";
    } cases[] = {
        {"code and state", "http://127.0.0.1:50123/callback?code=abc%2Fdef&state=S", "abc/def"},
        {"plus stays a plus", "http://127.0.0.1:50123/callback?code=a+b&state=S", "a+b"},
        {"first state decides", "http://127.0.0.1:50123/callback?state=S&state=T&code=c", "c"},
        {"second state ignored", "http://127.0.0.1:50123/callback?state=T&state=S&code=c", "",
         "Authorization response state mismatch. Expected S, got T"},
        {"other target", "http://127.0.0.1:50123/other?code=c&state=S", "",
         "Authorization response redirect URI mismatch. Expected http://127.0.0.1:50123/callback, got "
         "http://127.0.0.1:50123/other?code=c&state=S"},
        {"no state", "http://127.0.0.1:50123/callback?code=c", "", "Authorization response is missing state"},
        {"empty state", "http://127.0.0.1:50123/callback?state=&code=c", "", "Authorization response is missing state"},
        {"no query", "http://127.0.0.1:50123/callback", "", "Authorization response is missing state"},
        {"state differs in case", "http://127.0.0.1:50123/callback?code=c&state=s", "",
         "Authorization response state mismatch. Expected S, got s"},
        {"error instead of code", "http://127.0.0.1:50123/callback?error=access_denied&state=S", "",
         "Authorization response is missing the authorization code"},
        {"empty code", "http://127.0.0.1:50123/callback?code=&state=S", "",
         "Authorization response is missing the authorization code"},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        try {
            const auto code = extractAuthorizationCode(boost::urls::url(row.received), kRedirect, "S");
            EXPECT_EQ(code, row.wantCode);
        } catch (const OAuthAuthorizationError& error) {
            EXPECT_TRUE(row.wantCode.empty()) << error.what();
            EXPECT_EQ(error.what(), row.description);
        }
    }
}

TEST(AuthorizationReply, ReadsTheCodeFromAnImmediateRedirect) {
    const boost::urls::url request("http://127.0.0.1:50123/oauth/authorize?client_id=c");
    const struct {
        std::string_view name;
        int status;
        std::optional<std::string> location;
        std::string_view wantCode;  // empty: refused
        std::string_view description = "";
    } cases[] = {
        {"found", 302, "http://127.0.0.1:50123/callback?code=X&state=S", "X"},
        {"relative location", 303, "/callback?code=Y&state=S", "Y"},
        {"relative location with dots", 307, "../callback?code=Z&state=S", "Z"},
        {"wrong state", 302, "http://127.0.0.1:50123/callback?code=X&state=T", "",
         "Authorization response state mismatch. Expected S, got T"},
        {"no location", 302, std::nullopt, "", "Authorization response is missing redirect location"},
        {"empty location", 302, "", "", "Authorization response is missing redirect location"},
        {"unreadable location", 302, "http://[bad", "", "Authorization response is missing redirect location"},
        {"login page", 200, std::nullopt, "", "Authorization response is missing redirect location"},
        {"refused", 401, std::nullopt, "", "Authorization request failed with status 401"},
        {"server error with location", 500, "http://127.0.0.1:50123/callback?code=X&state=S", "",
         "Authorization request failed with status 500"},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        try {
            EXPECT_EQ(readAuthorizationReply(request, row.status, row.location, kRedirect, "S"), row.wantCode);
        } catch (const OAuthAuthorizationError& error) {
            EXPECT_TRUE(row.wantCode.empty()) << error.what();
            EXPECT_EQ(error.what(), row.description);
        }
    }
}

class AuthorizationCodeFlowTest : public testing::OAuthNetworkTest {};

TEST_F(AuthorizationCodeFlowTest, FetchesTheAuthorizationURLAndReadsTheRedirectWithoutFollowingIt) {
    ScriptedHTTPServer server([](const RecordedRequest& request) {
        if (request.target.starts_with("/authorize?go")) {
            return Reply{.status = 302, .headers = {{"Location", "http://127.0.0.1:50123/callback?code=X&state=S"}}};
        }
        return Reply{.status = 200, .headers = {{"Content-Type", "text/html"}}, .body = "<form>log in</form>"};
    });
    auto session = makeClient();
    const OAuthAuthorizationCodeFlow flow;
    EXPECT_EQ(await(flow.perform(boost::urls::url(server.url("/authorize?go")), kRedirect, "S", nullptr, *session)), "X");
    const auto request = server.requests().at(0);
    EXPECT_EQ(request.method, "GET");
    EXPECT_EQ(request.header("Accept"), "text/html, application/json");
    // The redirect went to the redirect URI, where nothing listens: it was read, not followed.
    EXPECT_EQ(server.requests().size(), 1u);

    try {
        await(flow.perform(boost::urls::url(server.url("/authorize?login")), kRedirect, "S", nullptr, *session));
        ADD_FAILURE() << "a code was returned";
    } catch (const OAuthAuthorizationError& error) {
        EXPECT_EQ(error.kind(), Kind::authorizationResponseMissingRedirectLocation);
    }
}

TEST_F(AuthorizationCodeFlowTest, HandsTheURLToTheDelegate) {
    class Delegate final : public OAuthAuthorizationDelegate {
    public:
        boost::asio::awaitable<boost::urls::url> presentAuthorizationURL(boost::urls::url url) override {
            presented = url;
            co_return boost::urls::url("http://127.0.0.1:50123/callback?state=S&code=from%20browser");
        }
        boost::urls::url presented;
    };
    auto delegate = std::make_shared<Delegate>();
    auto session = makeClient();
    const boost::urls::url authorization("https://as.example.com/authorize?client_id=c");
    EXPECT_EQ(await(OAuthAuthorizationCodeFlow().perform(authorization, kRedirect, "S", delegate, *session)),
              "from browser");
    EXPECT_EQ(delegate->presented, authorization);
    EXPECT_EQ(connector_->attempts, 0);
}

}  // namespace
}  // namespace mcp
