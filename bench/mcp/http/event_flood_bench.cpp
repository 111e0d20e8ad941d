// The HTTP client transport under a flood of server events that comes faster than its consumer
// takes them: the peak memory while a server on 127.0.0.1 sends N notifications on the GET
// stream. The reader waits while the consumer's backlog is full, so the peak must stay the same
// (flat) whatever N is; a reader that queued everything would grow with N. Under the dev
// preset's AddressSanitizer, run with ASAN_OPTIONS=quarantine_size_mb=0: its quarantine keeps
// freed memory resident and hides the figure.

#include "mcp/http/client/http_client_transport.hpp"

#include <boost/asio/co_spawn.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/read_until.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/streambuf.hpp>
#include <boost/asio/this_coro.hpp>
#include <boost/asio/use_awaitable.hpp>
#include <boost/asio/write.hpp>
#include <boost/url/parse.hpp>

#include <benchmark/benchmark.h>

#include <fstream>
#include <string>
#include <thread>

namespace {

namespace asio = boost::asio;

// The process's peak resident memory in MiB since the last resetPeakMemory.
double peakMemoryMiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
    }
    return 0;
}

void resetPeakMemory() { std::ofstream("/proc/self/clear_refs") << "5"; }

// Answers the first request on 127.0.0.1 with an event stream of `count` notifications,
// written in large blocks as fast as the socket takes them, then closes.
class FloodServer {
public:
    explicit FloodServer(std::size_t count) : acceptor_(io_, {asio::ip::make_address("127.0.0.1"), 0}) {
        thread_ = std::thread([this, count] {
            boost::system::error_code error;
            asio::ip::tcp::socket socket(io_);
            acceptor_.accept(socket, error);
            if (error) return;
            asio::streambuf head;
            asio::read_until(socket, head, "\r\n\r\n", error);
            std::string block = "HTTP/1.1 200 OK\r\nContent-Type: text/event-stream\r\nConnection: close\r\n\r\n";
            const std::string event =
                "data: {\"jsonrpc\":\"2.0\",\"method\":\"notifications/message\",\"params\":{\"level\":\"info\","
                "\"data\":\"a line of the server's log, long enough to weigh something\"}}\n\n";
            for (std::size_t sent = 0; sent < count && !error; ++sent) {
                block += event;
                if (block.size() >= 256 * 1024 || sent + 1 == count) {
                    asio::write(socket, asio::buffer(block), error);
                    block.clear();
                }
            }
            socket.shutdown(asio::ip::tcp::socket::shutdown_send, error);
        });
    }
    ~FloodServer() {
        acceptor_.close();
        thread_.join();
    }
    std::string url() const { return "http://127.0.0.1:" + std::to_string(acceptor_.local_endpoint().port()) + "/mcp"; }

private:
    asio::io_context io_;
    asio::ip::tcp::acceptor acceptor_;
    std::thread thread_;
};

// Takes `count` messages, pausing a millisecond after every 64 as a consumer with real work
// would: the reader is always ahead.
asio::awaitable<void> consume(std::shared_ptr<mcp::HTTPClientTransport> transport, std::size_t count) {
    auto incoming = transport->receive();
    asio::steady_timer pause(co_await asio::this_coro::executor);
    for (std::size_t taken = 0; taken < count; ++taken) {
        if (!co_await incoming->next()) break;
        if (taken % 64 == 63) {
            pause.expires_after(std::chrono::milliseconds(1));
            co_await pause.async_wait(asio::use_awaitable);
        }
    }
    co_await transport->disconnect();
}

void eventFlood(benchmark::State& state) {
    const auto count = static_cast<std::size_t>(state.range(0));
    double peak = 0;
    for (auto _ : state) {
        FloodServer server(count);
        asio::io_context io;
        mcp::HTTPClientTransport::Options options;
        options.sseInitializationTimeout = 0;
        auto transport = mcp::HTTPClientTransport::make(io.get_executor(), boost::urls::parse_uri(server.url()).value(),
                                                        options);
        resetPeakMemory();
        const double before = peakMemoryMiB();
        asio::co_spawn(io, [&]() -> asio::awaitable<void> {
            co_await transport->connect();
            co_await consume(transport, count);
        }, [](std::exception_ptr) {});
        io.run();
        peak = std::max(peak, peakMemoryMiB() - before);
    }
    state.counters["peak_growth_MiB"] = peak;
    state.counters["events"] = static_cast<double>(count);
}
BENCHMARK(eventFlood)->Arg(20'000)->Arg(200'000)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
