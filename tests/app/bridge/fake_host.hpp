#pragma once

#include <boost/asio/awaitable.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>

#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace test_support {

// HostRequest: one request the fake host received; header names in lower case.
struct HostRequest {
    std::string method;
    std::string target;
    std::map<std::string, std::string> headers;
    std::string body;

    std::optional<std::string> header(const std::string& lowerCaseName) const;
};

// HostAnswer: what the fake host does with one request.
struct HostAnswer {
    enum class Kind {
        // An HTTP answer with the fields below.
        http,
        // Reads the request and then never answers (until the host goes).
        silence,
        // Closes the connection without a word.
        hangUp,
        // Writes a line that is no HTTP, then closes.
        garbage,
    };
    Kind kind = Kind::http;
    int status = 200;
    std::string body;
    // The launch header's value; none leaves the header out.
    std::optional<std::string> launch = "LAUNCH-1";
    std::string launchHeaderName = "X-Vantor-MCP-Launch";
};

// answerLikeTheHost: what the program's host answers when all goes well: an empty body gets
// 400 with an error of id null; a notification 202; a request 200 with {"jsonrpc":"2.0",
// "id":<its id>,"result":{...}}, where an initialize's result carries the protocol version
// "2025-06-18"; anything else 400.
HostAnswer answerLikeTheHost(const HostRequest& request);

// FakeHost: a loopback HTTP/1.1 server standing in for the program's host, one request per
// connection, on a thread of its own. The port is bound at construction but nothing is
// accepted (connections are refused) until listen(). It records every request it reads and
// answers each with the responder's answer (answerLikeTheHost unless the test sets one).
class FakeHost {
public:
    using Responder = std::function<HostAnswer(const HostRequest&)>;

    explicit FakeHost(bool listening = true);
    ~FakeHost();
    FakeHost(const FakeHost&) = delete;
    FakeHost& operator=(const FakeHost&) = delete;

    unsigned short port() const { return port_; }
    std::string url() const;

    // listen: starts accepting, and returns once it does. Any thread but the host's.
    void listen();
    void setResponder(Responder responder);
    std::vector<HostRequest> requests() const;
    // Requests with a body, leaving out the bridge's bare probes.
    std::vector<HostRequest> posts() const;

private:
    HostAnswer answer(const HostRequest& request);
    // These run on the host's thread.
    boost::asio::awaitable<void> acceptLoop();
    boost::asio::awaitable<void> serve(boost::asio::ip::tcp::socket socket);

    boost::asio::io_context context_;
    boost::asio::ip::tcp::acceptor acceptor_;
    unsigned short port_ = 0;
    mutable std::mutex mutex_;
    Responder responder_ = answerLikeTheHost;
    std::vector<HostRequest> requests_;
    std::thread thread_;
};

}  // namespace test_support
