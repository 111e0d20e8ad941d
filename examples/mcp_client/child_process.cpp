#include "examples/mcp_client/child_process.hpp"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace {

[[noreturn]] void fail(const char* what) { throw std::system_error(errno, std::generic_category(), what); }

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
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
