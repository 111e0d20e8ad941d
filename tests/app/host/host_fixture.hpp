#pragma once

// The program's arrangement of the host for tests: the host on a pool of two threads, the
// test's thread as the main thread (a VirtualScheduler it runs while it waits), settings in
// memory with a known token and a free loopback port.

#include "app/host/bearer_token_validator.hpp"
#include "app/common/host_status.hpp"
#include "app/host/mcp_host.hpp"
#include "app/host/serve_request.hpp"
#include "app/host/setting_keys.hpp"
#include "tests/app/host/http_wire.hpp"

#include "platform/fake/fixed_random.hpp"
#include "platform/fake/memory_settings.hpp"
#include "platform/fake/virtual_scheduler.hpp"

#include <boost/asio/co_spawn.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/thread_pool.hpp>
#include <boost/asio/use_future.hpp>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <future>
#include <memory>
#include <stdexcept>
#include <string>

namespace app::testing {

inline constexpr std::string_view kToken = "000102030405060708090a0b0c0d0e0f1011121314151617";
inline const std::string kBearer = "Authorization: Bearer " + std::string(kToken);
inline constexpr std::string_view kToolsList = R"({"jsonrpc":"2.0","id":1,"method":"tools/list"})";
inline constexpr const char* kLaunchPattern = "[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}";

// A loopback port that nothing listens on at the moment.
inline std::uint16_t freePort() {
    boost::asio::io_context io;
    boost::asio::ip::tcp::acceptor probe(io, {boost::asio::ip::address_v4::loopback(), 0});
    return probe.local_endpoint().port();
}

class HostFixture : public ::testing::Test {
protected:
    void SetUp() override {
        settings.setString(setting::kToken, kToken);
        port = freePort();
        settings.setInt(setting::kPort, port);
    }

    void TearDown() override {
        pool.stop();
        pool.join();
    }

    std::shared_ptr<MCPHost> makeHost(MCPHost::Serve serve, HostLimits limits = {}, MCPHost::CheckHead checkHead = {}) {
        return MCPHost::make(pool.get_executor(), {main, status, settings, random, std::move(serve), std::move(checkHead)},
                             limits);
    }

    // startServing: a host whose requests the program's request server answers through context
    // (which must outlive it), with the program's access check on heads, started; the test fails
    // unless it listens.
    std::shared_ptr<MCPHost> startServing(const ServingContext& context, HostLimits limits = {}) {
        auto host = makeHost(
            [&context](mcp::HTTPRequest request, std::string token) {
                return serveRequest(std::move(request), std::move(token), context);
            },
            limits, [](const mcp::HTTPRequest& head, const std::string& token) { return accessRefusal(head, token); });
        start(*host);
        EXPECT_TRUE(status.running().get()) << "the host should listen";
        return host;
    }

    // Runs the main thread's work until the future is ready.
    template <class T>
    T pump(std::future<T> future) {
        using namespace std::chrono_literals;
        const auto deadline = std::chrono::steady_clock::now() + 20s;
        while (future.wait_for(0s) != std::future_status::ready) {
            if (std::chrono::steady_clock::now() > deadline) throw std::runtime_error("no answer before the deadline");
            main.waitForPost(5ms);
            main.runUntilIdle();
        }
        main.runUntilIdle();
        return future.get();
    }

    // Runs the main thread's work until condition holds (true) or timeout passes (false).
    template <class Condition>
    bool waitUntil(Condition condition, std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
        using namespace std::chrono_literals;
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            main.runUntilIdle();
            if (condition()) return true;
            if (std::chrono::steady_clock::now() > deadline) return false;
            main.waitForPost(5ms);
        }
    }

    // Starts (or restarts) host and applies what it reported.
    void start(MCPHost& host) { pump(boost::asio::co_spawn(pool, host.start(), boost::asio::use_future)); }

    // Sends request on a new connection from another thread while the main thread works.
    WireConnection::Received exchange(std::string request,
                                      std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
        return pump(std::async(std::launch::async, [to = port, request = std::move(request), timeout] {
            return testing::exchange(to, request, timeout);
        }));
    }

    // The reply to request, which must come, with the connection closed after it.
    Reply reply(std::string request) {
        const auto received = exchange(std::move(request));
        EXPECT_TRUE(received.closed);
        const auto parsed = parseReply(received.bytes);
        if (!parsed) throw std::runtime_error("no reply in \"" + received.bytes + "\"");
        return *parsed;
    }

    boost::asio::thread_pool pool{2};
    platform::VirtualScheduler main;
    platform::MemorySettings settings;
    platform::FixedRandom random;
    HostStatus status;
    std::uint16_t port = 0;
};

}  // namespace app::testing
