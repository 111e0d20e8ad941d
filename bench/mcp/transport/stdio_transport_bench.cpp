// The stdio transport end to end: the round trip of a ping through a server on the transport
// over two pipes (the client writes and reads with plain blocking calls, as another process
// would), and the processor time that a connected transport spends while its input is idle.

#include "mcp/server/server.hpp"
#include "mcp/transport/stdio_transport.hpp"

#include <boost/asio/co_spawn.hpp>
#include <boost/asio/detached.hpp>
#include <boost/asio/io_context.hpp>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <exception>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <sys/resource.h>
#include <unistd.h>

namespace {

namespace asio = boost::asio;

struct Pipe {
    Pipe() {
        if (::pipe(ends) != 0) throw std::runtime_error("no pipe");
    }
    ~Pipe() {
        ::close(ends[0]);
        ::close(ends[1]);
    }
    int ends[2];
};

void ignoreFailure(std::exception_ptr) {}

// A server on a stdio transport over `input` and `output`, served by a thread of its own.
class ServerThread {
public:
    ServerThread(int input, int output) {
        auto server = std::make_shared<mcp::Server>(io_.get_executor(), "bench", "1.0");
        auto transport = mcp::StdioTransport::make(io_.get_executor(), input, output);
        asio::co_spawn(io_, server->start(transport), ignoreFailure);
        server_ = server;
        thread_ = std::thread([this] { io_.run(); });
    }
    ~ServerThread() {
        asio::co_spawn(io_, server_->stop(), ignoreFailure);
        work_.reset();
        thread_.join();
    }

private:
    asio::io_context io_;
    std::optional<asio::executor_work_guard<asio::io_context::executor_type>> work_{io_.get_executor()};
    std::shared_ptr<mcp::Server> server_;
    std::thread thread_;
};

std::string readLine(int descriptor) {
    std::string line;
    char byte;
    while (::read(descriptor, &byte, 1) == 1 && byte != '\n') line.push_back(byte);
    return line;
}

void pingRoundTrip(benchmark::State& state) {
    Pipe toServer;
    Pipe toClient;
    ServerThread server(toServer.ends[0], toClient.ends[1]);
    const std::string ping = "{\"jsonrpc\":\"2.0\",\"id\":1,\"method\":\"ping\"}\n";
    std::vector<double> microseconds;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        if (::write(toServer.ends[1], ping.data(), ping.size()) != static_cast<ssize_t>(ping.size())) {
            state.SkipWithError("write failed");
            break;
        }
        const std::string reply = readLine(toClient.ends[0]);
        microseconds.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
        if (reply.size() != 36) state.SkipWithError("no answer");
    }
    if (microseconds.empty()) return;
    std::sort(microseconds.begin(), microseconds.end());
    state.counters["p50_us"] = microseconds[microseconds.size() / 2];
    state.counters["p99_us"] = microseconds[microseconds.size() * 99 / 100];
}
BENCHMARK(pingRoundTrip)->Unit(benchmark::kMicrosecond)->MinTime(2.0);

double processorSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& time) { return static_cast<double>(time.tv_sec) + time.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Processor time per second of a transport that waits for input that doesn't come.
void idleTransport(benchmark::State& state) {
    Pipe input;
    Pipe output;
    ServerThread server(input.ends[0], output.ends[1]);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    double busy = 0;
    double wall = 0;
    for (auto _ : state) {
        const double before = processorSeconds();
        const auto start = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(2));
        wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        busy += processorSeconds() - before;
    }
    state.counters["cpu_percent"] = 100.0 * busy / wall;
}
BENCHMARK(idleTransport)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
