#include "platform/posix_self_launcher.hpp"

#include "platform/detail/spawning.hpp"
#include "platform/error.hpp"
#include "platform/linux_process_info.hpp"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>
#include <utility>

namespace platform {

namespace {

using detail::SpawnSetup;

void check(int result, const std::string& what) {
    if (result != 0) throw errnoError(what, result);
}

}  // namespace

PosixSelfLauncher::PosixSelfLauncher()
    : PosixSelfLauncher("/proc/self/exe", {LinuxProcessInfo().executablePath()}) {}

PosixSelfLauncher::PosixSelfLauncher(std::string executable, std::vector<std::string> argv,
                                     EnvironmentSource environment)
    : executable_(std::move(executable)), argv_(std::move(argv)), environment_(std::move(environment)) {}

void PosixSelfLauncher::launchDetached() {
    const auto entries = environmentEntries(environment_());
    const std::string what = "Can't start " + (argv_.empty() ? executable_ : argv_.front());
    SpawnSetup setup;

    // The bridge ignores SIGPIPE and a client may have blocked signals: the program starts
    // with the defaults, as if started from a desktop launcher.
    sigset_t all;
    sigset_t none;
    ::sigfillset(&all);
    ::sigemptyset(&none);
    check(::posix_spawnattr_setsigdefault(setup.attributes(), &all), what);
    check(::posix_spawnattr_setsigmask(setup.attributes(), &none), what);
    check(::posix_spawnattr_setflags(setup.attributes(),
                                     POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK),
          what);

    auto* actions = setup.actions();
    check(::posix_spawn_file_actions_addopen(actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0), what);
    check(::posix_spawn_file_actions_addopen(actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0), what);
    check(::posix_spawn_file_actions_addopen(actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0), what);
    check(::posix_spawn_file_actions_addclosefrom_np(actions, STDERR_FILENO + 1), what);
    check(::posix_spawn_file_actions_addchdir_np(actions, "/"), what);

    const auto argv = detail::cStrings(argv_);
    const auto environment = detail::cStrings(entries);
    pid_t pid = 0;
    check(::posix_spawn(&pid, executable_.c_str(), actions, setup.attributes(), argv.data(), environment.data()),
          what);

    std::thread([pid] {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
}

}  // namespace platform
