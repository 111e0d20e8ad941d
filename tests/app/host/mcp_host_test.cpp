#include "app/host/mcp_host.hpp"

#include "tests/app/host/host_fixture.hpp"

#include "mcp/json/json.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <boost/asio/as_tuple.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/this_coro.hpp>
#include <boost/asio/use_awaitable.hpp>

#include <sys/resource.h>

#include <algorithm>
#include <fstream>
#include <future>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace app {
namespace {

namespace asio = boost::asio;
using namespace std::chrono_literals;
using namespace app::testing;
using ::testing::HasSubstr;
using ::testing::MatchesRegex;

// Answers every request with 200 and the token it was given, and keeps what it was handed.
// HOLD requests are answered once the test lets them go (release), as tools that wait for the
// user would be.
class RecordingServe {
public:
    MCPHost::Serve function() {
        return [this](mcp::HTTPRequest request, std::string token) -> asio::awaitable<mcp::HTTPResponse> {
            {
                const std::lock_guard lock(mutex_);
                requests_.push_back(request);
            }
            if (request.method == "THROW") throw std::runtime_error("serving failed");
            // A request that takes as long as the test: a tool that waits for the user.
            if (request.method == "HANG") {
                asio::steady_timer never(co_await asio::this_coro::executor, std::chrono::hours(1));
                co_await never.async_wait(asio::use_awaitable);
            }
            if (request.method == "HOLD") co_await held();
            co_return mcp::HTTPResponse::Data{"token " + token, {{"Content-Type", "text/plain"}}};
        };
    }

    std::vector<mcp::HTTPRequest> requests() const {
        const std::lock_guard lock(mutex_);
        return requests_;
    }

    std::size_t requestCount() const {
        const std::lock_guard lock(mutex_);
        return requests_.size();
    }

    // release: answers the HOLD requests waiting and those to come. Any thread.
    void release() {
        const std::lock_guard lock(mutex_);
        released_ = true;
        // Posted to each wait's strand, so it comes after the wait has begun.
        for (const auto& wait : holding_) asio::post(wait->get_executor(), [wait] { wait->cancel(); });
        holding_.clear();
    }

private:
    asio::awaitable<void> held() {
        auto wait = std::make_shared<asio::steady_timer>(co_await asio::this_coro::executor,
                                                         asio::steady_timer::time_point::max());
        {
            const std::lock_guard lock(mutex_);
            if (released_) co_return;
            holding_.push_back(wait);
        }
        co_await wait->async_wait(asio::as_tuple(asio::use_awaitable));
    }

    mutable std::mutex mutex_;
    std::vector<mcp::HTTPRequest> requests_;
    bool released_ = false;
    std::vector<std::shared_ptr<asio::steady_timer>> holding_;
};

// How many of connections are answered 200 and closed before deadline.
int answeredBefore(std::vector<WireConnection>& connections, std::chrono::steady_clock::time_point deadline) {
    int answered = 0;
    for (auto& connection : connections) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        const auto received = connection.receiveAll(std::max(left, 1ms));
        if (received.closed && parseReply(received.bytes).value_or(Reply{}).status == 200) ++answered;
    }
    return answered;
}

