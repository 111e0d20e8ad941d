#pragma once

#include <filesystem>

namespace platform {

// Who started the program again: the user, whose start shows the running instance's notice, or
// the --stdio bridge, which started it because it couldn't reach the host.
enum class ReopenKind { user, bridge };

// The starts that reached a listener since it last looked, by kind.
struct Reopens {
    int byUser = 0;
    int byBridge = 0;

    friend bool operator==(const Reopens&, const Reopens&) = default;
};

// ReopenListener: the running instance's ear for a second start of the program: a Unix
// datagram socket beside the instance lock, made and owned by the holder of the lock. A start
// that finds the lock taken calls sendReopen on the same path, and the listener's descriptor
// becomes readable.
class ReopenListener {
public:
    // bind: listens on file, replacing a file left there by an instance that ended. Call it only
    // while holding the instance lock. Throws platform::Error when the socket can't be made
    // (a path too long for a socket is one such case).
    static ReopenListener bind(const std::filesystem::path& file);

    ReopenListener(ReopenListener&& other) noexcept;
    ReopenListener& operator=(ReopenListener&& other) noexcept;
    ReopenListener(const ReopenListener&) = delete;
    ReopenListener& operator=(const ReopenListener&) = delete;
    // Closes the socket and removes its file.
    ~ReopenListener();

    // fd: the socket, non-blocking, readable while a reopen waits; for the event loop to watch.
    int fd() const { return fd_; }
    // takeReopens: reads every waiting message without blocking; returns the reopens among them.
    Reopens takeReopens();

private:
    ReopenListener(int fd, std::filesystem::path file) : fd_(fd), file_(std::move(file)) {}

    int fd_ = -1;
    std::filesystem::path file_;
};

// sendReopen: tells the instance listening on file that the program was started again, and by
// whom. Never waits for it; returns false when no instance listens there or the message can't
// be sent. Never throws.
bool sendReopen(const std::filesystem::path& file, ReopenKind kind = ReopenKind::user) noexcept;

// reopenSocketFile: the socket beside an instance lock file: "vantor-mcp.sock" in its folder.
std::filesystem::path reopenSocketFile(const std::filesystem::path& lockFile);

}  // namespace platform
