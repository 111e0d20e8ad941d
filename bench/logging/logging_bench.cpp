// The cost of log statements. The one that matters is the statement below the handler's
// level, which library code runs all the time over the discarding handler: it must cost the
// level check alone and allocate nothing.

#include "logging/logger.hpp"
#include "logging/no_op_log_handler.hpp"
#include "logging/stdio_output_stream.hpp"
#include "logging/stream_log_handler.hpp"

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>

namespace {

std::atomic<std::size_t> allocations{0};

}  // namespace

// Every allocation of the process goes through here, so a benchmark can count its own. Kept out
// of line so the compiler doesn't pair an inlined free() with a new-expression and warn.
[[gnu::noinline]] void* operator new(std::size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
    throw std::bad_alloc();
}
[[gnu::noinline]] void operator delete(void* memory) noexcept { std::free(memory); }
[[gnu::noinline]] void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }

namespace {

using logging::Logger;

// Reports the allocations made while the timed loop ran, per iteration.
class AllocationCounter {
public:
    explicit AllocationCounter(benchmark::State& state)
        : state_(state), before_(allocations.load(std::memory_order_relaxed)) {}
    ~AllocationCounter() {
        const auto made = allocations.load(std::memory_order_relaxed) - before_;
        state_.counters["allocs/op"] =
            benchmark::Counter(static_cast<double>(made), benchmark::Counter::kAvgIterations);
    }

private:
    benchmark::State& state_;
    std::size_t before_;
};

// A library component's logger over the discarding handler, and the values a statement uses.
struct DisabledCallSite {
    Logger logger{"mcp.transport.stdio", logging::NoOpLogHandler()};
    std::string method = "tools/call";
    int id = 42;

    DisabledCallSite() { benchmark::DoNotOptimize(logger); }
};

void disabledStatement(benchmark::State& state) {
    DisabledCallSite site;
    const AllocationCounter counter(state);
    for (auto _ : state) {
        benchmark::DoNotOptimize(site.method);
        benchmark::DoNotOptimize(site.id);
        site.logger.debug(
            [&] { return "handling " + site.method + " #" + std::to_string(site.id); });
    }
}
BENCHMARK(disabledStatement);

void disabledStatementWithMetadata(benchmark::State& state) {
    DisabledCallSite site;
    const AllocationCounter counter(state);
    for (auto _ : state) {
        benchmark::DoNotOptimize(site.method);
        benchmark::DoNotOptimize(site.id);
        site.logger.trace([&] { return "handling " + site.method; },
                          [&] {
                              return Logger::Metadata{
                                  {"id", Logger::MetadataValue::stringConvertible(site.id)},
                                  {"method", site.method}};
                          });
    }
}
BENCHMARK(disabledStatementWithMetadata);

// An enabled statement through the stream handler: timestamp, three metadata keys and the write
// of one line, to /dev/null. Not on the library's road, for information.
void streamLine(benchmark::State& state) {
    std::FILE* devNull = std::fopen("/dev/null", "w");
    if (devNull == nullptr) {
        state.SkipWithError("cannot open /dev/null");
        return;
    }
    {
        Logger logger("bench", logging::StreamLogHandler(
                                   "bench",
                                   std::make_shared<logging::StdioOutputStream>(
                                       devNull, logging::StdioOutputStream::FlushMode::always),
                                   std::nullopt));
        logger.setMetadataValue("session", Logger::MetadataValue("3f2a"));
        logger.setMetadataValue("client", Logger::MetadataValue("claude-code"));
        const std::string method = "tools/call";
        const AllocationCounter counter(state);
        for (auto _ : state) {
            logger.info([&] { return "handling " + method; },
                        [&] { return Logger::Metadata{{"method", method}}; });
        }
    }
    std::fclose(devNull);
}
BENCHMARK(streamLine);

}  // namespace

BENCHMARK_MAIN();
