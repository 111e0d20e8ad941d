// The client's round trip: a ping sent by the client, answered by the project's own server
// over the in-memory pair, and matched back to its caller; with 1, 64 and 1,024 requests in
// flight. Reports round trips per second, the p50 and p99 latency of one round trip, and the
// JSON texts read per round trip (the request by the server, the answer by the client).

#include "mcp/client/client.hpp"
#include "mcp/json/json.hpp"
#include "mcp/server/server.hpp"
#include "mcp/transport/in_memory_transport.hpp"
#include "mcp/transport/strand_hop.hpp"

#include <boost/asio/co_spawn.hpp>
#include <boost/asio/io_context.hpp>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <exception>
#include <memory>
#include <vector>

namespace {

namespace asio = boost::asio;
using Clock = std::chrono::steady_clock;

// Round trips in one benchmark iteration, shared among the callers.
constexpr std::int64_t kRoundTripsPerIteration = 4096;

// The client's and the server's loops always wait for the next message, so the io_context
// never runs out of work: it runs until `done` holds.
template <class Condition>
void runUntil(asio::io_context& io, Condition done) {
    while (!done() && io.run_one() > 0) {
    }
}

void reportFailure(benchmark::State& state, std::exception_ptr error) {
    if (!error) return;
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& failure) {
        state.SkipWithError(failure.what());
    }
}

void pingRoundTrips(benchmark::State& state) {
    const auto inFlight = state.range(0);
    asio::io_context io;
    // One strand for the client, the server, the pair between them and the callers, as a
    // program that joins them in one process is told to make them.
    const auto strand = mcp::strandOf(io.get_executor());
    auto server = std::make_shared<mcp::Server>(strand, "bench", "1.0");
    auto client = std::make_shared<mcp::Client>(strand, "bench", "1.0");
    auto [clientEnd, serverEnd] = mcp::InMemoryTransport::createConnectedPair(strand);
    bool ready = false;
    asio::co_spawn(strand, [&]() -> asio::awaitable<void> {
        co_await server->start(serverEnd);
        co_await client->connect(clientEnd);
        // The server reads "notifications/initialized" during this round trip, outside the
        // count.
        co_await client->ping();
    }, [&](std::exception_ptr error) {
        reportFailure(state, error);
        ready = true;
    });
    runUntil(io, [&] { return ready; });

    std::vector<double> latencies;
    latencies.reserve(static_cast<std::size_t>(kRoundTripsPerIteration) * 64);
    // Everything runs on this thread, where the count is kept.
    const auto readsBefore = mcp::jsonReadCount();
    for (auto _ : state) {
        std::int64_t remaining = kRoundTripsPerIteration;
        std::int64_t finished = 0;
        for (std::int64_t caller = 0; caller < inFlight; ++caller) {
            asio::co_spawn(strand, [&]() -> asio::awaitable<void> {
                while (remaining > 0) {
                    --remaining;
                    const auto began = Clock::now();
                    co_await client->ping();
                    latencies.push_back(std::chrono::duration<double, std::micro>(Clock::now() - began).count());
                }
            }, [&](std::exception_ptr error) {
                reportFailure(state, error);
                ++finished;
            });
        }
        runUntil(io, [&] { return finished == inFlight; });
    }
    const auto reads = mcp::jsonReadCount() - readsBefore;

    bool stopped = false;
    asio::co_spawn(strand, [&]() -> asio::awaitable<void> {
        co_await client->disconnect();
        co_await server->stop();
    }, [&](std::exception_ptr error) {
        reportFailure(state, error);
        stopped = true;
    });
    runUntil(io, [&] { return stopped; });

    const auto roundTrips = state.iterations() * kRoundTripsPerIteration;
    state.SetItemsProcessed(roundTrips);
    if (roundTrips > 0) state.counters["json_reads"] = static_cast<double>(reads) / static_cast<double>(roundTrips);
    if (latencies.empty()) return;
    std::sort(latencies.begin(), latencies.end());
    const auto at = [&](double fraction) {
        return latencies[std::min(latencies.size() - 1, static_cast<std::size_t>(fraction * latencies.size()))];
    };
    state.counters["p50_us"] = at(0.50);
    state.counters["p99_us"] = at(0.99);
}
BENCHMARK(pingRoundTrips)->Arg(1)->Arg(64)->Arg(1024)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
