#include "net/http_client.hpp"

#include "tests/net/net_test_fixture.hpp"
#include "tests/support/http/scripted_http_server.hpp"

#include <boost/asio/this_coro.hpp>
#include <boost/asio/use_awaitable.hpp>

#include <algorithm>
#include <atomic>

namespace net {
namespace {

namespace asio = boost::asio;
using test_support::ChunkFeed;
using test_support::RecordedRequest;
using test_support::Reply;
using test_support::ScriptedHTTPServer;

class HTTPClientTest : public testing::NetTestFixture {
protected:
    std::shared_ptr<HTTPClient> makeClient(HTTPClientOptions options = {}) {
        return HTTPClient::make(io_.get_executor(), std::move(options));
    }

    // Starts `request` and reads its body piece by piece.
    static asio::awaitable<std::vector<std::string>> pieces(std::shared_ptr<HTTPClient> client, HTTPRequest request) {
        auto stream = co_await client->start(std::move(request));
        std::vector<std::string> read;
        while (true) {
            auto piece = co_await stream.readSome();
            if (piece.empty()) co_return read;
            read.push_back(std::move(piece));
        }
    }

    // The same, recording each piece as it comes.
    static asio::awaitable<int> readInto(std::shared_ptr<HTTPClient> client, HTTPRequest request,
                                         std::vector<std::string>& seen, bool& ended) {
        auto stream = co_await client->start(std::move(request));
        while (true) {
            auto piece = co_await stream.readSome();
            if (piece.empty()) break;
            seen.push_back(piece);
        }
        ended = true;
        co_return stream.status();
    }

    // Starts `request`, hands out its cancel handle and waits for a first piece.
    static asio::awaitable<int> readOnce(std::shared_ptr<HTTPClient> client, HTTPRequest request,
                                         CancelHandle& handle, bool& started) {
        auto stream = co_await client->start(std::move(request));
        handle = stream.cancelHandle();
        started = true;
        co_await stream.readSome();
        co_return 0;
    }

