// The local host under load: tools/list requests over loopback, each on a new connection as
// the host requires, from 1 and from 16 clients at once, with the latency of each request
// from connect to the host's close.

#include "bench/app/host/running_host.hpp"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

namespace {

using bench_support::kToken;
using bench_support::requestOnce;
using bench_support::RunningHost;
using Clock = std::chrono::steady_clock;

constexpr int kRequestsPerClient = 200;

std::string toolsListRequest(std::uint16_t port) {
    const std::string body = R"({"jsonrpc":"2.0","id":1,"method":"tools/list"})";
    return "POST /mcp HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
           "\r\nAccept: application/json\r\nContent-Type: application/json\r\nAuthorization: Bearer " +
           std::string(kToken) + "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

void toolsListOverLoopback(benchmark::State& state) {
    static RunningHost host;
    const auto clients = static_cast<int>(state.range(0));
    const auto request = toolsListRequest(host.port());
    std::vector<double> latencies;
    std::int64_t failures = 0;

    for (auto _ : state) {
        std::vector<std::vector<double>> perClient(static_cast<std::size_t>(clients));
        std::vector<int> failed(static_cast<std::size_t>(clients));
        std::vector<std::thread> threads;
        for (int client = 0; client < clients; ++client) {
            threads.emplace_back([&, client] {
                auto& mine = perClient[static_cast<std::size_t>(client)];
                mine.reserve(kRequestsPerClient);
                for (int i = 0; i < kRequestsPerClient; ++i) {
                    const auto begin = Clock::now();
                    if (!requestOnce(host.port(), request)) ++failed[static_cast<std::size_t>(client)];
                    mine.push_back(std::chrono::duration<double, std::micro>(Clock::now() - begin).count());
                }
            });
        }
        for (auto& thread : threads) thread.join();
        for (std::size_t client = 0; client < perClient.size(); ++client) {
            latencies.insert(latencies.end(), perClient[client].begin(), perClient[client].end());
            failures += failed[client];
        }
    }

    if (failures > 0) state.SkipWithError("some requests were not answered 200");
    std::sort(latencies.begin(), latencies.end());
    const auto percentile = [&](double p) {
        return latencies.empty() ? 0.0 : latencies[static_cast<std::size_t>(p * static_cast<double>(latencies.size() - 1))];
    };
    state.SetItemsProcessed(static_cast<std::int64_t>(latencies.size()));
    state.counters["p50_us"] = percentile(0.50);
    state.counters["p99_us"] = percentile(0.99);
}
BENCHMARK(toolsListOverLoopback)->Arg(1)->Arg(16)->UseRealTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace
BENCHMARK_MAIN();
