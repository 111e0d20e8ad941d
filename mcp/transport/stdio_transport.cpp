#include "mcp/transport/stdio_transport.hpp"

#include "mcp/protocol/mcp_error.hpp"

#include <boost/asio/as_tuple.hpp>
#include <boost/asio/buffer.hpp>
#include <boost/asio/use_awaitable.hpp>
#include <boost/assert.hpp>
#include <boost/system/system_error.hpp>

#include <array>
#include <cerrno>
#include <csignal>
#include <ctime>
#include <exception>
#include <utility>

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

namespace mcp {
namespace {

namespace asio = boost::asio;
using Descriptor = asio::posix::stream_descriptor;

constexpr std::size_t kReadBytes = 4096;

MCPError systemFailure(int number) {
    return MCPError::transportError(
        UnderlyingError::from(boost::system::error_code(number, boost::system::system_category())));
}

logging::Metadata sizeOf(std::size_t size) { return {{"size", std::to_string(size)}}; }

// write(2) that raises no SIGPIPE: the signal is blocked in this thread for the call, and one
// that the call raised is taken back before the mask is restored. The library sets no process
// wide signal disposition. Returns the count, or -1 with errno; EINTR is retried.
ssize_t writeWithoutSignal(int descriptor, const char* data, std::size_t size) {
    sigset_t pipeSignal;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    sigset_t pending;
    sigemptyset(&pending);
    sigpending(&pending);
    const bool alreadyPending = sigismember(&pending, SIGPIPE) == 1;
    sigset_t previous;
    pthread_sigmask(SIG_BLOCK, &pipeSignal, &previous);

    ssize_t written;
    do {
        written = ::write(descriptor, data, size);
    } while (written < 0 && errno == EINTR);
    const int failure = errno;

    if (written < 0 && failure == EPIPE && !alreadyPending) {
        const timespec noWait{};
        while (sigtimedwait(&pipeSignal, nullptr, &noWait) < 0 && errno == EINTR) {
        }
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    errno = failure;
    return written;
}

}  // namespace

StdioTransport::StdioTransport(const asio::any_io_executor& executor, int input, int output, logging::Logger logger,
                               std::size_t maxLineBytes)
    : strand_(strandOf(executor)),
      input_(input),
      output_(output),
      logger_(std::move(logger)),
      maxLineBytes_(maxLineBytes),
      stream_(MessageStream::make(kIncomingMessageCapacity)) {}

std::shared_ptr<StdioTransport> StdioTransport::make(const asio::any_io_executor& executor, int input, int output,
                                                     std::optional<logging::Logger> logger, std::size_t maxLineBytes) {
    return std::shared_ptr<StdioTransport>(new StdioTransport(
        executor, input, output, givenOrSilentLogger(std::move(logger), "mcp.transport.stdio"), maxLineBytes));
}

StdioTransport::~StdioTransport() {
    // Dropped while connected: the read loop has ended (it holds the transport while it runs).
    if (connected_) restoreFlags();
}

// Connecting and disconnecting

asio::awaitable<void> StdioTransport::connect() {
    auto body = [self = shared_from_this()] { return self->connectOnStrand(); };
    co_await onStrand(strand_, std::move(body));
}

asio::awaitable<void> StdioTransport::connectOnStrand() {
    BOOST_ASSERT(strand_.running_in_this_thread());
    if (connected_) co_return;
    for (const int descriptor : {input_, output_}) {
        const int flags = ::fcntl(descriptor, F_GETFL);
        if (flags < 0 || ::fcntl(descriptor, F_SETFL, flags | O_NONBLOCK) < 0) {
            const int failure = errno;
            restoreFlags();
            throw systemFailure(failure);
        }
        savedFlags_.push_back({descriptor, flags});
    }
    const int reading = ::dup(input_);
    const int writing = reading < 0 ? -1 : ::dup(output_);
    if (writing < 0) {
        const int failure = errno;
        if (reading >= 0) ::close(reading);
        restoreFlags();
        throw systemFailure(failure);
    }
    reader_ = std::make_shared<Descriptor>(strand_, reading);
    writer_ = std::make_shared<Descriptor>(strand_, writing);
    connected_ = true;
    logger_.debug("Transport connected successfully");
    spawnOnStrand(strand_, readLoop(reader_), [self = shared_from_this()](std::exception_ptr error) {
        if (!error) return;
        try {
            std::rethrow_exception(error);
        } catch (const std::exception& failure) {
            self->logger_.error("Read error occurred", [&] { return logging::Metadata{{"error", failure.what()}}; });
        }
        self->stream_->finish();
    });
}

asio::awaitable<void> StdioTransport::disconnect() {
    auto body = [self = shared_from_this()] { return self->disconnectOnStrand(); };
    co_await onStrand(strand_, std::move(body));
}

asio::awaitable<void> StdioTransport::disconnectOnStrand() {
    BOOST_ASSERT(strand_.running_in_this_thread());
    if (!connected_) co_return;
    connected_ = false;
    stream_->finish();
    boost::system::error_code ignored;
    // Closing the duplicates ends the read and any write waiting for room.
    reader_->close(ignored);
    writer_->close(ignored);
    restoreFlags();
    logger_.debug("Transport disconnected");
}

void StdioTransport::restoreFlags() noexcept {
    while (!savedFlags_.empty()) {
        const SavedFlags saved = savedFlags_.back();
        savedFlags_.pop_back();
        ::fcntl(saved.descriptor, F_SETFL, saved.flags);
    }
}

// Reading

asio::awaitable<void> StdioTransport::readLoop(std::shared_ptr<Descriptor> reader) {
    const auto self = shared_from_this();
    LineFramer framer(maxLineBytes_);
    std::array<char, kReadBytes> chunk{};
    while (connected_ && reader == reader_) {
        co_await stream_->waitForRoom();
        if (!connected_ || reader != reader_) break;
        auto [error, count] = co_await reader->async_read_some(asio::buffer(chunk), asio::as_tuple(asio::use_awaitable));
        if (error == asio::error::eof) {
            logger_.notice("EOF received");
            break;
        }
        if (error) {
            // A disconnect closes the descriptor under the read: that is no error of reading.
            if (connected_ && reader == reader_ && error != asio::error::operation_aborted) {
                logger_.error("Read error occurred", [&] { return logging::Metadata{{"error", error.message()}}; });
            }
            break;
        }
        framer.append(std::string_view(chunk.data(), count));
        deliverLines(framer);
    }
    stream_->finish();
}

void StdioTransport::deliverLines(LineFramer& framer) {
    while (auto line = framer.nextLine()) {
        if (line->overlong) {
            logger_.error("Line exceeds the limit and is skipped", [&] {
                return logging::Metadata{{"size", std::to_string(line->size)},
                                         {"limit", std::to_string(framer.maxLineBytes())}};
            });
            continue;
        }
        if (line->bytes.empty()) continue;
        logger_.trace("Message received", [&] { return sizeOf(line->bytes.size()); });
        stream_->push(std::string(line->bytes));
    }
}

// Writing

asio::awaitable<void> StdioTransport::send(OutgoingMessage message) {
    std::string bytes = std::move(message).text();
    bytes.push_back('\n');
    auto body = [self = shared_from_this(), bytes = std::move(bytes)]() mutable {
        return self->sendOnStrand(std::move(bytes));
    };
    co_await onStrand(strand_, std::move(body));
}

asio::awaitable<void> StdioTransport::sendOnStrand(std::string bytes) {
    BOOST_ASSERT(strand_.running_in_this_thread());
    if (!connected_) throw systemFailure(ENOTCONN);
    const auto turn = co_await writes_.take();
    const auto writer = writer_;
    std::string_view remaining(bytes);
    while (!remaining.empty()) {
        // A disconnect while this send waited for its turn or for room.
        if (!connected_ || writer != writer_ || !writer->is_open()) throw systemFailure(ENOTCONN);
        const ssize_t written = writeWithoutSignal(writer->native_handle(), remaining.data(), remaining.size());
        if (written >= 0) {
            remaining.remove_prefix(std::min(static_cast<std::size_t>(written), remaining.size()));
            continue;
        }
        const int failure = errno;
        if (failure != EAGAIN && failure != EWOULDBLOCK) throw systemFailure(failure);
        auto [error] = co_await writer->async_wait(Descriptor::wait_write, asio::as_tuple(asio::use_awaitable));
        if (error) throw boost::system::system_error(error);
    }
}

}  // namespace mcp
