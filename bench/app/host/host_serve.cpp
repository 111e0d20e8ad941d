// The program's local host alone, for load and instruction counts from outside: the real
// MCPHost with its real per-request server, access check and three tools, on a pool of two
// threads as in the program, listening on 127.0.0.1 at a free port. It prints
// "http://127.0.0.1:<port>/mcp" on its first line once it listens and serves until SIGINT or
// SIGTERM, then ends normally (so that a profiler wrapping it writes its results).
//
//     host_serve TOKEN

#include "app/host/bearer_token_validator.hpp"
#include "app/host/mcp_host.hpp"
#include "app/host/serve_request.hpp"
#include "app/host/setting_keys.hpp"
#include "app/tools/tool_dispatcher.hpp"

#include "platform/fake/fixed_random.hpp"
#include "platform/fake/memory_settings.hpp"
#include "platform/fake/virtual_scheduler.hpp"

#include <boost/asio/co_spawn.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/signal_set.hpp>
#include <boost/asio/thread_pool.hpp>
#include <boost/asio/use_future.hpp>

#include <csignal>
#include <cstdint>
#include <iostream>
#include <string>

namespace {

namespace asio = boost::asio;

// As many as the program gives its host.
constexpr int kHostThreads = 2;

std::uint16_t freePort() {
    asio::io_context io;
    asio::ip::tcp::acceptor probe(io, {asio::ip::address_v4::loopback(), 0});
    return probe.local_endpoint().port();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: host_serve TOKEN\n";
        return 2;
    }
    const std::string token = argv[1];

    // Requests without the client header never reach the main thread; the listener's reports
    // that do are left unread.
    platform::VirtualScheduler main;
    platform::MemorySettings settings;
    platform::FixedRandom random;
    app::HostStatus status;
    app::NoToolDispatcher tools;
    const app::ServingContext serving{main, status, settings, tools, "1.0"};
    settings.setString(app::setting::kToken, token);
    const auto port = freePort();
    settings.setInt(app::setting::kPort, port);

    asio::thread_pool pool(kHostThreads);
    auto serve = [&serving](mcp::HTTPRequest request, std::string held) {
        return app::serveRequest(std::move(request), std::move(held), serving);
    };
    const auto checkHead = [](const mcp::HTTPRequest& head, const std::string& held) {
        return app::accessRefusal(head, held);
    };
    const auto host = app::MCPHost::make(pool.get_executor(), {main, status, settings, random, serve, checkHead});
    asio::co_spawn(pool, host->start(), asio::use_future).get();
    std::cout << "http://127.0.0.1:" << port << "/mcp" << std::endl;

    asio::io_context signals;
    asio::signal_set stop(signals, SIGINT, SIGTERM);
    stop.async_wait([](const boost::system::error_code&, int) {});
    signals.run();
    pool.stop();
    pool.join();
    return 0;
}