// Waits until serve has been handed count requests; false when it isn't within 15 s.
bool handedOver(const RecordingServe& serve, std::size_t count) {
    const auto deadline = std::chrono::steady_clock::now() + 15s;
    while (serve.requestCount() < count) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

class MCPHostTest : public HostFixture {
protected:
    std::shared_ptr<MCPHost> startHost(HostLimits limits = {}) {
        auto host = makeHost(serve.function(), limits);
        start(*host);
        return host;
    }

    RecordingServe serve;
};

TEST_F(MCPHostTest, HandsOnTheRequestAsReadAndWritesTheAnswer) {
    auto host = startHost();
    ASSERT_TRUE(status.running().get());
    EXPECT_EQ(status.problem().get(), std::nullopt);

    const auto answer = reply("PUT  /mcp?a=%20  HTTP/1.1\r\nX-A: 1\r\ncontent-length: 4\r\n\r\nbodyEXTRA");
    EXPECT_EQ(answer.statusLine, "HTTP/1.1 200 OK");
    const mcp::HTTPHeaders headers{{"Content-Type", "text/plain"},
                                   {"X-Vantor-MCP-Launch", host->launchID()},
                                   {"Content-Length", "54"},
                                   {"Connection", "close"}};
    EXPECT_EQ(answer.headers, headers);
    EXPECT_EQ(answer.body, "token " + std::string(kToken));

    const auto requests = serve.requests();
    ASSERT_EQ(requests.size(), 1u);
    const mcp::HTTPRequest expected{"PUT", {{"X-A", "1"}, {"content-length", "4"}}, "body", "/mcp?a=%20"};
    EXPECT_EQ(requests[0], expected);
}

TEST_F(MCPHostTest, ARequestFramedAmbiguouslyIsRefusedWithoutServing) {
    auto host = startHost();
    const struct {
        const char* request;
        const char* statusLine;
        const char* message;
    } kCases[] = {
        {"POST /mcp HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n2\r\n{}\r\n0\r\n\r\n",
         "HTTP/1.1 411 Length Required", "Length Required: "},
        {"POST /mcp HTTP/1.1\r\nHost: 127.0.0.1\r\nHost: example.com\r\nContent-Length: 2\r\n\r\n{}",
         "HTTP/1.1 400 Bad Request", "Bad Request: Send one Host header"},
        {"POST /mcp HTTP/1.1\r\nContent-Length: +2\r\n\r\n{}", "HTTP/1.1 400 Bad Request",
         "Bad Request: Send the body's length in decimal digits"},
    };
    for (const auto& c : kCases) {
        const auto answer = reply(c.request);
        EXPECT_EQ(answer.statusLine, c.statusLine) << c.request;
        EXPECT_EQ(answer.header("Content-Type"), "application/json");
        EXPECT_EQ(answer.header("Connection"), "close");
        const auto body = mcp::parseJSON(answer.body);
        const auto error = *body.objectValue()->find("error");
        EXPECT_EQ(*error.objectValue()->find("code"), mcp::Value(-32600));
        EXPECT_THAT(*error.objectValue()->find("message")->stringValue(), HasSubstr(c.message)) << c.request;
    }
    EXPECT_TRUE(serve.requests().empty());
}

TEST_F(MCPHostTest, AServeThatFailsIsAnswered500) {
    auto host = startHost();
    const auto answer = reply("THROW / HTTP/1.1\r\n\r\n");
    EXPECT_EQ(answer.statusLine, "HTTP/1.1 500 Error");
    EXPECT_EQ(mcp::parseJSON(answer.body),
              mcp::parseJSON(R"({"jsonrpc":"2.0","error":{"code":-32603,"message":"Internal error: serving failed"},"id":null})"));
}

TEST_F(MCPHostTest, UnreadableRequestsAreClosedWithNothingWritten) {
    auto host = startHost();
    const struct {
        const char* name;
        std::string request;
    } kCases[] = {
        {"too long a body", "POST /mcp HTTP/1.1\r\nContent-Length: 4194305\r\n\r\n{}"},
        {"one word", "POST\r\n\r\n"},
        {"head not UTF-8", "POST /\xc0\xaf HTTP/1.1\r\n\r\n"},
    };
    for (const auto& c : kCases) {
        const auto received = exchange(c.request);
        EXPECT_TRUE(received.closed) << c.name;
        EXPECT_EQ(received.bytes, "") << c.name;
    }

    // The peer stops sending before the head, or the body, is complete.
    const std::string partials[] = {"POST /mcp HTTP/1.1\r\nHost: 127.0.0.1\r\n", "POST /mcp HTTP/1.1\n\n",
                                    "POST /mcp HTTP/1.1\r\nContent-Length: 10\r\n\r\n12345"};
    for (const auto& partial : partials) {
        const auto received = pump(std::async(std::launch::async, [to = port, partial] {
            WireConnection connection(to);
            connection.send(partial);
            connection.finishSending();
            return connection.receiveAll();
        }));
        EXPECT_TRUE(received.closed) << partial;
        EXPECT_EQ(received.bytes, "") << partial;
    }
    EXPECT_TRUE(serve.requests().empty());
}

TEST_F(MCPHostTest, ReadingIsBoundedInTime) {
    HostLimits limits;
    limits.headDeadline = 300ms;
    limits.readDeadline = 600ms;
    auto host = startHost(limits);

    const auto silent = pump(std::async(std::launch::async, [to = port] {
        const auto begin = std::chrono::steady_clock::now();
        WireConnection connection(to);
        auto received = connection.receiveAll(10s);
        return std::pair(received, std::chrono::steady_clock::now() - begin);
    }));
    EXPECT_TRUE(silent.first.closed);
    EXPECT_EQ(silent.first.bytes, "");
    EXPECT_LT(silent.second, 5s);

    // A head that trickles in, one byte every 25 ms, is cut off at the head deadline all the same:
    // the host closes while the client is still sending, long before the last byte (10 s on).
    // A deadline that restarted with every byte would let the whole head in.
    struct Trickled {
        std::size_t sent = 0;
        std::size_t headSize = 0;
        std::chrono::steady_clock::duration cutAfter{};
        WireConnection::Received received;
    };
    const auto trickle = pump(std::async(std::launch::async, [to = port] {
        Trickled trickled;
        const auto begin = std::chrono::steady_clock::now();
        WireConnection connection(to);
        const std::string head = "POST /mcp HTTP/1.1\r\nX-Padding: " + std::string(400, 'p');
        trickled.headSize = head.size();
        for (const char byte : head) {
            if (!connection.send(std::string_view(&byte, 1))) break;
            ++trickled.sent;
            std::this_thread::sleep_for(25ms);
        }
        trickled.cutAfter = std::chrono::steady_clock::now() - begin;
        trickled.received = connection.receiveAll(10s);
        return trickled;
    }));
    EXPECT_LT(trickle.sent, trickle.headSize) << "the host let the whole trickled head in, over "
                                              << std::chrono::duration_cast<std::chrono::milliseconds>(trickle.cutAfter).count()
                                              << " ms";
    EXPECT_LT(trickle.cutAfter, 5s) << "the head deadline is 300 ms";
    EXPECT_TRUE(trickle.received.closed);
    EXPECT_EQ(trickle.received.bytes, "");

    // A body that stops coming, or that trickles in, is given up at the whole request's deadline.
    const auto stalled = pump(std::async(std::launch::async, [to = port] {
        WireConnection connection(to);
        connection.send("POST /mcp HTTP/1.1\r\nContent-Length: 100\r\n\r\n{\"jsonrpc\"");
        return connection.receiveAll(10s);
    }));
    EXPECT_TRUE(stalled.closed);
    EXPECT_EQ(stalled.bytes, "");
    const auto trickledBody = pump(std::async(std::launch::async, [to = port] {
        WireConnection connection(to);
        connection.send("POST /mcp HTTP/1.1\r\nContent-Length: 200\r\n\r\n");
        for (int byte = 0; byte < 200 && connection.send("x"); ++byte) std::this_thread::sleep_for(25ms);
        return connection.receiveAll(10s);
    }));
    EXPECT_TRUE(trickledBody.closed);
    EXPECT_EQ(trickledBody.bytes, "");
    EXPECT_TRUE(serve.requests().empty());
}

TEST_F(MCPHostTest, AtTheLimitTheOldestConnectionStillReadingMakesRoom) {
    HostLimits limits;
    limits.maxConnections = 2;
    auto host = startHost(limits);

    const auto outcome = pump(std::async(std::launch::async, [to = port] {
        WireConnection oldest(to);
        WireConnection older(to);
        // Give the host time to admit them in this order.
        std::this_thread::sleep_for(100ms);
        WireConnection newest(to);
        newest.send("GET /newest HTTP/1.1\r\n\r\n");
        auto served = newest.receiveAll(5s);
        return std::pair(oldest.receiveAll(5s), served);
    }));
    EXPECT_TRUE(outcome.first.closed);
    EXPECT_EQ(outcome.first.bytes, "");
    EXPECT_EQ(parseReply(outcome.second.bytes).value_or(Reply{}).status, 200);
}

// A client that gives up on a request that takes long used to hold its place in the host for as
// long as the request took (its socket sat in CLOSE-WAIT): enough of them kept everyone out.
TEST_F(MCPHostTest, AClientThatLeavesWhileItsRequestIsServedFreesItsPlace) {
    HostLimits limits;
    limits.maxConnections = 2;
    auto host = startHost(limits);

    pump(std::async(std::launch::async, [to = port] {
        for (int i = 0; i < 4; ++i) {
            WireConnection leaving(to);
            leaving.send("HANG / HTTP/1.1\r\n\r\n");
        }
        return 0;
    }));
    std::optional<Reply> served;
    for (int attempt = 0; attempt < 200 && !served; ++attempt) {
        served = parseReply(exchange("GET / HTTP/1.1\r\n\r\n").bytes);
        if (!served) std::this_thread::sleep_for(10ms);
    }
    ASSERT_TRUE(served);
    EXPECT_EQ(served->status, 200);
}

// Exactly as many connections as the host takes, all being served, are all served. The one
// beyond them used to be closed at once: it waits until one of them has been answered.
TEST_F(MCPHostTest, TheHostServesSixtyFourConnectionsAtOnceAndTheNextInTurn) {
    auto host = startHost();
    struct Outcome {
        std::size_t servedAtOnce = 0;
        WireConnection::Received beforeRoom;
        WireConnection::Received afterRoom;
    };
    const auto outcome = pump(std::async(std::launch::async, [this, to = port] {
        Outcome seen;
        std::vector<WireConnection> held;
        for (int i = 0; i < 64; ++i) {
            held.emplace_back(to);
            held.back().send("HANG /" + std::to_string(i) + " HTTP/1.1\r\n\r\n");
        }
        handedOver(serve, 64);
        seen.servedAtOnce = serve.requestCount();
        WireConnection next(to);
        next.send("GET /next HTTP/1.1\r\n\r\n");
        seen.beforeRoom = next.receiveAll(300ms);
        // Its client leaving ends one of the 64 and frees its place.
        held.pop_back();
        seen.afterRoom = next.receiveAll(15s);
        return seen;
    }));
    EXPECT_EQ(outcome.servedAtOnce, 64u) << "requests being served at once";
    EXPECT_FALSE(outcome.beforeRoom.closed) << "the 65th connection was closed while all 64 were served";
    EXPECT_EQ(outcome.beforeRoom.bytes, "");
    EXPECT_TRUE(outcome.afterRoom.closed);
    EXPECT_EQ(parseReply(outcome.afterRoom.bytes).value_or(Reply{}).status, 200);
}

// Slow peers that never finish a request, each coming back a few times after the host has
// closed it (for giving way to a newer connection, or at its deadline), used to leave the host
// losing about half of a burst of requests that came after them. Then, with every place taken
// by a request being served, one idle connection and a burst wait in the listen queue: once the
// served ones are answered, the idle one gives way and the whole burst is answered.
TEST_F(MCPHostTest, ABurstAfterSlowPeersIsAnsweredWhole) {
    HostLimits limits;
    limits.maxConnections = 8;
    limits.headDeadline = 2s;
    limits.readDeadline = 3s;
    limits.giveWayAfter = 20ms;
    auto host = startHost(limits);

    constexpr int kSlowPeers = 24;
    constexpr int kVisits = 4;
    const std::string kSlowStarts[] = {
        "",
        "POST /mcp HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-",
        "POST /mcp HTTP/1.1\r\nContent-Length: 100\r\n\r\n{\"jsonrpc\"",
    };
    std::vector<std::future<int>> slowPeers;
    for (int peer = 0; peer < kSlowPeers; ++peer) {
        slowPeers.push_back(std::async(std::launch::async, [to = port, start = kSlowStarts[peer % 3]] {
            int closedByTheHost = 0;
            for (int visit = 0; visit < kVisits; ++visit) {
                WireConnection connection(to);
                connection.send(start);
                const auto received = connection.receiveAll(30s);
                if (received.closed && received.bytes.empty()) ++closedByTheHost;
            }
            return closedByTheHost;
        }));
    }
    for (auto& peer : slowPeers) EXPECT_EQ(peer.get(), kVisits);
    EXPECT_TRUE(serve.requests().empty());

    constexpr int kBurst = 500;
    std::vector<WireConnection> holding;
    for (int i = 0; i < 8; ++i) {
        holding.emplace_back(port);
        holding.back().send("HOLD /" + std::to_string(i) + " HTTP/1.1\r\n\r\n");
    }
    ASSERT_TRUE(handedOver(serve, 8));
    WireConnection idle(port);
    std::vector<WireConnection> burst;
    for (int i = 0; i < kBurst; ++i) {
        burst.emplace_back(port);
        burst.back().send("GET /burst/" + std::to_string(i) + " HTTP/1.1\r\n\r\n");
    }
    serve.release();

    const auto deadline = std::chrono::steady_clock::now() + 60s;
    EXPECT_EQ(answeredBefore(holding, deadline), 8);
    EXPECT_EQ(answeredBefore(burst, deadline), kBurst);
    const auto idleEnd = idle.receiveAll(10s);
    EXPECT_TRUE(idleEnd.closed);
    EXPECT_EQ(idleEnd.bytes, "");
}

// A client that sends each request on a connection of its own, all at once (as a widely used
// bridge does), used to have all but 64 of them refused. While every place is being served,
// the rest wait in the listen queue and are answered in turn.
TEST_F(MCPHostTest, ThreeThousandRequestsOnConnectionsOfTheirOwnAreAllAnswered) {
    constexpr int kRequests = 3000;
    // The client's descriptors and the host's, in this one process.
    constexpr rlim_t kDescriptors = kRequests + 512;
    rlimit descriptors{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &descriptors), 0);
    if (descriptors.rlim_cur < kDescriptors) {
        if (descriptors.rlim_max < kDescriptors) GTEST_SKIP() << "the descriptor limit is " << descriptors.rlim_max;
        descriptors.rlim_cur = kDescriptors;
        ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &descriptors), 0);
    }
    std::ifstream queueFile("/proc/sys/net/core/somaxconn");
    int listenQueue = 0;
    if (!(queueFile >> listenQueue) || listenQueue < kRequests) {
        GTEST_SKIP() << "the system's listen queue holds " << listenQueue << " connections";
    }
    auto host = startHost();

    std::vector<WireConnection> connections;
    connections.reserve(kRequests);
    for (int i = 0; i < kRequests; ++i) {
        connections.emplace_back(port);
        connections.back().send("HOLD /" + std::to_string(i) + " HTTP/1.1\r\n\r\n");
    }
    ASSERT_TRUE(handedOver(serve, 64));
    serve.release();
    EXPECT_EQ(answeredBefore(connections, std::chrono::steady_clock::now() + 120s), kRequests);
    EXPECT_EQ(serve.requestCount(), static_cast<std::size_t>(kRequests));
}

