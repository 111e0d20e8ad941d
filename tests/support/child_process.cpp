#include "tests/support/child_process.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <thread>
#include <utility>

namespace test_support {

namespace {

using Clock = std::chrono::steady_clock;

std::vector<char*> pointers(const std::vector<std::string>& strings) {
    std::vector<char*> result;
    for (const auto& s : strings) result.push_back(const_cast<char*>(s.c_str()));
    result.push_back(nullptr);
    return result;
}

int remainingMs(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv,
                           const std::vector<std::string>& environment) {
    int input[2];
    int output[2];
    if (pipe2(input, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    if (pipe2(output, O_CLOEXEC) != 0) {
        close(input[0]);
        close(input[1]);
        throw std::runtime_error("pipe failed");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    // Nothing else of the test's: a socket it holds (a port it took, a connection) must end
    // when the test closes it, not live on in the program it started.
    posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
    auto args = pointers(argv);
    auto env = pointers(environment);
    const int result = posix_spawnp(&pid_, args[0], &actions, nullptr, args.data(), env.data());
    posix_spawn_file_actions_destroy(&actions);
    close(input[0]);
    close(output[1]);
    stdin_ = input[1];
    stdout_ = output[0];
    if (result != 0) {
        close(stdin_);
        close(stdout_);
        throw std::runtime_error("can't start " + argv.front() + ": " + std::strerror(result));
    }
}

ChildProcess::~ChildProcess() {
    kill();
    close(stdin_);
    close(stdout_);
}

bool ChildProcess::readMore(Clock::time_point deadline) {
    pollfd fd{stdout_, POLLIN, 0};
    for (;;) {
        const int ready = poll(&fd, 1, remainingMs(deadline));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return false;
        char chunk[4096];
        const auto got = read(stdout_, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        buffer_.append(chunk, static_cast<std::size_t>(got));
        return true;
    }
}

std::optional<std::string> ChildProcess::readLine(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        const auto end = buffer_.find('\n');
        if (end != std::string::npos) {
            auto line = buffer_.substr(0, end);
            buffer_.erase(0, end + 1);
            return line;
        }
        if (!readMore(deadline)) return std::nullopt;
    }
}

std::string ChildProcess::readAll(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (readMore(deadline)) {
    }
    return std::exchange(buffer_, {});
}

std::optional<int> ChildProcess::wait(std::chrono::milliseconds timeout) {
    if (reaped_) return std::nullopt;
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        int status = 0;
        const auto done = waitpid(pid_, &status, WNOHANG);
        if (done == pid_) {
            reaped_ = true;
            return status;
        }
        if (done < 0 || Clock::now() >= deadline) return std::nullopt;
        // The child's end has no descriptor to wait on; check again shortly.
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

void ChildProcess::kill() {
    if (reaped_) return;
    ::kill(pid_, SIGKILL);
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    reaped_ = true;
}

ToolResult runTool(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
                   std::chrono::milliseconds timeout) {
    ChildProcess tool(argv, environment);
    ToolResult result;
    result.output = tool.readAll(timeout);
    const auto status = tool.wait(std::chrono::milliseconds(500));
    if (status && WIFEXITED(*status)) result.exitCode = WEXITSTATUS(*status);
    return result;
}

}  // namespace test_support
