// Requests per second from HTTPClientTransport to the stateless example server, a separate
// process on 127.0.0.1: tools/call "echo" round trips with 1 and 16 in flight, over the
// keep-alive pool and, for comparison, with a new connection per request.

#include "mcp/http/client/http_client_transport.hpp"

#include "tests/support/http/example_server_process.hpp"

#include <benchmark/benchmark.h>

#include <boost/asio/co_spawn.hpp>
#include <boost/asio/detached.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/url/parse.hpp>

#include <string>

namespace {

namespace asio = boost::asio;

// Started once for the whole run.
const test_support::ExampleServerProcess& server() {
    static const test_support::ExampleServerProcess instance(STATELESS_HTTP_SERVER_PATH);
    return instance;
}

// IDs must differ between the requests in flight: the server refuses a duplicate.
std::string call(int id) {
    return R"({"jsonrpc":"2.0","id":)" + std::to_string(id) +
           R"(,"method":"tools/call","params":{"name":"echo","arguments":{"text":"hello"}}})";
}
constexpr int kRequestsPerIteration = 256;

asio::awaitable<void> sendMany(std::shared_ptr<mcp::HTTPClientTransport> transport, int firstID, int count) {
    for (int i = 0; i < count; ++i) co_await transport->send(call(firstID + i));
}

asio::awaitable<void> drain(std::shared_ptr<mcp::MessageStream> incoming, std::int64_t& received) {
    while (true) {
        // Named: GCC 12 miscompiles a co_await inside a loop condition.
        const auto message = co_await incoming->next();
        if (!message) break;
        ++received;
    }
}

void roundTrips(benchmark::State& state, bool keepAlive) {
    const int inFlight = static_cast<int>(state.range(0));
    asio::io_context io;
    mcp::HTTPClientTransport::Options options;
    if (!keepAlive) {
        options.requestModifier = [](net::HTTPRequest request) {
            request.headers.set("Connection", "close");
            return request;
        };
    }
    auto transport = mcp::HTTPClientTransport::make(io.get_executor(), boost::urls::parse_uri(server().url()).value(),
                                                    std::move(options));
    asio::co_spawn(io, transport->connect(), asio::detached);
    std::int64_t received = 0;
    asio::co_spawn(io, drain(transport->receive(), received), asio::detached);
    io.run_for(std::chrono::milliseconds(10));

    for (auto _ : state) {
        int finished = 0;
        std::exception_ptr failure;
        for (int worker = 0; worker < inFlight; ++worker) {
            const int share = kRequestsPerIteration / inFlight;
            asio::co_spawn(io, sendMany(transport, worker * share, share), [&](std::exception_ptr error) {
                ++finished;
                if (error) failure = error;
            });
        }
        while (finished < inFlight) {
            if (io.stopped()) io.restart();
            io.run_one();
        }
        if (failure) std::rethrow_exception(failure);
    }
    asio::co_spawn(io, transport->disconnect(), asio::detached);
    io.restart();
    io.run_for(std::chrono::milliseconds(50));
    state.SetItemsProcessed(state.iterations() * kRequestsPerIteration);
    state.counters["answers"] = static_cast<double>(received);
}

void BM_KeepAliveRoundTrips(benchmark::State& state) { roundTrips(state, true); }
void BM_NewConnectionRoundTrips(benchmark::State& state) { roundTrips(state, false); }

BENCHMARK(BM_KeepAliveRoundTrips)->Arg(1)->Arg(16)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NewConnectionRoundTrips)->Arg(1)->Arg(16)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