    // Starts `request` and drops the stream without reading its body.
    static asio::awaitable<int> headOnly(std::shared_ptr<HTTPClient> client, HTTPRequest request) {
        auto stream = co_await client->start(std::move(request));
        co_return stream.status();
    }
};

TEST_F(HTTPClientTest, SendsTheRequestAsGivenWithHostAndLength) {
    ScriptedHTTPServer server([](const RecordedRequest&) { return Reply{.status = 200, .body = "ok"}; });
    auto client = makeClient();
    auto post = request(server.url("/mcp?x=1"), "POST", R"({"a":1})");
    post.headers.add("Accept", "application/json, text/event-stream");
    post.headers.add("MCP-Session-Id", "abc");

    const auto response = await(client->fetch(post));

    EXPECT_EQ(response.status, 200);
    EXPECT_EQ(response.body, "ok");
    const auto recorded = server.requests().at(0);
    EXPECT_EQ(recorded.method, "POST");
    EXPECT_EQ(recorded.target, "/mcp?x=1");
    EXPECT_EQ(recorded.body, R"({"a":1})");
    EXPECT_EQ(recorded.header("Host"), "127.0.0.1:" + std::to_string(server.port()));
    EXPECT_EQ(recorded.header("Content-Length"), "7");
    EXPECT_EQ(recorded.header("Accept"), "application/json, text/event-stream");
    EXPECT_EQ(recorded.header("MCP-Session-Id"), "abc");
    EXPECT_EQ(recorded.header("Accept-Encoding"), std::nullopt);
}

TEST_F(HTTPClientTest, ReturnsRedirectsAndErrorStatusesWithoutFollowingThem) {
    ScriptedHTTPServer server([](const RecordedRequest& request) {
        if (request.target == "/old") {
            return Reply{.status = 307, .headers = {{"Location", "/new"}, {"Content-Type", "text/html"}}, .body = "moved"};
        }
        return Reply{.status = 500, .body = "no"};
    });
    auto client = makeClient();

    const auto redirected = await(client->fetch(request(server.url("/old"), "POST", "secret")));
    EXPECT_EQ(redirected.status, 307);
    EXPECT_EQ(redirected.headers.get("location"), "/new");
    EXPECT_EQ(redirected.body, "moved");
    EXPECT_EQ(server.requests().size(), 1u) << "the redirect was not followed";
}

TEST_F(HTTPClientTest, MergesRepeatedResponseFields) {
    ScriptedHTTPServer server([](const RecordedRequest&) {
        return Reply{.status = 401,
                     .headers = {{"WWW-Authenticate", "Basic realm=\"x\""}, {"www-authenticate", "Bearer realm=\"y\""}}};
    });
    auto client = makeClient();
    const auto response = await(client->fetch(request(server.url())));
    EXPECT_EQ(response.headers.get("WWW-Authenticate"), "Basic realm=\"x\", Bearer realm=\"y\"");
}

TEST_F(HTTPClientTest, HandsOutEachPieceOfAStreamAsItArrives) {
    const auto feed = std::make_shared<ChunkFeed>();
    ScriptedHTTPServer server([feed](const RecordedRequest&) {
        return Reply{.status = 200, .headers = {{"Content-Type", "text/event-stream"}}, .feed = feed};
    });
    auto client = makeClient();
    std::vector<std::string> seen;
    bool ended = false;
    auto reading = start(readInto(client, request(server.url()), seen, ended));

    feed->push("data: 1\n\n");
    runUntil([&] { return seen.size() == 1; });
    EXPECT_EQ(seen[0], "data: 1\n\n");
    EXPECT_FALSE(ended) << "the first piece arrives before the body ends";
    feed->push("data: 2\n\n");
    feed->finish();
    runUntil([&] { return reading->done; });
    EXPECT_EQ(seen, (std::vector<std::string>{"data: 1\n\n", "data: 2\n\n"}));
}

TEST_F(HTTPClientTest, SequentialRequestsShareOneConnection) {
    ScriptedHTTPServer server([](const RecordedRequest& request) { return Reply{.body = request.body}; });
    auto client = makeClient();
    for (int i = 0; i < 100; ++i) {
        const auto response = await(client->fetch(request(server.url(), "POST", std::to_string(i))));
        ASSERT_EQ(response.body, std::to_string(i));
    }
    EXPECT_EQ(server.connectionsAccepted(), 1);
}

// Counts the connections it opens.
class CountingConnector final : public Connector {
public:
    asio::awaitable<boost::beast::tcp_stream> connect(asio::any_io_executor executor,
                                                      std::vector<asio::ip::tcp::endpoint> endpoints,
                                                      std::chrono::milliseconds timeout) override {
        ++opened;
        co_return co_await TCPConnector().connect(std::move(executor), std::move(endpoints), timeout);
    }

