#pragma once

// ExampleServerProcess: one of the project's example HTTP servers, started on a free port of
// 127.0.0.1 in a process of its own and ended with the object. Header-only, so benchmarks can
// use it too.

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <fcntl.h>
#include <regex>
#include <spawn.h>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace test_support {

class ExampleServerProcess {
public:
    // Runs `path` with the port argument 0 and reads the address it prints.
    explicit ExampleServerProcess(const char* path) {
        int out[2];
        if (pipe(out) != 0) throw std::runtime_error("no pipe");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        char* argv[] = {const_cast<char*>(path), const_cast<char*>("0"), nullptr};
        const int spawned = posix_spawn(&pid_, path, &actions, nullptr, argv, environ);
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        if (spawned != 0) {
            close(out[0]);
            throw std::runtime_error(std::string("cannot start ") + path);
        }
        output_ = fdopen(out[0], "r");
        char line[256] = {};
        std::smatch match;
        const std::string text = std::fgets(line, sizeof line, output_) ? line : "";
        if (!std::regex_search(text, match, std::regex(R"(http://127\.0\.0\.1:(\d+)/mcp)"))) {
            stop();
            throw std::runtime_error(std::string(path) + " printed no address: " + text);
        }
        url_ = match[0];
        port_ = static_cast<std::uint16_t>(std::stoi(match[1]));
    }
    ~ExampleServerProcess() { stop(); }
    ExampleServerProcess(const ExampleServerProcess&) = delete;
    ExampleServerProcess& operator=(const ExampleServerProcess&) = delete;

    // "http://127.0.0.1:<port>/mcp"
    const std::string& url() const { return url_; }
    std::uint16_t port() const { return port_; }

private:
    void stop() {
        if (pid_ == 0) return;
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
        pid_ = 0;
        if (output_) fclose(output_);
        output_ = nullptr;
    }

    pid_t pid_ = 0;
    FILE* output_ = nullptr;
    std::string url_;
    std::uint16_t port_ = 0;
};

}  // namespace test_support
