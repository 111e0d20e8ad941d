#pragma once

// StdioTransport: MCP messages over a pair of file descriptors, one read and one written,
// normally the process's standard input and output. Each message is one line of bytes ended
// by a line feed (see LineFramer).
//
//     auto transport = mcp::StdioTransport::make(io.get_executor());
//     co_await server->start(transport);
//     co_await server->waitUntilCompleted();   // end of input
//     co_await server->stop();                 // disconnects, restoring the descriptors' flags
//
// The transport does not own the descriptors and never closes them. While connected it keeps
// them non-blocking; `disconnect` (and a `connect` that fails half-way) puts their flags back
// as it found them, since the flags belong to descriptions that other processes, such as the
// shell of a terminal, share. A write to a reader that has gone fails with the transport
// error EPIPE and raises no SIGPIPE.

#include "mcp/transport/line_framer.hpp"
#include "mcp/transport/transport.hpp"
#include "mcp/transport/turn_queue.hpp"
#include "mcp/transport/strand_hop.hpp"

#include <boost/asio/any_io_executor.hpp>
#include <boost/asio/posix/stream_descriptor.hpp>

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace mcp {

class StdioTransport final : public Transport, public std::enable_shared_from_this<StdioTransport> {
public:
    static constexpr int kStandardInput = 0;
    static constexpr int kStandardOutput = 1;

    // A transport reading `input` and writing `output`, on a strand of `executor`. Without a
    // logger it logs nowhere, under the label "mcp.transport.stdio". A line longer than
    // `maxLineBytes` is refused (logged) and skipped. Performs no input or output.
    static std::shared_ptr<StdioTransport> make(const boost::asio::any_io_executor& executor,
                                                int input = kStandardInput, int output = kStandardOutput,
                                                std::optional<logging::Logger> logger = std::nullopt,
                                                std::size_t maxLineBytes = LineFramer::kDefaultMaxLineBytes);

    ~StdioTransport() override;

    const logging::Logger& logger() const override { return logger_; }

    // Makes both descriptors non-blocking (input first) and starts reading. Throws
    // `MCPError::transportError` with the system error when a descriptor's flags can't be
    // read or set; the flags already changed are then restored. Does nothing when connected.
    boost::asio::awaitable<void> connect() override;

    // Stops reading, ends the message stream normally and restores the descriptors' flags.
    // Does nothing unless connected.
    boost::asio::awaitable<void> disconnect() override;

    // Writes `message` and a line feed, after the messages of earlier sends. The message is
    // not inspected. Throws `MCPError::transportError` with ENOTCONN when not connected, and
    // with the system error when the write fails (bytes already written stay written).
    boost::asio::awaitable<void> send(OutgoingMessage message) override;

    // The stream of incoming lines, one element per non-empty line; the same stream on every
    // call, made with the transport. It ends normally at end of input, on a read error and on
    // `disconnect`. Bytes after the last line feed are never delivered.
    std::shared_ptr<MessageStream> receive() override { return stream_; }

private:
    struct SavedFlags {
        int descriptor;
        int flags;
    };

    StdioTransport(const boost::asio::any_io_executor& executor, int input, int output, logging::Logger logger,
                   std::size_t maxLineBytes);

    boost::asio::awaitable<void> connectOnStrand();
    boost::asio::awaitable<void> disconnectOnStrand();
    boost::asio::awaitable<void> sendOnStrand(std::string bytes);
    boost::asio::awaitable<void> readLoop(std::shared_ptr<boost::asio::posix::stream_descriptor> reader);
    void deliverLines(LineFramer& framer);
    void restoreFlags() noexcept;

    // Everything below is touched only on strand_.
    Strand strand_;
    const int input_;
    const int output_;
    const logging::Logger logger_;
    const std::size_t maxLineBytes_;
    bool connected_ = false;
    const std::shared_ptr<MessageStream> stream_;
    // Duplicates of the descriptors, so that closing them to stop reading leaves the caller's
    // open, and so that one descriptor may serve as both input and output.
    std::shared_ptr<boost::asio::posix::stream_descriptor> reader_;
    std::shared_ptr<boost::asio::posix::stream_descriptor> writer_;
    // In the order they were changed; restored in reverse, which also holds when both share
    // one open file description.
    std::vector<SavedFlags> savedFlags_;
    TurnQueue writes_;
};

}  // namespace mcp
