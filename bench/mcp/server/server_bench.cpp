// The server's two costs that the program pays most often: answering a request over an
// in-process transport, and the whole life of a server, which the local host builds, starts
// and stops around every HTTP request.

#include "mcp/catalogue/tool_methods.hpp"
#include "mcp/server/server.hpp"
#include "mcp/transport/in_memory_transport.hpp"

#include <boost/asio/co_spawn.hpp>
#include <boost/asio/io_context.hpp>

#include <benchmark/benchmark.h>

#include <exception>
#include <memory>
#include <string>

namespace {

namespace asio = boost::asio;

// Runs `body` on a fresh io_context on this thread, reporting what it throws.
template <class Body>
void runOnOneThread(benchmark::State& state, Body body) {
    asio::io_context io;
    asio::co_spawn(io, body(io.get_executor()), [&state](std::exception_ptr error) {
        if (!error) return;
        try {
            std::rethrow_exception(error);
        } catch (const std::exception& failure) {
            state.SkipWithError(failure.what());
        }
    });
    io.run();
}

// One ping request written by the client and its answer read back, per iteration.
void pingRoundTrip(benchmark::State& state) {
    runOnOneThread(state, [&state](asio::any_io_executor executor) -> asio::awaitable<void> {
        auto server = std::make_shared<mcp::Server>(executor, "bench", "1.0");
        auto [client, serverEnd] = mcp::InMemoryTransport::createConnectedPair(executor);
        co_await client->connect();
        auto incoming = client->receive();
        co_await server->start(serverEnd);
        const std::string ping = R"({"jsonrpc":"2.0","id":1,"method":"ping"})";
        for (auto _ : state) {
            co_await client->send(ping);
            auto reply = co_await incoming->next();
            if (!reply || reply->text().size() != 36) state.SkipWithError("no answer");
            benchmark::DoNotOptimize(reply);
        }
        co_await server->stop();
    });
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(pingRoundTrip);

// A server made with the tools capability, given handlers for tools/list and tools/call,
// started on a transport and stopped again, as the host does for each HTTP request.
void serverLifecycle(benchmark::State& state) {
    runOnOneThread(state, [&state](asio::any_io_executor executor) -> asio::awaitable<void> {
        auto [client, serverEnd] = mcp::InMemoryTransport::createConnectedPair(executor);
        for (auto _ : state) {
            auto server = std::make_shared<mcp::Server>(
                executor, "bench", "1.0", std::nullopt, std::nullopt,
                mcp::Server::Capabilities{.tools = mcp::Server::Capabilities::Tools{}});
            server->withMethodHandler<mcp::ListTools>(
                [](mcp::ListTools::Parameters) -> asio::awaitable<mcp::ListTools::Result> { co_return mcp::ListTools::Result{}; });
            server->withMethodHandler<mcp::CallTool>([](mcp::CallTool::Parameters) -> asio::awaitable<mcp::CallTool::Result> {
                co_return mcp::CallTool::Result{};
            });
            co_await server->start(serverEnd);
            co_await server->stop();
        }
    });
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(serverLifecycle)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