TEST_F(MCPHostTest, ABodyOfTheLargestLengthIsServedWhole) {
    auto host = startHost();
    const std::string body(4 * 1024 * 1024, 'b');
    const auto answer = reply("POST /mcp HTTP/1.1\r\nContent-Length: 4194304\r\n\r\n" + body);
    EXPECT_EQ(answer.status, 200);
    const auto requests = serve.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].body, body);
}

TEST_F(MCPHostTest, EveryAnswerOfAHostCarriesItsLaunchID) {
    auto first = startHost();
    auto second = makeHost(serve.function());
    EXPECT_THAT(first->launchID(), MatchesRegex(kLaunchPattern));
    EXPECT_NE(first->launchID(), second->launchID());
    EXPECT_EQ(reply("GET / HTTP/1.1\r\n\r\n").header("X-Vantor-MCP-Launch"), first->launchID());
    EXPECT_EQ(reply("THROW / HTTP/1.1\r\n\r\n").header("X-Vantor-MCP-Launch"), first->launchID());
}

TEST_F(MCPHostTest, APortTakenByAnotherProgramIsReportedAndTheNextStartRecovers) {
    auto host = makeHost(serve.function());
    {
        asio::io_context io;
        asio::ip::tcp::acceptor other(io, {asio::ip::address_v4::loopback(), port});
        start(*host);
        EXPECT_FALSE(status.running().get());
        EXPECT_EQ(status.problem().get(), "Port " + std::to_string(port) + ": Address already in use");
    }
    start(*host);
    EXPECT_TRUE(status.running().get());
    EXPECT_EQ(status.problem().get(), std::nullopt);
    EXPECT_EQ(reply("GET / HTTP/1.1\r\n\r\n").status, 200);
}

