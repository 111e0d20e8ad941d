#pragma once

// What the host's benchmarks share: the program's host running in the benchmark's process, and
// a plain HTTP client to measure it with.

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

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace bench_support {

namespace asio = boost::asio;

// The access token the running host checks.
inline constexpr std::string_view kToken = "000102030405060708090a0b0c0d0e0f1011121314151617";

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

// requestOnce: one request on a new connection, read until the host closes it; false when the
// answer is no 200.
inline bool requestOnce(std::uint16_t port, const std::string& request) {
    std::string reply;
    return bench::exchangeOverLoopback(port, request, reply) && reply.starts_with("HTTP/1.1 200 OK\r\n");
}

}  // namespace bench_support
