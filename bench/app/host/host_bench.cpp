// The local host under load: tools/list requests over loopback, each on a new connection as
// the host requires, from 1 and from 16 clients at once, with the latency of each request
// from connect to the host's close.

#include "app/host/mcp_host.hpp"
#include "app/host/serve_request.hpp"
#include "app/host/setting_keys.hpp"
#include "app/tools/tool_dispatcher.hpp"

#include "platform/fake/fixed_random.hpp"
#include "platform/fake/memory_settings.hpp"
#include "platform/fake/virtual_scheduler.hpp"

#include "bench/app/host/loopback_exchange.hpp"

#include <boost/asio/co_spawn.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/thread_pool.hpp>
#include <boost/asio/use_future.hpp>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace asio = boost::asio;
using Clock = std::chrono::steady_clock;

constexpr std::string_view kToken = "000102030405060708090a0b0c0d0e0f1011121314151617";
constexpr int kRequestsPerClient = 200;

// The program's host with its real per-request server, on a pool of two threads.
class RunningHost {
public:
    RunningHost() {
        settings_.setString(app::setting::kToken, kToken);
        settings_.setInt(app::setting::kPort, freePort());
        auto serve = [this](mcp::HTTPRequest request, std::string token) {
            return app::serveRequest(std::move(request), std::move(token), context_);
        };
        host_ = app::MCPHost::make(pool_.get_executor(), {main_, status_, settings_, random_, serve});
        asio::co_spawn(pool_, host_->start(), asio::use_future).get();
    }
    ~RunningHost() {
        pool_.stop();
        pool_.join();
    }

    std::uint16_t port() { return static_cast<std::uint16_t>(*settings_.getInt(app::setting::kPort)); }

private:
    static std::uint16_t freePort() {
        asio::io_context io;
        asio::ip::tcp::acceptor probe(io, {asio::ip::address_v4::loopback(), 0});
        return probe.local_endpoint().port();
    }

    asio::thread_pool pool_{2};
    platform::VirtualScheduler main_;
    platform::MemorySettings settings_;
    platform::FixedRandom random_;
    app::HostStatus status_;
    app::NoToolDispatcher tools_;
    app::ServingContext context_{main_, status_, settings_, tools_, "1.0"};
    std::shared_ptr<app::MCPHost> host_;
};

std::string toolsListRequest(std::uint16_t port) {
    const std::string body = R"({"jsonrpc":"2.0","id":1,"method":"tools/list"})";
    return "POST /mcp HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
           "\r\nAccept: application/json\r\nContent-Type: application/json\r\nAuthorization: Bearer " +
           std::string(kToken) + "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

// One request on a new connection; false when the answer is no 200.
bool requestOnce(std::uint16_t port, const std::string& request) {
    std::string reply;
    return bench::exchangeOverLoopback(port, request, reply) && reply.starts_with("HTTP/1.1 200 OK\r\n");
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
