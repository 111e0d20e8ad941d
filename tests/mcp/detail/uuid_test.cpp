#include "mcp/detail/uuid.hpp"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <string>

namespace mcp::detail {
namespace {

// UUIDs are drawn from a block of random bytes kept per thread; a forked child starts from
// a copy of its parent's memory, block included, and must not hand out the same values.
TEST(RandomUUID, AForkedChildDrawsOtherValuesThanItsParent) {
    // The first draw fills the block, so the parent's next values are already in memory.
    (void)randomUUID();

    std::array<int, 2> pipe{};
    ASSERT_EQ(::pipe(pipe.data()), 0);
    const pid_t child = ::fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        const std::string drawn = randomUUID();
        const bool written = ::write(pipe[1], drawn.data(), drawn.size()) == static_cast<ssize_t>(drawn.size());
        ::_exit(written ? 0 : 1);
    }
    ::close(pipe[1]);
    std::string fromChild(36, '\0');
    std::size_t read = 0;
    while (read < fromChild.size()) {
        const auto got = ::read(pipe[0], fromChild.data() + read, fromChild.size() - read);
        if (got <= 0) break;
        read += static_cast<std::size_t>(got);
    }
    ::close(pipe[0]);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    ASSERT_EQ(read, fromChild.size());

    EXPECT_NE(fromChild, randomUUID());
}

}  // namespace
}  // namespace mcp::detail
