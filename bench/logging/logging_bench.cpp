// The cost of log statements. The one that matters is the statement below the handler's
// level, which library code runs all the time over the discarding handler: it must cost the
// level check alone and allocate nothing.

#include "logging/logger.hpp"
#include "logging/no_op_log_handler.hpp"

#include <benchmark/benchmark.h>

#include <atomic>
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

}  // namespace

BENCHMARK_MAIN();
