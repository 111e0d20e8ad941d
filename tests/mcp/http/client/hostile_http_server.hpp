#pragma once

// HostileHTTPServer: an HTTP/1.1 server on 127.0.0.1 (a free port), on a thread of its own,
// that plays a server the client can't trust. It keeps every byte it receives as it came,
// reads requests with no more checking than it takes to split them (so that a request
// smuggled into another's head shows up as a request of its own), and answers each with the
// bytes its script returns, then closes the connection, or with nothing at all.
//
//     HostileHTTPServer server([](const HostileRequest& request) {
//         return HostileReply::json(R"({"jsonrpc":"2.0","id":1,"result":{}})");
//     });
//     ... the client posts to server.url("/mcp") ...
//     EXPECT_EQ(server.received().find("\0"), std::string::npos);
//
// The script runs on the server's thread; the records can be read from any thread.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace mcp::testing {

struct HostileRequest {
    std::string method;
    std::string target;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;

    // The first field named `name` (ASCII case ignored).
    std::optional<std::string> header(std::string_view name) const;
};

struct HostileReply {
    // Written as it stands, head and body; the connection is closed after it.
    std::string raw;
    // Answer nothing and hold the connection until the client lets it go.
    bool hang = false;

    // 200 with a JSON body of a declared length.
    static HostileReply json(std::string_view body);
    // 200 with an event stream that ends when the connection closes.
    static HostileReply eventStream(std::string_view events);
    // `status` with no body.
    static HostileReply status(int status);
    static HostileReply silence() { return HostileReply{.hang = true}; }
};

class HostileHTTPServer {
public:
    using Script = std::function<HostileReply(const HostileRequest&)>;

    // Starts listening at once.
    explicit HostileHTTPServer(Script script);
    ~HostileHTTPServer();
    HostileHTTPServer(const HostileHTTPServer&) = delete;
    HostileHTTPServer& operator=(const HostileHTTPServer&) = delete;

    // "http://127.0.0.1:<port><path>".
    std::string url(std::string_view path = "/mcp") const;

    // Every byte received so far, connection after connection in the order they were read.
    std::string received() const;
    std::vector<HostileRequest> requests() const;

private:
    struct State;
    std::shared_ptr<State> state_;
    std::uint16_t port_ = 0;
};

}  // namespace mcp::testing
