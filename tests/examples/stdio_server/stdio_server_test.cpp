// Drives the stdio server example through pipes, as a client program that starts it would.

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

using Lines = std::vector<std::string>;
constexpr auto kDeadline = std::chrono::seconds(60);

// The example running with a pipe on its standard input and one on its standard output. The
// test keeps both ends of each pipe, so the child shares their open file descriptions (and
// with them the descriptor flags) as it would share a terminal with its shell.
class ServerProcess {
public:
    ServerProcess() {
        if (::pipe(input_) != 0 || ::pipe(output_) != 0) throw std::runtime_error("no pipe");
        for (const int descriptor : {input_[1], output_[0]}) ::fcntl(descriptor, F_SETFD, FD_CLOEXEC);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, input_[0], STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions, output_[1], STDOUT_FILENO);
        char* argv[] = {const_cast<char*>(STDIO_SERVER_PATH), nullptr};
        const int spawned = posix_spawn(&pid_, STDIO_SERVER_PATH, &actions, nullptr, argv, environ);
        posix_spawn_file_actions_destroy(&actions);
        if (spawned != 0) throw std::runtime_error("cannot run the example");
    }

    ~ServerProcess() {
        closeInput();
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        for (const int descriptor : {input_[0], output_[0], output_[1]}) {
            if (descriptor >= 0) ::close(descriptor);
        }
    }

    // The descriptions the child reads and writes, as the test holds them.
    int sharedInput() const { return input_[0]; }
    int sharedOutput() const { return output_[1]; }

    // Writes `bytes` to the child's input from a thread of its own (a large input and the
    // answers to it would fill both pipes), then ends the input.
    void writeThenClose(std::string bytes) {
        writer_ = std::thread([this, bytes = std::move(bytes)] {
            std::string_view rest(bytes);
            while (!rest.empty()) {
                const ssize_t written = ::write(input_[1], rest.data(), rest.size());
                if (written <= 0) break;
                rest.remove_prefix(static_cast<std::size_t>(written));
            }
            closeInput();
        });
    }

    // Everything the child writes until it exits, then its exit status. With
    // `keepOutputOpen` the test still holds the output's write end, so the end of the output
    // is not seen and the exit alone ends the wait.
    std::pair<std::string, int> outputAndExit(bool keepOutputOpen = false) {
        if (!keepOutputOpen) ::close(std::exchange(output_[1], -1));
        std::string output;
        int status = 0;
        bool exited = false;
        const auto deadline = std::chrono::steady_clock::now() + kDeadline;
        char chunk[65536];
        while (std::chrono::steady_clock::now() < deadline) {
            pollfd readable{output_[0], POLLIN, 0};
            if (::poll(&readable, 1, exited ? 0 : 100) > 0) {
                const ssize_t count = ::read(output_[0], chunk, sizeof chunk);
                if (count > 0) {
                    output.append(chunk, static_cast<std::size_t>(count));
                    continue;
                }
                // The child closed its output: it is exiting.
                if (!exited) exited = ::waitpid(pid_, &status, 0) == pid_;
                break;
            }
            if (exited) break;
            exited = ::waitpid(pid_, &status, WNOHANG) == pid_;
        }
        if (writer_.joinable()) writer_.join();
        if (!exited) return {output, -1};
        pid_ = -1;
        return {output, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
    }

private:
    void closeInput() {
        if (input_[1] >= 0) ::close(std::exchange(input_[1], -1));
    }

    pid_t pid_ = -1;
    int input_[2] = {-1, -1};
    int output_[2] = {-1, -1};
    std::thread writer_;
};

Lines linesOf(const std::string& output) {
    Lines lines;
    std::size_t start = 0;
    for (std::size_t end; (end = output.find('\n', start)) != std::string::npos; start = end + 1) {
        lines.push_back(output.substr(start, end - start));
    }
    if (start != output.size()) lines.push_back("unterminated: " + output.substr(start));
    return lines;
}

TEST(StdioServerExample, AnswersEachLineAndExitsAtEndOfInput) {
    const struct {
        std::string_view name;
        std::string input;
        Lines want;
    } cases[] = {
        {"ping", "{\"jsonrpc\":\"2.0\",\"id\":1,\"method\":\"ping\"}\n", {R"({"id":1,"jsonrpc":"2.0","result":{}})"}},
        {"carriage return before the line feed",
         "{\"jsonrpc\":\"2.0\",\"id\":1,\"method\":\"ping\"}\r\n",
         {R"({"id":1,"jsonrpc":"2.0","result":{}})"}},
        {"empty lines are no messages",
         "\n\n{\"jsonrpc\":\"2.0\",\"id\":2,\"method\":\"ping\"}\n\n",
         {R"({"id":2,"jsonrpc":"2.0","result":{}})"}},
        {"a lone carriage return is a line",
         "\r\n",
         {R"({"error":{"code":-32700,"data":{"detail":"Invalid message format"},"message":"Parse error: Invalid JSON: Invalid message format"},"id":null,"jsonrpc":"2.0"})"}},
        {"the tool",
         "{\"jsonrpc\":\"2.0\",\"id\":3,\"method\":\"tools/call\",\"params\":{\"name\":\"echo\",\"arguments\":{\"text\":\"hi\"}}}\n",
         {R"({"id":3,"jsonrpc":"2.0","result":{"content":[{"text":"hi","type":"text"}],"isError":false}})"}},
        {"no line feed at the end", "{\"jsonrpc\":\"2.0\",\"id\":4,\"method\":\"ping\"}", {}},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        ServerProcess server;
        server.writeThenClose(row.input);
        const auto [output, status] = server.outputAndExit();
        EXPECT_EQ(linesOf(output), row.want);
        EXPECT_EQ(status, 0);
    }
}

TEST(StdioServerExample, EchoesAFiveMegabyteLineWhole) {
    const std::string text(5'000'000, 'x');
    ServerProcess server;
    server.writeThenClose(R"({"jsonrpc":"2.0","id":1,"method":"tools/call","params":{"name":"echo","arguments":{"text":")" +
                          text + "\"}}}\n");
    const auto [output, status] = server.outputAndExit();
    EXPECT_EQ(status, 0);
    EXPECT_EQ(output, R"({"id":1,"jsonrpc":"2.0","result":{"content":[{"text":")" + text + R"(","type":"text"}],"isError":false}})"
                          "\n");
}

TEST(StdioServerExample, LeavesTheSharedDescriptorFlagsAsItFoundThem) {
    ServerProcess server;
    const int inputFlags = ::fcntl(server.sharedInput(), F_GETFL);
    const int outputFlags = ::fcntl(server.sharedOutput(), F_GETFL);
    ASSERT_EQ(inputFlags & O_NONBLOCK, 0);
    server.writeThenClose("{\"jsonrpc\":\"2.0\",\"id\":1,\"method\":\"ping\"}\n");
    const auto [output, status] = server.outputAndExit(true);
    EXPECT_EQ(output, "{\"id\":1,\"jsonrpc\":\"2.0\",\"result\":{}}\n");
    EXPECT_EQ(status, 0);
    EXPECT_EQ(::fcntl(server.sharedInput(), F_GETFL), inputFlags);
    EXPECT_EQ(::fcntl(server.sharedOutput(), F_GETFL), outputFlags);
}

}  // namespace
