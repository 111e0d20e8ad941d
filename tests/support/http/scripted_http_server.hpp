#pragma once

// ScriptedHTTPServer: an HTTP/1.1 server on 127.0.0.1 (a free port), on a thread of its own,
// that answers every request with what the test's script returns for it and records every
// request and connection. Plain, or TLS with a given certificate.
//
//     ScriptedHTTPServer server([](const RecordedRequest& request) {
//         return Reply{.status = 404, .headers = {{"Content-Type", "text/plain"}}, .body = "no"};
//     });
//     ... client requests server.url("/mcp") ...
//     EXPECT_EQ(server.requests().size(), 1u);
//
// The script runs on the server's thread; the records can be read from any thread.

#include <boost/asio/ssl/context.hpp>

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace test_support {

struct RecordedRequest {
    std::string method;
    std::string target;
    // Names as sent.
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
    // 1 for the first connection the server accepted, 2 for the next, ...
    int connection = 0;
    std::chrono::steady_clock::time_point receivedAt;

    // The first field named `name` (ASCII case ignored).
    std::optional<std::string> header(std::string_view name) const;
};

// Pieces of a reply body that the test hands over while the reply is being written.
class ChunkFeed {
public:
    void push(std::string chunk);
    // Ends the body after what was pushed.
    void finish();
    // Closes the connection at once, without ending the body.
    void drop();

    struct Item {
        enum class Kind { chunk, finish, drop } kind;
        std::string chunk;
    };
    // The next item, or absent with `wake` kept to be called once one is pushed.
    std::optional<Item> take(std::function<void()> wake);

private:
    void add(Item item);

    std::mutex mutex_;
    std::deque<Item> items_;
    std::function<void()> wake_;
};

struct Reply {
    int status = 200;
    std::vector<std::pair<std::string, std::string>> headers;
    // Sent with Content-Length, unless `chunks` or `feed` are given.
    std::string body;
    // Sent chunked, each as its own chunk, `chunkDelay` apart.
    std::vector<std::string> chunks;
    std::chrono::milliseconds chunkDelay{0};
    // Sent chunked as the test pushes them.
    std::shared_ptr<ChunkFeed> feed;
    // Waited before the reply's head.
    std::chrono::milliseconds delay{0};
    // Close the connection after the reply.
    bool close = false;
    // Written as it stands, in place of everything above.
    std::optional<std::string> raw;
};

class ScriptedHTTPServer {
public:
    using Script = std::function<Reply(const RecordedRequest&)>;

    // Starts listening at once. With `tls`, every connection speaks TLS first.
    explicit ScriptedHTTPServer(Script script, std::shared_ptr<boost::asio::ssl::context> tls = nullptr);
    ~ScriptedHTTPServer();
    ScriptedHTTPServer(const ScriptedHTTPServer&) = delete;
    ScriptedHTTPServer& operator=(const ScriptedHTTPServer&) = delete;

    std::uint16_t port() const { return port_; }
    // "http://127.0.0.1:<port><path>" (https with TLS).
    std::string url(std::string_view path = "/") const;

    std::vector<RecordedRequest> requests() const;
    int connectionsAccepted() const;
    // Waits up to `timeout` until `count` requests have arrived; returns whether they did.
    bool waitForRequests(std::size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;

private:
    struct State;
    std::shared_ptr<State> state_;
    std::uint16_t port_ = 0;
};

}  // namespace test_support
