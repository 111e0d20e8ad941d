#pragma once

// What the OAuth client's network tests share: a scripted server on 127.0.0.1, an HTTP client
// whose resolver can point names anywhere, and a connector that never connects beyond loopback
// and counts its attempts.

#include "tests/net/net_test_fixture.hpp"
#include "tests/support/http/scripted_http_server.hpp"

#include <boost/asio/ip/address.hpp>

#include <atomic>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace mcp::testing {

using test_support::RecordedRequest;
using test_support::Reply;
using test_support::ScriptedHTTPServer;

// Resolves the names of its table to the given addresses, and every IP literal to itself.
class TableResolver final : public net::Resolver {
public:
    explicit TableResolver(std::map<std::string, std::string> table) : table_(std::move(table)) {}

    boost::asio::awaitable<std::vector<boost::asio::ip::tcp::endpoint>> resolve(std::string host,
                                                                               std::uint16_t port) override {
        boost::system::error_code error;
        auto address = boost::asio::ip::make_address(host, error);
        if (error) {
            const auto found = table_.find(host);
            if (found == table_.end()) throw boost::system::system_error(boost::asio::error::host_not_found);
            address = boost::asio::ip::make_address(found->second);
        }
        co_return std::vector{boost::asio::ip::tcp::endpoint(address, port)};
    }

private:
    std::map<std::string, std::string> table_;
};

// Connects to loopback addresses only; anything else is refused without a packet sent, and
// counted: a test that sees such an attempt has found a request that should not have been made.
// A test may name one private address that stands for the private network: connections to it
// reach 127.0.0.1 on the same port instead.
class LoopbackOnlyConnector final : public net::Connector {
public:
    boost::asio::awaitable<boost::beast::tcp_stream> connect(boost::asio::any_io_executor executor,
                                                            std::vector<boost::asio::ip::tcp::endpoint> endpoints,
                                                            std::chrono::milliseconds timeout) override {
        ++attempts;
        for (auto& endpoint : endpoints) {
            if (privateStandIn && endpoint.address() == *privateStandIn) {
                ++standInConnections;
                endpoint.address(boost::asio::ip::address_v4::loopback());
            } else if (!endpoint.address().is_loopback()) {
                ++beyondLoopback;
                throw boost::system::system_error(boost::asio::error::connection_refused);
            }
        }
        co_return co_await net::TCPConnector().connect(std::move(executor), std::move(endpoints), timeout);
    }

    std::atomic<int> attempts = 0;
    std::atomic<int> beyondLoopback = 0;
    std::optional<boost::asio::ip::address> privateStandIn;
    std::atomic<int> standInConnections = 0;
};

// `task`, with a value for the fixture to hold.
inline boost::asio::awaitable<int> finished(boost::asio::awaitable<void> task) {
    co_await std::move(task);
    co_return 0;
}

inline Reply json(std::string body, int status = 200) {
    return Reply{.status = status, .headers = {{"Content-Type", "application/json"}}, .body = std::move(body)};
}

inline Reply notFound() {
    return Reply{.status = 404, .body = "not here"};
}

class OAuthNetworkTest : public net::testing::NetTestFixture {
protected:
    std::shared_ptr<net::HTTPClient> makeClient(std::map<std::string, std::string> names = {}) {
        net::HTTPClientOptions options;
        options.resolver = std::make_shared<TableResolver>(std::move(names));
        options.connector = connector_;
        return net::HTTPClient::make(io_.get_executor(), std::move(options));
    }

    // The request targets the server saw, in order.
    static std::vector<std::string> targets(const ScriptedHTTPServer& server) {
        std::vector<std::string> seen;
        for (const auto& request : server.requests()) seen.push_back(request.target);
        return seen;
    }

    void TearDown() override { EXPECT_EQ(connector_->beyondLoopback, 0) << "a connection beyond loopback was tried"; }

    std::shared_ptr<LoopbackOnlyConnector> connector_ = std::make_shared<LoopbackOnlyConnector>();
};

}  // namespace mcp::testing
