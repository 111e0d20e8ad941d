// One request served end to end, as the host hands it over: read from the bytes a peer sent,
// answered by a fresh stateless transport and server. Every request gets an answer.

#include "app/host/http_request_reader.hpp"
#include "app/common/host_status.hpp"
#include "app/host/serve_request.hpp"
#include "app/tools/tool_dispatcher.hpp"

#include "platform/fake/memory_settings.hpp"
#include "platform/fake/virtual_scheduler.hpp"

#include <boost/asio/co_spawn.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/use_future.hpp>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <future>
#include <optional>
#include <string>
#include <string_view>

namespace {

constexpr std::string_view kToken = "000102030405060708090a0b0c0d0e0f1011121314151617";

// The request: the bytes as a peer sent them when they start with a request line ("P" for
// POST), else the bytes as the body of a POST that passes every check of the head.
mcp::HTTPRequest requestFrom(std::string_view bytes) {
    if (!bytes.empty() && bytes.front() == 'P') {
        app::HTTPRequestReader reader;
        if (reader.feed(bytes) == app::HTTPRequestReader::Status::complete) return reader.takeRequest();
    }
    mcp::HTTPRequest request;
    request.method = "POST";
    request.path = "/mcp";
    request.headers = {{"Content-Type", "application/json"},
                       {"Accept", "application/json"},
                       {"Authorization", "Bearer " + std::string(kToken)},
                       {"X-Vantor-MCP-Client", "fuzz"}};
    if (!bytes.empty()) request.body = std::string(bytes);
    return request;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    platform::VirtualScheduler main;
    platform::MemorySettings settings;
    app::HostStatus status;
    app::NoToolDispatcher tools;
    const app::ServingContext context{main, status, settings, tools, "1.0"};

    boost::asio::io_context io;
    // An optional, because co_spawn needs a default-constructible result.
    auto serving = [&context, request = requestFrom({reinterpret_cast<const char*>(data), size})]() mutable
        -> boost::asio::awaitable<std::optional<mcp::HTTPResponse>> {
        co_return co_await app::serveRequest(std::move(request), std::string(kToken), context);
    };
    auto answer = boost::asio::co_spawn(io, std::move(serving), boost::asio::use_future);
    // The host's threads and the main thread, taking turns on this one.
    for (int turn = 0; answer.wait_for(std::chrono::seconds(0)) != std::future_status::ready; ++turn) {
        if (turn > 10'000) std::abort();
        io.poll();
        main.runUntilIdle();
        if (io.stopped()) io.restart();
    }
    const auto response = answer.get();
    if (!response || response->statusCode() < 200 || response->statusCode() > 599) std::abort();
    // What the server still runs after its answer ends too, without the program ending.
    io.restart();
    io.poll();
    main.runUntilIdle();
    return 0;
}
