#include "examples/mcp_client/child_process.hpp"

#include <fcntl.h>
#include <poll.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <system_error>

namespace {

// How long a server has to end by itself, and then after SIGTERM.
constexpr std::chrono::milliseconds kGrace{2000};

[[noreturn]] void fail(const char* what) { throw std::system_error(errno, std::generic_category(), what); }

// endsWithin: whether the process of the pidfd ends within limit.
bool endsWithin(int pidfd, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    pollfd watched{pidfd, POLLIN, 0};
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        const int ready = ::poll(&watched, 1, static_cast<int>(std::max<std::chrono::milliseconds::rep>(left.count(), 0)));
        if (ready > 0) return true;
        if (ready == 0 || errno != EINTR) return false;
    }
}

}  // namespace

ChildProcess ChildProcess::start(const std::vector<std::string>& command) {
    int input[2];
    int output[2];
    if (::pipe2(input, O_CLOEXEC) != 0) fail("pipe");
    if (::pipe2(output, O_CLOEXEC) != 0) fail("pipe");
    std::vector<char*> argv;
    for (const auto& word : command) argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);

    const pid_t pid = ::fork();
    if (pid < 0) fail("fork");
    if (pid == 0) {
        // dup2 clears close-on-exec on the copies, so only these two reach the server.
        if (::dup2(input[0], STDIN_FILENO) < 0 || ::dup2(output[1], STDOUT_FILENO) < 0) ::_exit(127);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(input[0]);
    ::close(output[1]);
    return {pid, output[0], input[1]};
}

int ChildProcess::finish() {
    if (toChild >= 0) ::close(toChild);
    if (fromChild >= 0) ::close(fromChild);
    toChild = fromChild = -1;
    // The descriptor becomes readable when the process ends, so each wait has a limit. Without
    // one (a kernel older than 5.3) the wait below has none.
    const int ended = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    for (const int signal : {SIGTERM, SIGKILL}) {
        if (ended < 0 || endsWithin(ended, kGrace)) break;
        ::kill(pid, signal);
    }
    if (ended >= 0) ::close(ended);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
