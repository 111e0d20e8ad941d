// The host and the per-request server over real loopback connections, under clients that are
// broken or out to harm: no request may end the program, and no client without the token may
// keep the others out.

#include "app/host/mcp_host.hpp"
#include "app/host/serve_request.hpp"
#include "app/tools/tool_dispatcher.hpp"

#include "tests/app/host/host_fixture.hpp"

#include "mcp/json/json.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <string>
#include <thread>
#include <vector>

namespace app {
namespace {

using namespace std::chrono_literals;
using namespace app::testing;

class HostileClientsTest : public HostFixture {
protected:
    void start(HostLimits limits = {}) {
        host = startServing(context, limits);
        ASSERT_TRUE(status.running().get());
    }

    // How many of `count` authorised tools/list requests, one after the other, are answered
    // with their tools within a second, while `attack` runs on threads of its own (each given a
    // flag that tells it to stop).
    int answeredWithinASecond(int count, int attackers, const std::function<void(const std::atomic<bool>& stop)>& attack) {
        std::atomic<bool> stop = false;
        std::vector<std::future<void>> attacks;
        for (int i = 0; i < attackers; ++i) attacks.push_back(std::async(std::launch::async, [&] { attack(stop); }));
        // Gives the attack time to fill the host before measuring.
        std::this_thread::sleep_for(500ms);
        const auto answered = pump(std::async(std::launch::async, [to = port, count] {
            int inTime = 0;
            for (int i = 0; i < count; ++i) {
                const auto received = testing::exchange(to, post(kToolsList, kBearer), 1s);
                const auto parsed = parseReply(received.bytes);
                if (received.closed && parsed && parsed->status == 200) ++inTime;
            }
            return inTime;
        }));
        stop = true;
        for (auto& running : attacks) running.get();
        return answered;
    }

    NoToolDispatcher tools;
    ServingContext context{main, status, settings, tools, "1.0"};
    std::shared_ptr<MCPHost> host;
};

// A message that the transport accepts with 202 but the server can't read is answered with an
// error that the server sends while it is being stopped; the stop used to cancel that send,
// and the cancelled send ended the whole program.
TEST_F(HostileClientsTest, AMessageTheServerCantReadNeverEndsTheProgram) {
    start();
    constexpr const char* kBodies[] = {
        R"({"method":"notifications/initialized"})",
        R"({"jsonrpc":"1.0","id":1,"result":{}})",
        R"({"jsonrpc":"2.0","id":7,"error":{"code":"x"}})",
    };
    for (const auto* body : kBodies) {
        // The stop and the send race: a few rounds give the race its chances.
        for (int round = 0; round < 20; ++round) {
            const auto answer = reply(post(body, kBearer));
            ASSERT_EQ(answer.statusLine, "HTTP/1.1 202 Accepted") << body;
        }
    }
    EXPECT_EQ(reply(post(kToolsList, kBearer)).status, 200);
}

// A request that also has a "result" used to be routed as a request by the transport but read
// as a response by the server: nobody answered it, and after as many of them as the host takes
// connections, the host refused everyone for good.
TEST_F(HostileClientsTest, ARequestWithAResultIsAcknowledgedLikeTheResponseTheServerReads) {
    HostLimits limits;
    limits.maxConnections = 4;
    start(limits);
    for (int round = 0; round < 8; ++round) {
        const auto answer = reply(post(R"({"jsonrpc":"2.0","id":3,"method":"tools/list","result":{}})", kBearer));
        ASSERT_EQ(answer.statusLine, "HTTP/1.1 202 Accepted");
    }
    EXPECT_EQ(reply(post(kToolsList, kBearer)).status, 200);
}

TEST_F(HostileClientsTest, AHeadWithoutTheTokenIsRefusedBeforeItsBody) {
    start();
    const auto received = pump(std::async(std::launch::async, [to = port] {
        WireConnection connection(to);
        // The body never comes.
        connection.send("POST /mcp HTTP/1.1\r\nContent-Type: application/json\r\nAccept: application/json\r\n"
                        "Content-Length: 1000\r\n\r\n{");
        return connection.receiveAll(5s);
    }));
    const auto answer = parseReply(received.bytes);
    ASSERT_TRUE(answer) << received.bytes;
    EXPECT_EQ(answer->statusLine, "HTTP/1.1 401 Unauthorized");
    EXPECT_TRUE(received.closed);

    // With the token the body is awaited: the request is served once it has come.
    const auto served = pump(std::async(std::launch::async, [to = port] {
        WireConnection connection(to);
        const auto request = post(kToolsList, kBearer);
        const auto bodyStart = request.size() - kToolsList.size();
        connection.send(std::string_view(request).substr(0, bodyStart));
        std::this_thread::sleep_for(100ms);
        connection.send(std::string_view(request).substr(bodyStart));
        return connection.receiveAll(5s);
    }));
    EXPECT_EQ(parseReply(served.bytes).value_or(Reply{}).status, 200);
}

// A head of 4 MiB of distinct header names used to keep a host thread busy for minutes.
TEST_F(HostileClientsTest, AFloodOfHeaderNamesLeavesAuthorisedRequestsServed) {
    start();
    std::string flood = "POST /mcp HTTP/1.1\r\n";
    for (int line = 0; flood.size() < 4'194'000; ++line) flood += "x-" + std::to_string(line) + ": v\r\n";
    flood += "\r\n";

    const auto answered = answeredWithinASecond(10, 2, [&](const std::atomic<bool>& stop) {
        while (!stop) {
            try {
                WireConnection connection(port);
                for (std::size_t sent = 0; sent < flood.size() && !stop; sent += 65'536) {
                    if (!connection.send(std::string_view(flood).substr(sent, 65'536))) break;
                }
            } catch (const std::runtime_error&) {
            }
        }
    });
    EXPECT_GE(answered, 9);
}

// More slow peers than the host takes connections, all without the token: some trickle a head,
// some a body after a complete head; each is opened again once the host closes it.
TEST_F(HostileClientsTest, SlowClientsCantKeepAuthorisedRequestsOut) {
    HostLimits limits;
    limits.maxConnections = 8;
    // Well within the second each request is given.
    limits.giveWayAfter = 100ms;
    start(limits);

    std::atomic<int> attacker = 0;
    const auto answered = answeredWithinASecond(10, 12, [&](const std::atomic<bool>& stop) {
        const bool tricklesBody = attacker++ % 2 == 0;
        while (!stop) {
            try {
                WireConnection connection(port);
                if (tricklesBody) {
                    connection.send("POST /mcp HTTP/1.1\r\nContent-Type: application/json\r\nContent-Length: 100000\r\n\r\n");
                } else {
                    connection.send("P");
                }
                while (!stop && connection.send("x")) std::this_thread::sleep_for(50ms);
            } catch (const std::runtime_error&) {
                std::this_thread::sleep_for(10ms);
            }
        }
    });
    EXPECT_GE(answered, 9);
}

}  // namespace
}  // namespace app