    int opened = 0;
};

// A server that made the client answer thousands of its requests at once once had it open a
// connection for each: a few are open per host, and the other requests wait their turn for one.
TEST_F(HTTPClientTest, KeepsAFewConnectionsPerHostAndQueuesTheRest) {
    constexpr int kRequests = 5;
    std::vector<std::shared_ptr<ChunkFeed>> feeds;
    for (int i = 0; i < kRequests; ++i) feeds.push_back(std::make_shared<ChunkFeed>());
    std::atomic<int> served = 0;
    ScriptedHTTPServer server([&](const RecordedRequest&) { return Reply{.feed = feeds.at(served++)}; });
    const auto connector = std::make_shared<CountingConnector>();
    auto client = makeClient({.maxConnectionsPerHost = 2,
                              .resolver = std::make_shared<testing::LoopbackResolver>(std::vector<std::string>{"127.0.0.1"}),
                              .connector = connector});
    std::vector<std::shared_ptr<Outcome<std::vector<std::string>>>> reads;
    for (int i = 0; i < kRequests; ++i) reads.push_back(start(pieces(client, request(server.url()))));
    runUntil([&] { return server.requests().size() == 2; });
    // Everything that can run runs: a request that had no turn to wait would open its own now.
    io_.restart();
    io_.poll();
    EXPECT_EQ(connector->opened, 2);

    for (const auto& feed : feeds) {
        feed->push("x");
        feed->finish();
    }
    runUntil([&] {
        return std::all_of(reads.begin(), reads.end(), [](const auto& read) { return read->done; });
    });
    for (const auto& read : reads) {
        ASSERT_FALSE(read->error);
        EXPECT_EQ(*read->value, std::vector<std::string>{"x"});
    }
    EXPECT_EQ(server.requests().size(), static_cast<std::size_t>(kRequests));
    EXPECT_EQ(connector->opened, 2) << "a connection read to its end passes, kept alive, to the request waiting";
}

TEST_F(HTTPClientTest, AStreamLeftUnreadClosesItsConnection) {
    ScriptedHTTPServer server([](const RecordedRequest&) {
        return Reply{.chunks = {"a", "b"}, .chunkDelay = std::chrono::milliseconds(50)};
    });
    auto client = makeClient();
    await(headOnly(client, request(server.url())));
    await(pieces(client, request(server.url())));
    EXPECT_EQ(server.connectionsAccepted(), 2);
}

TEST_F(HTTPClientTest, SendsAgainOnANewConnectionWhenTheServerClosedTheIdleOne) {
    // Keep-alive by default, yet the server closes right after the reply.
    ScriptedHTTPServer server([](const RecordedRequest&) {
        return Reply{.close = true, .raw = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok"};
    });
    auto client = makeClient();
    EXPECT_EQ(await(client->fetch(request(server.url()))).body, "ok");
    ASSERT_TRUE(server.waitForRequests(1));
    EXPECT_EQ(await(client->fetch(request(server.url()))).body, "ok");
    EXPECT_EQ(server.requests().size(), 2u);
    EXPECT_EQ(server.connectionsAccepted(), 2);
}

TEST_F(HTTPClientTest, AnIdleTimeoutEndsASilentExchangeButNotAStreamThatKeepsTalking) {
    // The gaps stay well under the timeout: a busy machine (the sanitizers, parallel tests) can
    // hold a chunk back by tens of milliseconds.
    ScriptedHTTPServer server([](const RecordedRequest& request) {
        if (request.target == "/silent") return Reply{.delay = std::chrono::seconds(5)};
        return Reply{.chunks = {"1", "2", "3", "4", "5", "6"}, .chunkDelay = std::chrono::milliseconds(100)};
    });
    auto client = makeClient();
    auto silent = request(server.url("/silent"));
    silent.timeout = std::chrono::milliseconds(300);
    EXPECT_EQ(failure(client->fetch(silent)), Error::timedOut);

    // 600 ms in all, but never 300 ms without a byte.
    auto talking = request(server.url("/talking"));
    talking.timeout = std::chrono::milliseconds(300);
    const auto read = await(pieces(client, talking));
    EXPECT_EQ(read.size(), 6u);
}

TEST_F(HTTPClientTest, CancellingAStreamEndsTheReadUnderWayAtOnce) {
    const auto feed = std::make_shared<ChunkFeed>();
    ScriptedHTTPServer server([feed](const RecordedRequest&) { return Reply{.feed = feed}; });
    auto client = makeClient();
    CancelHandle handle;
    bool started = false;
    auto reading = start(readOnce(client, request(server.url()), handle, started));
    runUntil([&] { return started; });

    const auto cancelledAt = std::chrono::steady_clock::now();
    handle.cancel();
    runUntil([&] { return reading->done; });
    EXPECT_LT(std::chrono::steady_clock::now() - cancelledAt, std::chrono::milliseconds(100));
    ASSERT_TRUE(reading->error);
    try {
        std::rethrow_exception(reading->error);
    } catch (const boost::system::system_error& error) {
        EXPECT_EQ(error.code(), Error::cancelled);
        EXPECT_EQ(error.code().message(), "cancelled");
    }
}

TEST_F(HTTPClientTest, ShutdownCancelsEveryRequestAndRefusesNewOnes) {
    ScriptedHTTPServer server([](const RecordedRequest&) { return Reply{.delay = std::chrono::seconds(5)}; });
    auto client = makeClient();
    auto first = start(client->fetch(request(server.url())));
    auto second = start(client->fetch(request(server.url())));
    runUntil([&] { return server.requests().size() == 2; });
    client->shutdown();
    runUntil([&] { return first->done && second->done; });
    for (const auto& outcome : {first, second}) {
        try {
            std::rethrow_exception(outcome->error);
        } catch (const boost::system::system_error& error) {
            EXPECT_EQ(error.code(), Error::cancelled);
        }
    }
    EXPECT_EQ(failure(client->fetch(request(server.url()))), Error::cancelled);
    EXPECT_EQ(server.requests().size(), 2u);
}

TEST_F(HTTPClientTest, OversizedAnswersFailWithAClearError) {
    ScriptedHTTPServer server([](const RecordedRequest& request) {
        if (request.target == "/length/99") return Reply{.body = std::string(99, 'x')};
        if (request.target == "/length/100") return Reply{.body = std::string(100, 'x')};
        if (request.target == "/chunked/99") return Reply{.chunks = {std::string(60, 'x'), std::string(39, 'x')}};
        if (request.target == "/chunked/100") return Reply{.chunks = {std::string(60, 'x'), std::string(40, 'x')}};
        return Reply{.headers = {{"X-Big", std::string(2000, 'h')}}};
    });
    HTTPClientOptions options;
    options.maxBodyBytes = 99;
    options.maxHeaderBytes = 1024;
    auto client = makeClient(options);

    struct Case {
        const char* path;
        std::optional<Error> want;
    };
    for (const auto& [path, want] : {Case{"/length/99", std::nullopt}, Case{"/length/100", Error::bodyTooLarge},
                                     Case{"/chunked/99", std::nullopt}, Case{"/chunked/100", Error::bodyTooLarge},
                                     Case{"/header", Error::headerTooLarge}}) {
        SCOPED_TRACE(path);
        if (want) {
            EXPECT_EQ(failure(client->fetch(request(server.url(path)))), *want);
        } else {
            EXPECT_EQ(await(client->fetch(request(server.url(path)))).body.size(), 99u) << "exactly the limit";
        }
    }
}

// Connections come back to the pool as their responses end; it keeps as many per host as
// allowed and closes the rest, so the next round of requests opens only the difference.
TEST_F(HTTPClientTest, KeepsAtMostTheAllowedIdleConnectionsPerHost) {
    // Chunked, so that no body has ended with its head.
    ScriptedHTTPServer server([](const RecordedRequest&) { return Reply{.chunks = {"ok"}}; });
    // Three requests at once, each on its own connection, read to the end together.
    const auto round = [&](std::shared_ptr<HTTPClient> client) {
        std::vector<ResponseStream> streams;
        for (int i = 0; i < 3; ++i) streams.push_back(await(client->start(request(server.url()))));
        for (auto& stream : streams) EXPECT_EQ(await(stream.readAll(100)), "ok");
    };
    for (const std::size_t kept : {0u, 2u, 3u}) {
        SCOPED_TRACE(kept);
        const int before = server.connectionsAccepted();
        HTTPClientOptions options;
        options.maxIdleConnectionsPerHost = kept;
        auto client = makeClient(options);
        round(client);
        round(client);
        EXPECT_EQ(server.connectionsAccepted() - before, static_cast<int>(3 + 3 - kept));
        client->shutdown();
    }
}

TEST_F(HTTPClientTest, RefusesURLsItCannotSend) {
    auto client = makeClient();
    struct Case {
        const char* url;
        Error want;
    };
    for (const auto& [url, want] :
         {Case{"ftp://127.0.0.1/x", Error::unsupportedScheme}, Case{"http:/only/a/path", Error::invalidURL}}) {
        SCOPED_TRACE(url);
        EXPECT_EQ(failure(client->fetch(request(url))), want);
    }
}

TEST_F(HTTPClientTest, RefusesAHeaderHoldingCRLFOrNULBeforeWritingAnything) {
    ScriptedHTTPServer server([](const RecordedRequest&) { return Reply{.body = "ok"}; });
    auto client = makeClient();
    struct Case {
        const char* name;
        std::string field;
        std::string value;
    };
    const Case kCases[] = {
        {"CR LF in a value, smuggling a request",
         "MCP-Protocol-Version",
         "2025-06-18\r\n\r\nGET /smuggled/admin HTTP/1.1\r\nHost: x"},
        {"a lone LF in a value", "MCP-Session-Id", "s-1\nX-Injected: 1"},
        {"a lone CR in a value", "Last-Event-ID", "e-1\rX-Injected: 1"},
        {"NUL in a value", "MCP-Session-Id", std::string("s-1\0x", 5)},
        {"CR LF in a name", "X-A\r\nX-Injected", "1"},
        {"NUL in a name", std::string("X-A\0B", 5), "1"},
    };
    for (const auto& test : kCases) {
        SCOPED_TRACE(test.name);
        auto post = request(server.url("/mcp"), "POST", "{}");
        post.headers.add("Authorization", "Bearer secret");
        post.headers.add(test.field, test.value);
        EXPECT_EQ(failure(client->fetch(post)), Error::unsafeHeader);
    }
    EXPECT_EQ(server.connectionsAccepted(), 0) << "nothing was written";

    auto clean = request(server.url("/mcp"));
    clean.headers.add("MCP-Session-Id", "s-1\tstill one field");
    EXPECT_EQ(await(client->fetch(clean)).body, "ok") << "a tab is field text";
}

TEST_F(HTTPClientTest, ConnectsOnlyWhereItsResolverSays) {
    ScriptedHTTPServer server([](const RecordedRequest&) { return Reply{.body = "here"}; });
    const auto resolver = std::make_shared<testing::LoopbackResolver>(std::vector<std::string>{"mcp.example.test"});
    HTTPClientOptions options;
    options.resolver = resolver;
    auto client = makeClient(options);
    const std::string port = std::to_string(server.port());

    EXPECT_EQ(await(client->fetch(request("http://mcp.example.test:" + port + "/"))).body, "here");
    EXPECT_EQ(server.requests().at(0).header("Host"), "mcp.example.test:" + port);

    EXPECT_EQ(failure(client->fetch(request("http://elsewhere.example.test:" + port + "/"))),
              asio::error::host_not_found);
    EXPECT_EQ(resolver->asked(), (std::vector<std::string>{"mcp.example.test", "elsewhere.example.test"}));
    EXPECT_EQ(server.connectionsAccepted(), 1);
}

TEST_F(HTTPClientTest, AnAddressCheckSeesTheAddressesBeforeAnyConnectionIsMade) {
    ScriptedHTTPServer server([](const RecordedRequest&) { return Reply{.body = "here"}; });
    HTTPClientOptions options;
    options.resolver = std::make_shared<testing::LoopbackResolver>(std::vector<std::string>{"mcp.example.test"});
    auto client = makeClient(options);
    const std::string url = "http://mcp.example.test:" + std::to_string(server.port()) + "/";

    std::vector<asio::ip::tcp::endpoint> seen;
    auto refused = request(url);
    refused.addressCheck = [&](const std::vector<asio::ip::tcp::endpoint>& addresses) {
        seen = addresses;
        throw std::runtime_error("refused");
    };
    auto outcome = start(client->fetch(refused));
    runUntil([&] { return outcome->done; });
    EXPECT_THROW(std::rethrow_exception(outcome->error), std::runtime_error);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].address(), asio::ip::make_address("127.0.0.1"));
    EXPECT_EQ(server.connectionsAccepted(), 0);

    // A connection made without a check is not handed to a request that has one.
    EXPECT_EQ(await(client->fetch(request(url))).body, "here");
    int checks = 0;
    auto checked = request(url);
    checked.addressCheck = [&](const std::vector<asio::ip::tcp::endpoint>&) { ++checks; };
    EXPECT_EQ(await(client->fetch(checked)).body, "here");
    EXPECT_EQ(await(client->fetch(checked)).body, "here");
    EXPECT_EQ(checks, 1);
    EXPECT_EQ(server.connectionsAccepted(), 2);
}

}  // namespace
}  // namespace net
