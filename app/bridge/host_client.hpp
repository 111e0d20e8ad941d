#pragma once

#include <boost/beast/core/flat_buffer.hpp>

#include <chrono>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

// How the --stdio bridge talks to the running program's local host over HTTP.
namespace app {

// HostReply: the host's HTTP answer to one post.
struct HostReply {
    int status = 0;
    std::string body;
    // The launch header (kLaunchHeader) of the answer, matched without regard to case.
    std::optional<std::string> launch;
};

// HostUnreachable: a post or probe that got no HTTP answer. refused says that nothing listens
// at the address (the program isn't running), as opposed to a time-out, a lost connection or
// an answer that is no HTTP. The message is a sentence for the agent that names the address
// and the reason.
class HostUnreachable : public std::runtime_error {
public:
    HostUnreachable(bool refused, const std::string& message)
        : std::runtime_error(message), refused_(refused) {}

    bool refused() const noexcept { return refused_; }

private:
    bool refused_;
};

// HostClient: posts to the host. Blocks the calling thread; any thread.
class HostClient {
public:
    using Headers = std::vector<std::pair<std::string, std::string>>;

    virtual ~HostClient() = default;

    // post: an HTTP/1.1 POST of body to url ("http://127.0.0.1:<port>/<path>") with the given
    // headers (plus Host and Content-Length); the answer, whatever its status. Throws
    // HostUnreachable when no HTTP answer comes.
    virtual HostReply post(const std::string& url, const Headers& headers, const std::string& body) = 0;

    // probe: a bare POST to url, without body or headers of its own; returns as soon as any
    // HTTP answer comes. Throws HostUnreachable like post.
    virtual void probe(const std::string& url) = 0;
};

// HostTimeouts: how long one post or probe may take, from connecting to the end of the answer.
struct HostTimeouts {
    std::chrono::steady_clock::duration post = std::chrono::seconds(660);
    std::chrono::steady_clock::duration probe = std::chrono::seconds(60);
};

// HTTPHostClient: HostClient over one new TCP connection per request (the host closes each
// after its answer). Each exchange waits on its own socket (DeadlineSocket) and reads into a
// buffer kept for the client's life, so that a post costs the connection and little else;
// hence one thread at a time.
class HTTPHostClient final : public HostClient {
public:
    explicit HTTPHostClient(HostTimeouts timeouts = {}) : timeouts_(timeouts) {}

    HostReply post(const std::string& url, const Headers& headers, const std::string& body) override;
    void probe(const std::string& url) override;

private:
    HostTimeouts timeouts_;
    boost::beast::flat_buffer buffer_;
};

}  // namespace app
