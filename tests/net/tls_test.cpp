#include "net/http_client.hpp"

#include "tests/net/net_test_fixture.hpp"
#include "tests/support/http/scripted_http_server.hpp"
#include "tests/support/http/test_certificates.hpp"

#include <boost/asio/ssl/error.hpp>

namespace net {
namespace {

using test_support::RecordedRequest;
using test_support::Reply;
using test_support::ScriptedHTTPServer;
using test_support::TestCertificates;

class TLSTest : public testing::NetTestFixture {
protected:
    void SetUp() override {
        certificates_ = TestCertificates::make();
        server_ = std::make_unique<ScriptedHTTPServer>(
            [](const RecordedRequest&) { return Reply{.body = "secure"}; }, certificates_.serverContext());
    }

    std::shared_ptr<HTTPClient> clientTrustingTheTestAuthority() {
        HTTPClientOptions options;
        options.tls.extraAuthoritiesPEM = {certificates_.authorityPEM};
        options.resolver = std::make_shared<testing::LoopbackResolver>(
            std::vector<std::string>{"127.0.0.1", "localhost", "wrong.example.test"});
        return HTTPClient::make(io_.get_executor(), options);
    }

    std::string url(const std::string& host) const {
        return "https://" + host + ":" + std::to_string(server_->port()) + "/";
    }

    TestCertificates certificates_;
    std::unique_ptr<ScriptedHTTPServer> server_;
};

TEST_F(TLSTest, AnUnknownAuthorityIsRefusedByDefault) {
    auto client = HTTPClient::make(io_.get_executor());
    const auto error = failure(client->fetch(request(url("127.0.0.1"))));
    EXPECT_EQ(error.category(), boost::asio::error::get_ssl_category()) << error.message();
    EXPECT_TRUE(server_->requests().empty());
}

TEST_F(TLSTest, TheConfiguredAuthorityIsTrustedForTheNamesItsCertificateHolds) {
    auto client = clientTrustingTheTestAuthority();
    for (const char* host : {"127.0.0.1", "localhost"}) {
        SCOPED_TRACE(host);
        const auto response = await(client->fetch(request(url(host))));
        EXPECT_EQ(response.status, 200);
        EXPECT_EQ(response.body, "secure");
    }
}

TEST_F(TLSTest, ACertificateForAnotherHostIsRefused) {
    auto client = clientTrustingTheTestAuthority();
    const auto error = failure(client->fetch(request(url("wrong.example.test"))));
    EXPECT_EQ(error.category(), boost::asio::error::get_ssl_category()) << error.message();
    EXPECT_TRUE(server_->requests().empty());
}

}  // namespace
}  // namespace net
