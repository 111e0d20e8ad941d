#include "app/run_stdio_bridge.hpp"

#include "app/parent_watchdog.hpp"
#include "app/reopening.hpp"
#include "app/stdio_bridge.hpp"

#include "platform/error.hpp"
#include "platform/ini_settings.hpp"
#include "platform/linux_process_info.hpp"
#include "platform/openssl_random.hpp"
#include "platform/posix_self_launcher.hpp"

#include <cerrno>
#include <unistd.h>

#include <chrono>
#include <iostream>
#include <optional>
#include <string>

namespace app {

namespace {

constexpr auto kWatchdogPeriod = std::chrono::seconds(3);

// One write per line, so that lines never interleave with anything else written to the pipe.
// A client that has closed our output loses the line; reading goes on until input ends.
void writeStdoutLine(std::string_view line) {
    std::string bytes(line);
    bytes += '\n';
    std::string_view rest = bytes;
    while (!rest.empty()) {
        const auto written = ::write(STDOUT_FILENO, rest.data(), rest.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            return;
        }
        rest.remove_prefix(static_cast<std::size_t>(written));
    }
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
    platform::OpenSSLRandom random;
    HttpHostClient host;
    // The program it starts shows no running notice should it find itself running already.
    platform::PosixSelfLauncher launcher(
        "/proc/self/exe", {platform::LinuxProcessInfo().executablePath(), std::string(kFromBridgeArgument)});
    StdioBridge bridge({*settings, random, host, launcher, writeStdoutLine});
    std::ios::sync_with_stdio(false);
    bridge.run(std::cin);
    return 0;
}

}  // namespace app