TEST_F(MCPHostTest, APortHeldAtTheStartIsListenedOnOnceItIsFree) {
    HostLimits limits;
    limits.firstListenRetry = 20ms;
    limits.longestListenRetry = 100ms;
    auto host = makeHost(serve.function(), limits);
    {
        asio::io_context io;
        asio::ip::tcp::acceptor other(io, {asio::ip::address_v4::loopback(), port});
        start(*host);
        EXPECT_FALSE(waitUntil([&] { return status.running().get(); }, 300ms)) << "the port is held";
        EXPECT_EQ(status.problem().get(), "Port " + std::to_string(port) + ": Address already in use");
    }
    ASSERT_TRUE(waitUntil([&] { return status.running().get(); }));
    EXPECT_EQ(status.problem().get(), std::nullopt);
    EXPECT_EQ(reply("GET / HTTP/1.1\r\n\r\n").status, 200);
}

TEST_F(MCPHostTest, ALaterStartOfTheProgramMakesTheHostTryItsPortAtOnce) {
    HostLimits limits;
    limits.firstListenRetry = std::chrono::hours(1);
    limits.longestListenRetry = std::chrono::hours(1);
    auto host = makeHost(serve.function(), limits);
    {
        asio::io_context io;
        asio::ip::tcp::acceptor other(io, {asio::ip::address_v4::loopback(), port});
        start(*host);
        ASSERT_FALSE(status.running().get());
        // Nothing to retry while the port is held: the host waits on.
        host->retryListeningNow();
        EXPECT_FALSE(waitUntil([&] { return status.running().get(); }, 200ms));
    }
    host->retryListeningNow();
    ASSERT_TRUE(waitUntil([&] { return status.running().get(); }));
    EXPECT_EQ(reply("GET / HTTP/1.1\r\n\r\n").status, 200);
}

