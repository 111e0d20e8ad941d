#include "mcp/transport/stdio_transport.hpp"

#include "tests/mcp/io_test_fixture.hpp"
#include "tests/mcp/transport/log_lines.hpp"
#include "tests/mcp/transport/message_text.hpp"
#include "tests/mcp/transport/pipe.hpp"

#include "mcp/protocol/mcp_error.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace mcp {
namespace {

using testing::Pipe;
using testing::readAvailable;
using testing::writeAll;

using Lines = std::vector<std::string>;

bool isNonBlocking(int descriptor) { return (::fcntl(descriptor, F_GETFL) & O_NONBLOCK) != 0; }

MCPError systemFailure(int number) {
    return MCPError::transportError(
        UnderlyingError::from(boost::system::error_code(number, boost::system::system_category())));
}

// A transport reading `input_` and writing `output_`, both pipes the test holds the other
// end of.
class StdioTransportTest : public testing::IOTestFixture {
protected:
    std::shared_ptr<StdioTransport> makeTransport(std::size_t maxLineBytes = LineFramer::kDefaultMaxLineBytes) {
        return StdioTransport::make(io_.get_executor(), input_.readEnd(), output_.writeEnd(), log_.logger(), maxLineBytes);
    }

    // Every message of `stream` up to its end.
    Lines drain(const std::shared_ptr<MessageStream>& stream) {
        Lines messages;
        while (auto message = await(stream->next())) messages.push_back(message->text());
        return messages;
    }

    // The MCPError that `operation` throws, or absent.
    std::optional<MCPError> failureOf(boost::asio::awaitable<void> operation) {
        try {
            await(std::move(operation));
        } catch (const MCPError& error) {
            return error;
        }
        return std::nullopt;
    }

    Pipe input_;
    Pipe output_;
    testing::LogLines log_;
};

TEST_F(StdioTransportTest, DeliversEachNonEmptyLineUntilEndOfInput) {
    auto transport = makeTransport();
    await(transport->connect());
    writeAll(input_.writeEnd(), "a\n\nb\n");
    writeAll(input_.writeEnd(), "abc\r\n{\"id\":");
    writeAll(input_.writeEnd(), "1}\nx\ny");
    input_.closeWriteEnd();

    EXPECT_EQ(drain(transport->receive()), (Lines{"a", "b", "abc\r", "{\"id\":1}", "x"}));
    EXPECT_EQ(log_.lines(), (Lines{"debug Transport connected successfully", "trace Message received size=1",
                                   "trace Message received size=1", "trace Message received size=4",
                                   "trace Message received size=8", "trace Message received size=1",
                                   "notice EOF received"}));
    EXPECT_EQ(transport->receive(), transport->receive());
    await(transport->disconnect());
}

TEST_F(StdioTransportTest, WritesEachMessageAsOneLine) {
    auto transport = makeTransport();
    EXPECT_EQ(failureOf(transport->send("{}")), systemFailure(ENOTCONN));
    await(transport->connect());
    await(transport->send("{}"));
    await(transport->send(""));
    await(transport->send("a\nb"));
    EXPECT_EQ(readAvailable(output_.readEnd()), "{}\n\na\nb\n");

    // The end of input leaves the transport connected: replies can still go out.
    input_.closeWriteEnd();
    EXPECT_EQ(drain(transport->receive()), Lines{});
    await(transport->send("after the end"));
    EXPECT_EQ(readAvailable(output_.readEnd()), "after the end\n");

    await(transport->disconnect());
    EXPECT_EQ(failureOf(transport->send("x")), systemFailure(ENOTCONN));
    EXPECT_EQ(log_.lines(), (Lines{"debug Transport connected successfully", "notice EOF received",
                                   "debug Transport disconnected"}));
}

TEST_F(StdioTransportTest, ConnectsAndDisconnectsOnce) {
    auto transport = makeTransport();
    await(transport->connect());
    await(transport->connect());
    writeAll(input_.writeEnd(), "once\n");
    auto stream = transport->receive();
    EXPECT_EQ(testing::textOf(await(stream->next())), "once") << "a second read loop would race the first for the line";
    await(transport->disconnect());
    await(transport->disconnect());
    EXPECT_EQ(await(stream->next()), std::nullopt);
    EXPECT_EQ(log_.lines(), (Lines{"debug Transport connected successfully", "trace Message received size=4",
                                   "debug Transport disconnected"}));
}

TEST_F(StdioTransportTest, PutsTheDescriptorFlagsBackOnDisconnect) {
    const int inputFlags = ::fcntl(input_.readEnd(), F_GETFL);
    const int outputFlags = ::fcntl(output_.writeEnd(), F_GETFL);
    auto transport = makeTransport();
    await(transport->connect());
    EXPECT_TRUE(isNonBlocking(input_.readEnd()));
    EXPECT_TRUE(isNonBlocking(output_.writeEnd()));
    await(transport->disconnect());
    EXPECT_EQ(::fcntl(input_.readEnd(), F_GETFL), inputFlags);
    EXPECT_EQ(::fcntl(output_.writeEnd(), F_GETFL), outputFlags);
    EXPECT_NE(::fcntl(input_.readEnd(), F_GETFD), -1) << "the caller's descriptors stay open";
}

TEST_F(StdioTransportTest, PutsTheFlagsBackWhenConnectFailsHalfWay) {
    const int inputFlags = ::fcntl(input_.readEnd(), F_GETFL);
    Pipe closed;
    const int gone = closed.writeEnd();
    closed.closeWriteEnd();
    auto transport = StdioTransport::make(io_.get_executor(), input_.readEnd(), gone, log_.logger());
    EXPECT_EQ(failureOf(transport->connect()), systemFailure(EBADF));
    EXPECT_EQ(::fcntl(input_.readEnd(), F_GETFL), inputFlags);
    EXPECT_EQ(failureOf(transport->send("x")), systemFailure(ENOTCONN));
    EXPECT_EQ(log_.lines(), Lines{});
}

TEST_F(StdioTransportTest, ServesOneDescriptorAsInputAndOutput) {
    int ends[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends), 0);
    auto transport = StdioTransport::make(io_.get_executor(), ends[0], ends[0]);
    await(transport->connect());
    await(transport->send("out"));
    writeAll(ends[1], "in\n");
    EXPECT_EQ(testing::textOf(await(transport->receive()->next())), "in");
    EXPECT_EQ(readAvailable(ends[1]), "out\n");
    await(transport->disconnect());
    ::close(ends[0]);
    ::close(ends[1]);
}

