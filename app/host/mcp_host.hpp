#pragma once

#include "app/host/connection_slots.hpp"
#include "app/host/host_connection.hpp"
#include "app/host/host_limits.hpp"
#include "app/common/host_status.hpp"

#include "mcp/http/http_request.hpp"
#include "mcp/http/http_response.hpp"
#include "mcp/transport/strand_hop.hpp"

#include "platform/scheduler.hpp"
#include "platform/secure_random.hpp"
#include "platform/settings.hpp"

#include <boost/asio/any_io_executor.hpp>
#include <boost/asio/awaitable.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace app {

// MCPHost: the program's local HTTP/1.1 server, one instance for the program's life. It
// listens on 127.0.0.1 at the configured port, reads exactly one request from each connection,
// has it served (by serveRequest, which checks the access token and answers through a fresh
// MCP server), writes the answer with "Connection: close" and closes the connection. There is
// no keep-alive, no chunked coding and no routing: the server side decides every answer.
//
// The host is an actor: its listener and its own fields live on its strand, and each
// connection runs on a strand of its own, so many requests are served at once. Each
// connection is served with the token held when it was accepted. It reports the listener's
// state to HostStatus on the main thread; each report carries the generation of the listener
// it is about.
//
//     auto host = MCPHost::make(pool.get_executor(), {main, status, settings, random, serve});
//     co_spawn(pool, host->start(), ...);   // again after the token is reset
class MCPHost : public std::enable_shared_from_this<MCPHost> {
public:
    // What answers one request that has been read, given the access token the host holds; it
    // always yields a response. Runs on the connection's strand; many at once.
    using Serve = std::function<boost::asio::awaitable<mcp::HTTPResponse>(mcp::HTTPRequest request, std::string token)>;

    // What may refuse a request that announces a body on its head alone, given the access
    // token the host holds (the access check, so that a peer without the token can't hold a
    // connection by sending its body slowly): the refusal, or absent to read on. Runs on the
    // connection's strand.
    using CheckHead = std::function<std::optional<mcp::HTTPResponse>(const mcp::HTTPRequest& head,
                                                                     const std::string& token)>;

    // What the host works with; the references must outlive the host.
    struct Dependencies {
        platform::Scheduler& main;
        // Written on the main thread only.
        HostStatus& status;
        // Read at each start: the port and the access token.
        platform::Settings& settings;
        platform::SecureRandom& random;
        Serve serve;
        // Absent: every head is read on.
        CheckHead checkHead;
    };

    // make: a host that doesn't listen yet. Its strand and every connection's strand are made
    // on executor, which must not be a strand itself (a thread pool's, or an io_context's).
    static std::shared_ptr<MCPHost> make(boost::asio::any_io_executor executor, Dependencies dependencies,
                                         HostLimits limits = {});

    MCPHost(const MCPHost&) = delete;
    MCPHost& operator=(const MCPHost&) = delete;

    // start: (re)starts listening. Closes the listener held (reported as cancelled), reads the
    // port ("port"; absent or 0 means kDefaultPort) and the access token, and binds
    // 127.0.0.1:port with address reuse. Reports ready, or failed with "Port <port>: " and the
    // system's reason; a port outside 1 to 65535, or a token that can't be had, is reported as
    // a problem with no listener made (and no other port tried). Returns once the listener is
    // bound or has failed; never throws. Any executor may await it.
    //
    // A port that can't be bound (another program holds it, or held it at the start) is tried
    // again, after the limits' pauses, until it is bound or the next start; each failure is
    // reported as the first one.
    boost::asio::awaitable<void> start();

    // retryListeningNow: when the host waits to try its port again, tries it at once; does
    // nothing otherwise. For a later start of the program, which may mean that the user freed
    // the port. Any thread; doesn't wait.
    void retryListeningNow();

    // launchID: this host's launch identifier, a random UUID in upper case, sent with every
    // answer so that a bridge can tell that the program was restarted. Any thread.
    const std::string& launchID() const noexcept { return launchID_; }

private:
    MCPHost(boost::asio::any_io_executor executor, Dependencies dependencies, HostLimits limits);

    // These run on strand_.
    boost::asio::awaitable<void> restart();
    bool listen(std::uint64_t generation, std::uint16_t port);
    boost::asio::awaitable<void> retryListening(std::uint64_t generation, std::uint16_t port,
                                                std::shared_ptr<boost::asio::steady_timer> pause);
    boost::asio::awaitable<void> accept(std::shared_ptr<boost::asio::ip::tcp::acceptor> acceptor);
    boost::asio::awaitable<std::shared_ptr<ConnectionSlots::Place>> waitForPlace(
        const std::shared_ptr<boost::asio::ip::tcp::acceptor>& acceptor);
    void serve(boost::asio::ip::tcp::socket socket, std::shared_ptr<ConnectionSlots::Place> place);
    void report(ListenerReport report);

    // Any thread: ends the accept loop's wait for room.
    void wakeAcceptLoop();

    const boost::asio::any_io_executor executor_;
    const Dependencies dependencies_;
    const HostLimits limits_;
    const std::string launchID_;

    // Everything below is touched only on strand_.
    mcp::Strand strand_;
    std::shared_ptr<boost::asio::ip::tcp::acceptor> acceptor_;
    // The pause before the port is tried again, while it couldn't be bound.
    std::shared_ptr<boost::asio::steady_timer> retryPause_;
    std::uint64_t generation_ = 0;
    std::string token_;
    // The wait of the accept loop for room among the connections, while it waits.
    std::shared_ptr<boost::asio::steady_timer> roomWait_;

    // Any thread.
    ConnectionSlots slots_;
};

}  // namespace app
