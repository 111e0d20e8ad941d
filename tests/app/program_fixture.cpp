#include "tests/app/program_fixture.hpp"

#include "tests/support/child_process.hpp"

#include "platform/ini_settings.hpp"
#include "platform/reopen_socket.hpp"

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string_view>
#include <thread>

extern char** environ;

namespace test_support {

namespace {

std::string readFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Whether the process runs (a zombie has ended).
bool running(pid_t pid) {
    const auto stat = readFile("/proc/" + std::to_string(pid) + "/stat");
    const auto close = stat.rfind(')');
    return close != std::string::npos && close + 2 < stat.size() && stat[close + 2] != 'Z';
}

}  // namespace

ProgramHome::ProgramHome() {
    std::filesystem::create_directories(folder() / "runtime");
    std::filesystem::permissions(folder() / "runtime", std::filesystem::perms::owner_all);
    std::filesystem::create_directories(binFolder());
    const auto manager = binFolder() / "systemctl";
    std::ofstream(manager) << "#!/bin/sh\necho 'Failed to connect to bus: No medium found' >&2\nexit 1\n";
    std::filesystem::permissions(manager, std::filesystem::perms::owner_all);
}

ProgramHome::~ProgramHome() {
    endPrograms();
}

std::filesystem::path ProgramHome::settingsFile() const {
    return folder() / "config" / "vantor-mcp" / "settings.ini";
}

std::filesystem::path ProgramHome::lockFile() const {
    return folder() / "runtime" / "vantor-mcp.lock";
}

void ProgramHome::configure(unsigned short port, const std::string& token) {
    platform::IniSettings settings(settingsFile());
    settings.setInt("port", port);
    settings.setString("token", token);
    settings.setBool("hasSeenWelcome", true);
}

std::filesystem::path ProgramHome::reopenSocket() const {
    return platform::reopenSocketFile(lockFile());
}

bool ProgramHome::startsTaken() const {
    const auto sockets = runTool({"ss", "--unix", "--all", "--no-header"}, environment());
    std::istringstream lines(sockets.output);
    for (std::string line; std::getline(lines, line);) {
        // "u_dgr UNCONN 0 0 /path/vantor-mcp.sock 1234 * 0": the third column is the queue.
        std::istringstream columns(line);
        std::string kind, state, local;
        long queued = 0, sending = 0;
        if (columns >> kind >> state >> queued >> sending >> local && local == reopenSocket().string()) {
            return queued == 0;
        }
    }
    return false;
}

std::optional<std::string> ProgramHome::setting(const std::string& key) const {
    return platform::IniSettings(settingsFile()).getString(key);
}

std::vector<std::string> ProgramHome::environment(const std::string& display) const {
    std::vector<std::string> result;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string_view text = *entry;
        if (text.starts_with("DISPLAY=") || text.starts_with("XDG_CONFIG_HOME=") ||
            text.starts_with("XDG_RUNTIME_DIR=") || text.starts_with("PATH=")) {
            continue;
        }
        result.emplace_back(text);
    }
    const char* path = std::getenv("PATH");
    result.push_back("PATH=" + binFolder().string() + ":" + (path ? path : "/usr/bin:/bin"));
    result.push_back("XDG_CONFIG_HOME=" + (folder() / "config").string());
    result.push_back("XDG_RUNTIME_DIR=" + (folder() / "runtime").string());
    if (!display.empty()) result.push_back("DISPLAY=" + display);
    return result;
}

std::vector<pid_t> ProgramHome::programs() const {
    const std::string runtime = "XDG_RUNTIME_DIR=" + (folder() / "runtime").string();
    const std::filesystem::path executable = std::filesystem::canonical(kVantorMCP);
    std::vector<pid_t> found;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", ignored)) {
        const auto name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        std::error_code error;
        if (std::filesystem::read_symlink(entry.path() / "exe", error) != executable) continue;
        const auto arguments = readFile(entry.path() / "cmdline");
        if (arguments.find("--stdio") != std::string::npos) continue;
        std::istringstream variables(readFile(entry.path() / "environ"));
        bool ours = false;
        for (std::string variable; std::getline(variables, variable, '\0');) ours = ours || variable == runtime;
        const auto pid = static_cast<pid_t>(std::stol(name));
        if (ours && running(pid)) found.push_back(pid);
    }
    return found;
}

void ProgramHome::endPrograms() const {
    for (const auto pid : programs()) ::kill(pid, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!programs().empty() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    for (const auto pid : programs()) ::kill(pid, SIGKILL);
}

}  // namespace test_support
