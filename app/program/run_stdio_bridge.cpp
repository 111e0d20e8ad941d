#include "app/program/run_stdio_bridge.hpp"

#include "app/bridge/bridge_messages.hpp"
#include "app/bridge/parent_watchdog.hpp"
#include "app/common/reopening.hpp"
#include "app/bridge/stdio_bridge.hpp"

#include "platform/error.hpp"
#include "platform/ini_settings.hpp"
#include "platform/linux_process_info.hpp"
#include "platform/openssl_random.hpp"
#include "platform/posix_self_launcher.hpp"
#include "platform/session/desktop_session.hpp"
#include "platform/session/user_folders.hpp"
#include "platform/session/user_manager.hpp"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <iostream>
#include <optional>
#include <string>

namespace app {

namespace {

constexpr auto kWatchdogPeriod = std::chrono::seconds(3);

// writeLine: one write per line, so that lines never interleave with anything else written to
// the pipe. A client that has closed our output loses the line; reading goes on until input
// ends.
void writeLine(int fd, std::string_view line) {
    std::string bytes(line);
    bytes += '\n';
    std::string_view rest = bytes;
    while (!rest.empty()) {
        const auto written = ::write(fd, rest.data(), rest.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            return;
        }
        rest.remove_prefix(static_cast<std::size_t>(written));
    }
}

// programEnvironment: the environment to start the program in: the user's desktop session,
// found even when the AI app gave the bridge none of its variables. Throws platform::Error
// with kNoDesktopSessionText when there is none, so that the agent learns why at once.
platform::Environment programEnvironment() {
    auto environment = platform::desktopSessionEnvironment(
        platform::processEnvironment(), {platform::userConfigFolder(), platform::systemRuntimeFolder(::geteuid())},
        platform::userManagerEnvironment);
    if (!environment) throw platform::Error(std::string(kNoDesktopSessionText));
    return *environment;
}

}  // namespace

int runStdioBridge() {
    ParentWatchdog watchdog(kWatchdogPeriod);
    std::optional<platform::IniSettings> settings;
    try {
        settings.emplace(platform::defaultSettingsFile());
    } catch (const platform::Error& error) {
        std::cerr << "vantor-mcp: " << error.what() << '\n';
        return 1;
    }
    // The replies keep standard output to themselves: whatever else writes to file descriptor 1
    // from now on reaches standard error instead.
    const int replies = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
    if (replies < 0 || ::dup2(STDERR_FILENO, STDOUT_FILENO) < 0) {
        std::cerr << "vantor-mcp: can't set up standard output\n";
        return 1;
    }
    platform::OpenSSLRandom random;
    HTTPHostClient host;
    // The program it starts shows no running notice should it find itself running already.
    platform::PosixSelfLauncher launcher(
        "/proc/self/exe", {platform::LinuxProcessInfo().executablePath(), std::string(kFromBridgeArgument)},
        programEnvironment);
    StdioBridge bridge({*settings, random, host, launcher, [replies](std::string_view line) { writeLine(replies, line); }});
    std::ios::sync_with_stdio(false);
    bridge.run(std::cin);
    return 0;
}

}  // namespace app
