// A load of tools/call round trips from the library's client over Streamable HTTP, driven from
// outside by compare_reference.sh beside the reference SDK's client on the same server.
//
//     client_load URL IN_FLIGHT SECONDS
//
// Connects once, then keeps IN_FLIGHT calls of the "echo" tool going for SECONDS and prints
// one line: "rps=… cpu_us_per_call=… rss_mb=… failed=…". Exits 1 when a call failed.

#include "mcp/client/client.hpp"
#include "mcp/http/client/http_client_transport.hpp"
#include "mcp/transport/strand_hop.hpp"

#include <boost/asio/as_tuple.hpp>
#include <boost/asio/co_spawn.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/this_coro.hpp>
#include <boost/asio/use_awaitable.hpp>
#include <boost/url/parse.hpp>

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <exception>
#include <iostream>
#include <memory>
#include <string>

namespace {

namespace asio = boost::asio;
using Clock = std::chrono::steady_clock;

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& time) { return static_cast<double>(time.tv_sec) + time.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double peakMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

struct Tally {
    long calls = 0;
    long failed = 0;
    std::string firstFailure;
};

asio::awaitable<void> callUntil(mcp::Client& client, Clock::time_point end, Tally& tally) {
    const mcp::ValueObject arguments{{"text", mcp::Value("hi")}};
    while (Clock::now() < end) {
        try {
            const auto outcome = co_await client.callTool("echo", arguments);
            if (outcome.isError.value_or(false)) throw std::runtime_error("the tool reported an error");
            ++tally.calls;
        } catch (const std::exception& error) {
            if (tally.failed++ == 0) tally.firstFailure = error.what();
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::cerr << "usage: client_load URL IN_FLIGHT SECONDS\n";
        return 2;
    }
    const auto url = boost::urls::parse_uri(argv[1]);
    const int inFlight = std::stoi(argv[2]);
    const double seconds = std::stod(argv[3]);
    if (!url || inFlight < 1 || seconds <= 0) {
        std::cerr << "client_load: bad arguments\n";
        return 2;
    }

    asio::io_context io(1);
    // The client, its transport and the callers share one strand, as programs are told to.
    const auto strand = mcp::strandOf(io.get_executor());
    auto client = std::make_shared<mcp::Client>(strand, "client_load", "1.0");
    auto transport = mcp::HTTPClientTransport::make(strand, *url);
    Tally tally;
    double elapsed = 0;
    double cpu = 0;
    std::exception_ptr failure;
    asio::co_spawn(strand, [&]() -> asio::awaitable<void> {
        co_await client->connect(transport);
        const auto began = Clock::now();
        const double cpuBefore = cpuSeconds();
        const auto end = began + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
        int running = inFlight;
        asio::steady_timer allDone(co_await asio::this_coro::executor, Clock::time_point::max());
        for (int i = 0; i < inFlight; ++i) {
            asio::co_spawn(strand, callUntil(*client, end, tally), [&](std::exception_ptr) {
                if (--running == 0) allDone.cancel();
            });
        }
        co_await allDone.async_wait(asio::as_tuple(asio::use_awaitable));
        elapsed = std::chrono::duration<double>(Clock::now() - began).count();
        cpu = cpuSeconds() - cpuBefore;
        co_await client->disconnect();
        co_await transport->disconnect();
    }, [&](std::exception_ptr error) { failure = error; });
    io.run();

    if (failure) {
        try {
            std::rethrow_exception(failure);
        } catch (const std::exception& error) {
            std::cerr << "client_load: " << error.what() << '\n';
            return 1;
        }
    }
    std::printf("rps=%.0f cpu_us_per_call=%.1f rss_mb=%.1f failed=%ld\n", tally.calls / elapsed,
                tally.calls > 0 ? cpu * 1e6 / static_cast<double>(tally.calls) : 0.0, peakMegabytes(), tally.failed);
    if (tally.failed > 0) {
        std::cerr << "client_load: " << tally.failed << " calls failed, the first with: " << tally.firstFailure << '\n';
        return 1;
    }
    return 0;
}
