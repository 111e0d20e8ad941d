#pragma once

#include <boost/asio/buffer.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/system/error_code.hpp>
#include <boost/system/system_error.hpp>

#include <sys/uio.h>

#include <chrono>
#include <cstddef>

namespace app {

// DeadlineSocket: one TCP connection of the bridge's HTTP client, every step of which ends by
// one deadline: connecting, each write and each read wait on the socket alone (poll), never
// past the deadline, which then fails the step with boost::beast::error::timeout. A
// synchronous stream for Beast's http::read and http::write, so that an exchange costs the
// connection's own system calls and no event loop's.
//
// Blocks the calling thread; one thread at a time. Closes the socket when it goes.
class DeadlineSocket {
public:
    explicit DeadlineSocket(std::chrono::steady_clock::time_point deadline) : deadline_(deadline) {}
    ~DeadlineSocket();
    DeadlineSocket(const DeadlineSocket&) = delete;
    DeadlineSocket& operator=(const DeadlineSocket&) = delete;

    // connect: starts the connection; error says why it can't (connection_refused when nothing
    // listens). A connection still under way is waited for by the first write, which then
    // reports its failure instead.
    void connect(const boost::asio::ip::tcp::endpoint& endpoint, boost::system::error_code& error);

    // read_some: at least one byte into buffers, as soon as any came; eof once the peer has
    // closed.
    template <class MutableBuffers>
    std::size_t read_some(const MutableBuffers& buffers, boost::system::error_code& error) {
        auto vectors = vectorsOf(buffers);
        return transfer(vectors, false, error);
    }
    template <class MutableBuffers>
    std::size_t read_some(const MutableBuffers& buffers) {
        boost::system::error_code error;
        return orThrow(read_some(buffers, error), error);
    }

    // write_some: at least one byte of buffers, as soon as the socket takes any.
    template <class ConstBuffers>
    std::size_t write_some(const ConstBuffers& buffers, boost::system::error_code& error) {
        auto vectors = vectorsOf(buffers);
        return transfer(vectors, true, error);
    }
    template <class ConstBuffers>
    std::size_t write_some(const ConstBuffers& buffers) {
        boost::system::error_code error;
        return orThrow(write_some(buffers, error), error);
    }

private:
    // Beast hands over a request's header as a few dozen pieces; one system call takes them.
    static constexpr int kMaxVectors = 64;

    struct IOVectors {
        iovec entries[kMaxVectors];
        int count = 0;
        std::size_t bytes = 0;
    };

    // vectorsOf: the first kMaxVectors non-empty buffers of a sequence; the system call only
    // reads from those of a write.
    template <class Buffers>
    static IOVectors vectorsOf(const Buffers& buffers) {
        IOVectors vectors;
        for (auto it = boost::asio::buffer_sequence_begin(buffers);
             it != boost::asio::buffer_sequence_end(buffers) && vectors.count < kMaxVectors; ++it) {
            const boost::asio::const_buffer buffer(*it);
            if (buffer.size() == 0) continue;
            vectors.entries[vectors.count++] = {const_cast<void*>(buffer.data()), buffer.size()};
            vectors.bytes += buffer.size();
        }
        return vectors;
    }

    static std::size_t orThrow(std::size_t count, const boost::system::error_code& error) {
        if (error) throw boost::system::system_error(error);
        return count;
    }

    std::size_t transfer(IOVectors& vectors, bool sending, boost::system::error_code& error);
    // wait: until the socket is ready for events; false, with error set, when the deadline
    // passed first or the wait failed.
    bool wait(short events, boost::system::error_code& error);

    std::chrono::steady_clock::time_point deadline_;
    int fd_ = -1;
};

}  // namespace app