TEST_F(StdioTransportTest, WritingToAClosedReaderIsATransportError) {
    auto transport = makeTransport();
    await(transport->connect());
    output_.closeReadEnd();
    // Without the guard the process would die of SIGPIPE here.
    EXPECT_EQ(failureOf(transport->send("nobody reads this")), systemFailure(EPIPE));
    await(transport->disconnect());
}

TEST_F(StdioTransportTest, SkipsALineOverTheLimitAndGoesOn) {
    auto transport = makeTransport(16);
    await(transport->connect());
    auto stream = transport->receive();
    writeAll(input_.writeEnd(), std::string(16, 'a') + "\n");
    EXPECT_EQ(testing::textOf(await(stream->next())), std::string(16, 'a'));
    writeAll(input_.writeEnd(), std::string(5000, 'b') + "\nnext\n");
    input_.closeWriteEnd();
    EXPECT_EQ(drain(stream), Lines{"next"});
    EXPECT_EQ(log_.lines(), (Lines{"debug Transport connected successfully", "trace Message received size=16",
                                   "error Line exceeds the limit and is skipped limit=16 size=4096",
                                   "trace Message received size=4", "notice EOF received"}));
    await(transport->disconnect());
}

TEST_F(StdioTransportTest, SendsWhileInputKeepsArriving) {
    auto transport = makeTransport();
    await(transport->connect());
    std::atomic<bool> replied = false;
    // Keeps the input busy until the reply has gone out; a reader that held the transport
    // while input is readable would never let the send run.
    std::thread flood([&] {
        const std::string line = R"({"jsonrpc":"2.0","method":"notifications/progress"})" "\n";
        while (!replied) {
            if (::write(input_.writeEnd(), line.data(), line.size()) < 0) break;
        }
        input_.closeWriteEnd();
    });
    auto stream = transport->receive();
    ASSERT_TRUE(await(stream->next()));
    await(transport->send("reply"));
    replied = true;
    drain(stream);
    flood.join();
    EXPECT_EQ(readAvailable(output_.readEnd()), "reply\n");
    await(transport->disconnect());
}

TEST_F(StdioTransportTest, ReadsARegularFile) {
    char path[] = "/tmp/stdio_transport_testXXXXXX";
    const int file = ::mkstemp(path);
    ASSERT_GE(file, 0);
    ::unlink(path);
    writeAll(file, "from a file\n");
    ::lseek(file, 0, SEEK_SET);
    auto transport = StdioTransport::make(io_.get_executor(), file, output_.writeEnd());
    await(transport->connect());
    EXPECT_EQ(drain(transport->receive()), Lines{"from a file"});
    await(transport->disconnect());
    ::close(file);
}

}  // namespace
}  // namespace mcp
