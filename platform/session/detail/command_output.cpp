#include "platform/session/detail/command_output.hpp"

#include "platform/detail/spawning.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

namespace platform::detail {

namespace {

// Pipe: both ends, closed with it.
struct Pipe {
    int read = -1;
    int write = -1;
    ~Pipe() {
        if (read >= 0) ::close(read);
        if (write >= 0) ::close(write);
    }
};

// The started process's output, until it closes it, writes more than maxBytes or the time is
// up; none in the last two cases.
std::optional<std::string> readOutput(int fd, std::chrono::steady_clock::time_point deadline, std::size_t maxBytes) {
    std::string output;
    char buffer[4096];
    pollfd watched{fd, POLLIN, 0};
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0) return std::nullopt;
        const int ready = ::poll(&watched, 1, static_cast<int>(std::min<long long>(left, 60'000)));
        if (ready < 0 && errno != EINTR) return std::nullopt;
        if (ready <= 0) continue;
        const auto got = ::read(fd, buffer, sizeof buffer);
        if (got == 0) return output;
        if (got < 0) {
            if (errno == EINTR || errno == EAGAIN) continue;
            return std::nullopt;
        }
        if (output.size() + static_cast<std::size_t>(got) > maxBytes) return std::nullopt;
        output.append(buffer, static_cast<std::size_t>(got));
    }
}

// Whether the process ends by deadline; when it can't be watched, as if it had.
bool endsBy(pid_t pid, std::chrono::steady_clock::time_point deadline) {
    const int ended = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    if (ended < 0) return true;
    pollfd watched{ended, POLLIN, 0};
    int ready = 0;
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        ready = ::poll(&watched, 1, static_cast<int>(std::clamp<long long>(left, 0, 60'000)));
        if (ready > 0 || left <= 0 || (ready < 0 && errno != EINTR)) break;
    }
    ::close(ended);
    return ready > 0;
}

}  // namespace

std::optional<std::string> commandOutput(const std::vector<std::string>& argv, const Environment& environment,
                                         std::chrono::milliseconds limit, std::size_t maxBytes) {
    if (argv.empty()) return std::nullopt;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    Pipe output;
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) return std::nullopt;
    output.read = ends[0];
    output.write = ends[1];

    SpawnSetup setup;
    ::posix_spawn_file_actions_addopen(setup.actions(), STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    ::posix_spawn_file_actions_adddup2(setup.actions(), output.write, STDOUT_FILENO);
    ::posix_spawn_file_actions_addopen(setup.actions(), STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    // A group of its own: whatever it starts in turn ends with it when the time is up.
    ::posix_spawnattr_setpgroup(setup.attributes(), 0);
    ::posix_spawnattr_setflags(setup.attributes(), POSIX_SPAWN_SETPGROUP);

    const auto arguments = cStrings(argv);
    const auto entries = environmentEntries(environment);
    const auto variables = cStrings(entries);

    pid_t pid = 0;
    if (::posix_spawnp(&pid, arguments[0], setup.actions(), setup.attributes(), arguments.data(), variables.data()) != 0) {
        return std::nullopt;
    }
    ::close(std::exchange(output.write, -1));

    // A process that closed its output may still run on: the limit holds for its end too.
    auto text = readOutput(output.read, deadline, maxBytes);
    if (!text || !endsBy(pid, deadline)) {
        ::kill(-pid, SIGKILL);
        text.reset();
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!text || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
    return text;
}

}  // namespace platform::detail
