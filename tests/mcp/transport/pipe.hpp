#pragma once

// Pipes for tests of what goes through file descriptors: the test holds one end, the code
// under test the other.

#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

#include <fcntl.h>
#include <unistd.h>

namespace mcp::testing {

// One pipe; the ends still open are closed with it.
struct Pipe {
    Pipe() {
        if (::pipe2(ends, O_CLOEXEC) != 0) throw std::runtime_error("pipe2 failed");
    }
    ~Pipe() {
        closeReadEnd();
        closeWriteEnd();
    }
    void closeReadEnd() {
        if (ends[0] >= 0) ::close(std::exchange(ends[0], -1));
    }
    void closeWriteEnd() {
        if (ends[1] >= 0) ::close(std::exchange(ends[1], -1));
    }
    int readEnd() const { return ends[0]; }
    int writeEnd() const { return ends[1]; }
    int ends[2];
};

inline void writeAll(int descriptor, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(descriptor, bytes.data(), bytes.size());
        if (written < 0) throw std::runtime_error("write failed");
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
}

// What is readable from a descriptor now (the descriptor is made non-blocking for it).
inline std::string readAvailable(int descriptor) {
    ::fcntl(descriptor, F_SETFL, ::fcntl(descriptor, F_GETFL) | O_NONBLOCK);
    std::string bytes;
    char chunk[4096];
    ssize_t count;
    while ((count = ::read(descriptor, chunk, sizeof chunk)) > 0) bytes.append(chunk, static_cast<std::size_t>(count));
    return bytes;
}

}  // namespace mcp::testing
