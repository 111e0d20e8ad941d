#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace test_support {

// ChildProcess: a program the test starts, with its standard output read by the test and its
// standard input held open by it (so that a helper that ends at end of input ends with the
// test). Destroying it kills the program and reaps it.
class ChildProcess {
public:
    // Starts argv[0] (searched in PATH) with the given environment ("NAME=value" entries).
    // Throws std::runtime_error when it can't be started.
    ChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& environment);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return pid_; }

    // readLine: the next line of its output without the line break; none at the end of the
    // output or when nothing came within timeout.
    std::optional<std::string> readLine(std::chrono::milliseconds timeout);
    // readAll: its whole output, until it closes it or timeout passes.
    std::string readAll(std::chrono::milliseconds timeout);
    // wait: its exit status (as waitpid gives it); none when it is still running after timeout.
    std::optional<int> wait(std::chrono::milliseconds timeout);
    // kill: ends it with SIGKILL and reaps it; does nothing when it has already been reaped.
    void kill();

private:
    bool readMore(std::chrono::steady_clock::time_point deadline);

    pid_t pid_ = -1;
    int stdin_ = -1;
    int stdout_ = -1;
    std::string buffer_;
    bool reaped_ = false;
};

// ToolResult: how a command-line tool ended and what it printed.
struct ToolResult {
    int exitCode = -1;  // -1 when it didn't end normally within the time allowed
    std::string output;
};

// runTool: runs a tool to its end (killing it after timeout) with the given environment.
ToolResult runTool(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
                   std::chrono::milliseconds timeout = std::chrono::seconds(10));

}  // namespace test_support
