// A load generator for the host's comparison with other MCP servers over loopback: CLIENTS
// threads each send tools/list requests one after another, each on a new connection that is
// read until the server closes it ("Connection: close"), for SECONDS after a short warm-up,
// or until COUNT requests in all when COUNT is given. It prints one line:
//
//     clients=16 requests=123456 failures=0 rps=41152.0 p50_us=350.1 p99_us=912.4
//
// A request fails unless it is answered 200 with a tool list. Plain sockets and no parsing
// beyond that, so that the generator costs far less than the servers it measures.
//
//     http_load PORT PATH TOKEN CLIENTS SECONDS [COUNT]

#include "bench/app/host/loopback_exchange.hpp"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::string_view kBody = R"({"jsonrpc":"2.0","id":1,"method":"tools/list","params":{}})";
constexpr auto kWarmUp = std::chrono::milliseconds(500);

std::string requestBytes(std::uint16_t port, std::string_view path, std::string_view token) {
    return "POST " + std::string(path) + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
           "\r\nAccept: application/json, text/event-stream\r\nContent-Type: application/json\r\nAuthorization: "
           "Bearer " +
           std::string(token) + "\r\nConnection: close\r\nContent-Length: " + std::to_string(kBody.size()) +
           "\r\n\r\n" + std::string(kBody);
}

// One request on a new connection: answered 200 with a tool list.
bool requestOnce(std::uint16_t port, const std::string& request, std::string& reply) {
    return bench::exchangeOverLoopback(port, request, reply) && reply.starts_with("HTTP/1.1 200") &&
           reply.find("\"tools\"") != std::string::npos;
}

struct ClientResult {
    std::vector<double> latencies;
    std::int64_t failures = 0;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 6 && argc != 7) {
        std::cerr << "usage: http_load PORT PATH TOKEN CLIENTS SECONDS [COUNT]\n";
        return 2;
    }
    const auto port = static_cast<std::uint16_t>(std::atoi(argv[1]));
    const std::string request = requestBytes(port, argv[2], argv[3]);
    const int clients = std::max(1, std::atoi(argv[4]));
    const auto duration = std::chrono::duration<double>(std::atof(argv[5]));
    const std::int64_t count = argc == 7 ? std::atoll(argv[6]) : -1;

    std::atomic<std::int64_t> left{count};
    const auto take = [&] { return count < 0 || left.fetch_sub(1) > 0; };
    const bool timed = count < 0;
    const auto start = Clock::now();
    const auto measuredFrom = timed ? start + kWarmUp : start;
    const auto end = measuredFrom + std::chrono::duration_cast<Clock::duration>(duration);

    std::vector<ClientResult> results(static_cast<std::size_t>(clients));
    std::vector<std::thread> threads;
    for (int client = 0; client < clients; ++client) {
        threads.emplace_back([&, client] {
            auto& mine = results[static_cast<std::size_t>(client)];
            std::string reply;
            for (;;) {
                const auto begin = Clock::now();
                if (timed ? begin >= end : !take()) break;
                const bool ok = requestOnce(port, request, reply);
                if (begin < measuredFrom) continue;
                if (!ok) ++mine.failures;
                mine.latencies.push_back(std::chrono::duration<double, std::micro>(Clock::now() - begin).count());
            }
        });
    }
    for (auto& thread : threads) thread.join();
    const auto elapsed = std::chrono::duration<double>(Clock::now() - measuredFrom).count();

    std::vector<double> latencies;
    std::int64_t failures = 0;
    for (auto& result : results) {
        latencies.insert(latencies.end(), result.latencies.begin(), result.latencies.end());
        failures += result.failures;
    }
    std::sort(latencies.begin(), latencies.end());
    const auto percentile = [&](double p) {
        return latencies.empty() ? 0.0
                                 : latencies[static_cast<std::size_t>(p * static_cast<double>(latencies.size() - 1))];
    };
    std::printf("clients=%d requests=%zu failures=%lld rps=%.1f p50_us=%.1f p99_us=%.1f\n", clients,
                latencies.size(), static_cast<long long>(failures),
                static_cast<double>(latencies.size()) / elapsed, percentile(0.50), percentile(0.99));
    return failures == 0 ? 0 : 1;
}
