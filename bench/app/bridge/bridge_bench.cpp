// bridge_bench: what the --stdio bridge adds to a request: the same tools/list against the
// program's host, sent straight over HTTP (a new connection each, as the host requires) and
// sent as an input line through the bridge, one after the other so that both see the same
// load. The counters give the median time of each and their ratio, direct / bridge: the
// bridge's rate as a part of the direct rate (1 means the bridge costs nothing). Medians,
// because on a busy machine a few requests wait for a processor far longer than the rest.
//
// The bridge reads a settings file on disk, as it does when an AI client starts it; the host
// runs in this process on a pool of two threads.

#include "app/bridge/stdio_bridge.hpp"
#include "app/host/mcp_host.hpp"
#include "app/host/serve_request.hpp"
#include "app/host/setting_keys.hpp"
#include "app/tools/tool_dispatcher.hpp"
#include "tests/support/temporary_folder.hpp"

#include "platform/fake/fixed_random.hpp"
#include "platform/fake/memory_settings.hpp"
#include "platform/fake/virtual_scheduler.hpp"
#include "platform/ini_settings.hpp"
#include "platform/openssl_random.hpp"

#include <boost/asio/co_spawn.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/thread_pool.hpp>
#include <boost/asio/use_future.hpp>

#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

namespace asio = boost::asio;
using Clock = std::chrono::steady_clock;

constexpr std::string_view kToken = "000102030405060708090a0b0c0d0e0f1011121314151617";
constexpr std::string_view kToolsList = R"({"jsonrpc":"2.0","id":1,"method":"tools/list"})";

// The program's host with its real per-request server.
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

// The request as the bridge posts it, headers included.
std::string directRequest(std::uint16_t port) {
    return "POST /mcp HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
           "\r\nContent-Type: application/json\r\nAccept: application/json, text/event-stream\r\n"
           "Authorization: Bearer " + std::string(kToken) + "\r\nContent-Length: " + std::to_string(kToolsList.size()) +
           "\r\n\r\n" + std::string(kToolsList);
}

// One request on a new connection, read until the host closes it; false when the answer is no
// 200.
bool requestDirectly(std::uint16_t port, const std::string& request) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bool ok = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
              ::send(fd, request.data(), request.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(request.size());
    std::string reply;
    char buffer[16384];
    for (ssize_t count = 0; ok && (count = ::recv(fd, buffer, sizeof buffer, 0)) > 0;) {
        reply.append(buffer, static_cast<std::size_t>(count));
    }
    ::close(fd);
    return ok && reply.starts_with("HTTP/1.1 200 OK\r\n");
}

// The bridge as runStdioBridge wires it, on a settings file that names the host.
class Bridge {
public:
    explicit Bridge(std::uint16_t port) {
        settings_.setInt(app::setting::kPort, port);
        settings_.setString(app::setting::kToken, kToken);
    }

    // forward: one line through the bridge's input; false unless it got its list.
    bool forward() {
        input_.clear();
        input_.str(line_);
        replies_ = 0;
        bridge_.run(input_);
        return replies_ == 1;
    }

private:
    class NoLaunch final : public platform::SelfLauncher {
    public:
        void launchDetached() override { throw std::runtime_error("the host runs: nothing to launch"); }
    };

    test_support::TemporaryFolder folder_;
    platform::IniSettings settings_{folder_.path() / "settings.ini"};
    platform::OpenSSLRandom random_;
    app::HttpHostClient client_;
    NoLaunch launcher_;
    const std::string line_ = std::string(kToolsList) + "\n";
    std::istringstream input_;
    int replies_ = 0;
    app::StdioBridge bridge_{{settings_, random_, client_, launcher_, [this](std::string_view line) {
                                  if (line.find(R"("result":{"tools":[)") != std::string_view::npos) ++replies_;
                              }}};
};

double median(std::vector<double>& values) {
    if (values.empty()) return 0;
    const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

void BM_BridgeAgainstDirect(benchmark::State& state) {
    static RunningHost host;
    Bridge bridge(host.port());
    const auto request = directRequest(host.port());
    std::vector<double> direct;
    std::vector<double> bridged;
    const auto since = [](Clock::time_point begin) {
        return std::chrono::duration<double, std::micro>(Clock::now() - begin).count();
    };
    for (auto _ : state) {
        auto begin = Clock::now();
        if (!requestDirectly(host.port(), request)) {
            state.SkipWithError("a direct request was not answered 200");
            return;
        }
        direct.push_back(since(begin));
        begin = Clock::now();
        if (!bridge.forward()) {
            state.SkipWithError("a line through the bridge got no tool list");
            return;
        }
        bridged.push_back(since(begin));
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(2 * state.iterations()));
    const auto directMedian = median(direct);
    const auto bridgeMedian = median(bridged);
    state.counters["direct_p50_us"] = directMedian;
    state.counters["bridge_p50_us"] = bridgeMedian;
    state.counters["ratio"] = directMedian / bridgeMedian;
}
BENCHMARK(BM_BridgeAgainstDirect)->UseRealTime()->Unit(benchmark::kMicrosecond)->MinTime(3.0);

}  // namespace
BENCHMARK_MAIN();
