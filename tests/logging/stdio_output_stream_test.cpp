#include "logging/stdio_output_stream.hpp"

#include "tests/logging/own_process.hpp"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace logging {
namespace {

// A pipe whose write end is a fully buffered FILE*, so only a flush moves bytes to the read end.
class BufferedPipe {
public:
    BufferedPipe() {
        int ends[2];
        EXPECT_EQ(::pipe2(ends, O_NONBLOCK), 0);
        readEnd_ = ends[0];
        file_ = ::fdopen(ends[1], "w");
        std::setvbuf(file_, nullptr, _IOFBF, 4096);
    }
    ~BufferedPipe() {
        std::fclose(file_);
        ::close(readEnd_);
    }
    std::FILE* file() const { return file_; }
    // What has reached the read end so far.
    std::string drain() const {
        std::string bytes;
        char chunk[256];
        for (ssize_t got; (got = ::read(readEnd_, chunk, sizeof chunk)) > 0;) {
            bytes.append(chunk, static_cast<std::size_t>(got));
        }
        return bytes;
    }

private:
    int readEnd_ = -1;
    std::FILE* file_ = nullptr;
};

TEST(StdioOutputStream, FlushModeDecidesWhenBytesLeave) {
    const struct {
        const char* name;
        StdioOutputStream::FlushMode mode;
        std::string reachedAtOnce;
    } kCases[] = {
        {"always", StdioOutputStream::FlushMode::always, "one line\n"},
        {"undefined", StdioOutputStream::FlushMode::undefined, ""},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        const BufferedPipe pipe;
        StdioOutputStream stream(pipe.file(), c.mode);
        stream.write("one line\n");
        stream.write("");
        EXPECT_EQ(pipe.drain(), c.reachedAtOnce);
        std::fflush(pipe.file());
        EXPECT_EQ(c.reachedAtOnce + pipe.drain(), "one line\n");
    }
}

TEST(StdioOutputStream, StandardStreams) {
    EXPECT_EQ(StdioOutputStream::standardOutput()->flushMode(),
              StdioOutputStream::FlushMode::always);
    EXPECT_EQ(StdioOutputStream::standardOutput(), StdioOutputStream::standardOutput());

    ::testing::internal::CaptureStdout();
    StdioOutputStream::standardOutput()->write("to standard output\n");
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "to standard output\n");

    EXPECT_EXIT(
        {
            StdioOutputStream::standardError()->write("to standard error\n");
            std::_Exit(0);
        },
        ::testing::ExitedWithCode(0), "^to standard error\n$");
}

}  // namespace
}  // namespace logging
