// bridge_bench: what the --stdio bridge adds to a request: the same tools/list against the
// program's host, sent straight over HTTP (a new connection each, as the host requires) and
// sent as an input line through the bridge, one after the other so that both see the same
// load. The counters give the median time of each and their ratio, direct / bridge: the
// bridge's rate as a part of the direct rate (1 means the bridge costs nothing); and
// "paired_ratio", the median of that ratio over each request and the line after it, which
// drifts less while the machine's load changes. Medians, because on a busy machine a few
// requests wait for a processor far longer than the rest.
//
// The bridge reads a settings file on disk, as it does when an AI client starts it; the host
// runs in this process on a pool of two threads.

#include "app/bridge/stdio_bridge.hpp"
#include "app/host/setting_keys.hpp"
#include "bench/app/host/running_host.hpp"
#include "tests/support/temporary_folder.hpp"

#include "platform/ini_settings.hpp"
#include "platform/openssl_random.hpp"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using bench_support::kToken;
using bench_support::RunningHost;
using Clock = std::chrono::steady_clock;

constexpr std::string_view kToolsList = R"({"jsonrpc":"2.0","id":1,"method":"tools/list"})";

// The request as the bridge posts it, headers included.
std::string directRequest(std::uint16_t port) {
    return "POST /mcp HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
           "\r\nContent-Type: application/json\r\nAccept: application/json, text/event-stream\r\n"
           "Authorization: Bearer " + std::string(kToken) + "\r\nContent-Length: " + std::to_string(kToolsList.size()) +
           "\r\n\r\n" + std::string(kToolsList);
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
    app::HTTPHostClient client_;
    NoLaunch launcher_;
    const std::string line_ = std::string(kToolsList) + "\n";
    std::istringstream input_;
    int replies_ = 0;
    app::StdioBridge bridge_{{settings_, random_, client_, launcher_, [this](std::string_view line) {
                                  if (line.find(R"("result":{"tools":[)") != std::string_view::npos) ++replies_;
                              }}};
};

// median: of values, which it reorders.
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
        if (!bench_support::requestOnce(host.port(), request)) {
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
    std::vector<double> paired;
    paired.reserve(direct.size());
    for (std::size_t i = 0; i < direct.size(); ++i) paired.push_back(direct[i] / bridged[i]);
    state.counters["paired_ratio"] = median(paired);
    const auto directMedian = median(direct);
    const auto bridgeMedian = median(bridged);
    state.counters["direct_p50_us"] = directMedian;
    state.counters["bridge_p50_us"] = bridgeMedian;
    state.counters["ratio"] = directMedian / bridgeMedian;
}
BENCHMARK(BM_BridgeAgainstDirect)->UseRealTime()->Unit(benchmark::kMicrosecond)->MinTime(3.0);

}  // namespace
BENCHMARK_MAIN();