TEST_F(MCPHostTest, AnUnusablePortStopsTheHostWithoutFallingBack) {
    auto host = makeHost(serve.function());
    for (const std::string stored : {"70000", "65536", "-1", "47517x"}) {
        settings.setInt(setting::kPort, port);
        start(*host);
        ASSERT_TRUE(status.running().get());

        settings.setString(setting::kPort, stored);
        start(*host);
        EXPECT_FALSE(status.running().get()) << stored;
        EXPECT_EQ(status.problem().get(), stored + " is not a valid port (use 1–65535).");
        EXPECT_THROW(WireConnection{port}, std::runtime_error) << stored;
    }
}

TEST_F(MCPHostTest, TheFirstAndLastPortsAreTried) {
    auto host = makeHost(serve.function());
    for (const std::int64_t stored : {1LL, 65535LL}) {
        settings.setInt(setting::kPort, stored);
        start(*host);
        // Listening may fail there (the port is privileged or taken), but not for the number.
        const auto problem = status.problem().get().value_or("");
        EXPECT_EQ(problem.find("is not a valid port"), std::string::npos) << stored << ": " << problem;
    }
}

TEST_F(MCPHostTest, ARestartKeepsRunningAndServesWithTheNewToken) {
    auto host = startHost();
    start(*host);
    EXPECT_TRUE(status.running().get());
    EXPECT_EQ(reply("GET / HTTP/1.1\r\n\r\n").body, "token " + std::string(kToken));

    // A token changed in the settings counts from the next start on.
    settings.setString(setting::kToken, std::string(48, 'f'));
    EXPECT_EQ(reply("GET / HTTP/1.1\r\n\r\n").body, "token " + std::string(kToken));
    start(*host);
    EXPECT_TRUE(status.running().get());
    EXPECT_EQ(reply("GET / HTTP/1.1\r\n\r\n").body, "token " + std::string(48, 'f'));
}

TEST_F(MCPHostTest, AStoreThatCantMakeATokenIsReported) {
    platform::MemorySettings empty;
    empty.setInt(setting::kPort, port);
    auto host = MCPHost::make(pool.get_executor(), {main, status, empty, random, serve.function()});
    random.failNext();
    start(*host);
    EXPECT_FALSE(status.running().get());
    EXPECT_TRUE(status.problem().get().has_value());
    EXPECT_EQ(empty.getString(setting::kToken), std::nullopt);
    EXPECT_THROW(WireConnection{port}, std::runtime_error);
}

}  // namespace
}  // namespace app
