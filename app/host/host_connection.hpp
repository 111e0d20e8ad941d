#pragma once

#include "app/host/host_limits.hpp"

#include "mcp/http/http_request.hpp"
#include "mcp/http/http_response.hpp"

#include <boost/asio/any_io_executor.hpp>
#include <boost/asio/awaitable.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace app {

// What serves a request that a connection has read; it always yields a response.
using ConnectionServe = std::function<boost::asio::awaitable<mcp::HTTPResponse>(mcp::HTTPRequest)>;

// What may refuse a request that announces a body on its head alone, before the body is read:
// the refusal to write, or absent to read on.
using HeadCheck = std::function<std::optional<mcp::HTTPResponse>(const mcp::HTTPRequest& head)>;

// What a connection does with its request besides reading it.
struct ConnectionWork {
    HostLimits limits;
    std::string launchID;
    ConnectionServe serve;
    // Absent: every head is read on.
    HeadCheck checkHead;
};

// ConnectionReading: a connection's reading of its request as its host sees it: the host can cut
// it short, and learns when it waits for the peer and when it is over (the request read, or
// refused and what followed it dropped, or given up). Made by the host for each connection it
// admits.
class ConnectionReading : public std::enable_shared_from_this<ConnectionReading> {
public:
    // What the host is told, on the connection's strand, as it happens.
    struct Events {
        // The reading found no bytes and waits for the peer's next ones (true), or has them or
        // stopped waiting (false).
        std::function<void(bool waiting)> awaitingPeer;
        // The reading is over: runs once, or not at all when the connection's coroutine is
        // destroyed unfinished.
        std::function<void()> ended;
    };

    // strand: the connection's socket's executor.
    static std::shared_ptr<ConnectionReading> make(const boost::asio::any_io_executor& strand, Events events);

    // cut: ends the reading as its deadline would: the connection is closed with nothing more
    // read. Does nothing to a request already being served. Any thread.
    void cut();

    // These run on the connection's strand (serveConnection).
    boost::asio::steady_timer& deadline() noexcept { return deadline_; }
    // Moves the deadline, unless the reading has been cut.
    void extendTo(boost::asio::steady_timer::time_point deadline);
    void awaitingPeer(bool waiting);
    void end();

private:
    ConnectionReading(const boost::asio::any_io_executor& strand, Events events);

    boost::asio::steady_timer deadline_;
    bool cut_ = false;
    Events events_;
};

// serveConnection: the host's whole handling of one accepted connection: it reads the one
// request (HTTPRequestReader) within the limits' deadlines, has work.serve answer it, writes the
// answer with "Connection: close" and the launch id, and closes the connection.
//
// - A request that can't be read, or isn't complete before its deadline (the head's, then the
//   whole request's) or before the host cuts its reading, is dropped: the connection is closed
//   with nothing written.
// - A request that announces a body is first shown to work.checkHead as soon as its head is
//   read: a refusal is written at once, without the request being served.
// - A request with a transfer coding is answered 411 without being served, one whose head
//   frames it ambiguously (two Host lines, a Content-Length that isn't digits alone) 400.
// - After a refusal, what the peer still sends is read and dropped until it closes or the
//   reading's deadline, so that the refusal isn't destroyed by a reset before the peer reads it.
// - While the request is served, a peer that closes its side or fails is taken as gone: the
//   connection is closed at once and the answer, when it comes, is dropped.
// The outcome of the write is not examined.
//
// Runs on the socket's executor, which must be a strand of its own; never throws.
boost::asio::awaitable<void> serveConnection(boost::asio::ip::tcp::socket socket, ConnectionWork work,
                                             std::shared_ptr<ConnectionReading> reading);

}  // namespace app
