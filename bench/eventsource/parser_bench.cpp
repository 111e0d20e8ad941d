// Throughput of the event-stream parser for the shapes of input it meets: many small JSON-RPC
// events in network-sized chunks, the worst case of one byte per call, one very large event,
// a very long line that never ends, and input full of ill-formed UTF-8. Each case also
// reports the heap allocations it makes per event.
#include "eventsource/parser.hpp"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <new>
#include <string>
#include <string_view>

namespace {

std::atomic<std::size_t> allocationCount{0};

}  // namespace

// Every allocation of the process goes through here, so a benchmark can count its own. Kept out
// of line so the compiler doesn't pair an inlined free() with a new-expression and warn.
[[gnu::noinline]] void* operator new(std::size_t size) {
    // The benchmarks run on one thread: a plain increment, not a locked one, keeps the count from
    // weighing on the figures it stands beside.
    allocationCount.store(allocationCount.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
[[gnu::noinline]] void operator delete(void* p) noexcept { std::free(p); }
[[gnu::noinline]] void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

using eventsource::Parser;

constexpr std::size_t kEventBytes = 200;

// One JSON-RPC notification as a server sends it, padded to exactly kEventBytes bytes.
std::string jsonRPCEvent(std::size_t index, std::string_view lineEnd) {
    std::string head = "id: " + std::to_string(index);
    head += lineEnd;
    head += "event: message";
    head += lineEnd;
    head += R"(data: {"jsonrpc":"2.0","method":"notifications/progress","params":{"progressToken":")";
    const std::string tail = std::string(R"("}})") + std::string(lineEnd) + std::string(lineEnd);
    head.append(kEventBytes - head.size() - tail.size(), 'x');
    return head + tail;
}

std::string jsonRPCStream(std::size_t events, std::string_view lineEnd) {
    std::string stream;
    stream.reserve(events * kEventBytes);
    for (std::size_t i = 0; i < events; ++i) stream += jsonRPCEvent(i, lineEnd);
    return stream;
}

// How a benchmark takes the events out: in place, as the library's EventStream does, or as
// owned values.
enum class Taking { inPlace, owned };

// Feeds `stream` in chunks of `chunkBytes`, taking the events out after each chunk as a
// reader of a live connection would, and reports bytes/s, events/s and allocations per event.
void feedInChunks(benchmark::State& state, const std::string& stream, std::size_t chunkBytes,
                  Parser::Limits limits = {}, Taking taking = Taking::inPlace) {
    std::size_t events = 0;
    std::size_t allocations = 0;
    const auto drain = [&](Parser& parser) {
        if (taking == Taking::owned) {
            while (auto event = parser.getNextEvent()) {
                benchmark::DoNotOptimize(event->data.data());
                ++events;
            }
        } else {
            while (auto* event = parser.takeNextEvent()) {
                benchmark::DoNotOptimize(event->data.data());
                ++events;
            }
        }
    };
    for (auto _ : state) {
        const std::size_t before = allocationCount.load(std::memory_order_relaxed);
        Parser parser(limits);
        for (std::size_t at = 0; at < stream.size(); at += chunkBytes) {
            parser.consume(std::string_view(stream).substr(at, chunkBytes));
            drain(parser);
        }
        parser.finish();
        drain(parser);
        allocations += allocationCount.load(std::memory_order_relaxed) - before;
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * stream.size()));
    state.SetItemsProcessed(static_cast<std::int64_t>(events));
    state.counters["allocs/event"] = events == 0 ? 0.0 : static_cast<double>(allocations) / static_cast<double>(events);
}

void JSONRPCEventsLF(benchmark::State& state) {
    static const std::string stream = jsonRPCStream(20'000, "\n");
    feedInChunks(state, stream, static_cast<std::size_t>(state.range(0)));
}
BENCHMARK(JSONRPCEventsLF)->Arg(16 * 1024);

void JSONRPCEventsLFOwned(benchmark::State& state) {
    static const std::string stream = jsonRPCStream(20'000, "\n");
    feedInChunks(state, stream, static_cast<std::size_t>(state.range(0)), {}, Taking::owned);
}
BENCHMARK(JSONRPCEventsLFOwned)->Arg(16 * 1024);

void JSONRPCEventsCRLF(benchmark::State& state) {
    static const std::string stream = jsonRPCStream(20'000, "\r\n");
    feedInChunks(state, stream, static_cast<std::size_t>(state.range(0)));
}
BENCHMARK(JSONRPCEventsCRLF)->Arg(16 * 1024);

void JSONRPCEventsOneByteCalls(benchmark::State& state) {
    static const std::string stream = jsonRPCStream(2'000, "\n");
    std::size_t events = 0;
    for (auto _ : state) {
        Parser parser;
        for (const char c : stream) {
            parser.consume(static_cast<std::uint8_t>(c));
            while (auto event = parser.getNextEvent()) {
                benchmark::DoNotOptimize(event->data.data());
                ++events;
            }
        }
        parser.finish();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * stream.size()));
    state.SetItemsProcessed(static_cast<std::int64_t>(events));
}
BENCHMARK(JSONRPCEventsOneByteCalls);

void OneLargeEvent(benchmark::State& state) {
    // 8 MiB of data in 1000 lines.
    static const std::string stream = [] {
        const std::string line = "data: " + std::string(8 * 1024 * 1024 / 1000, 'y') + "\n";
        std::string s;
        for (int i = 0; i < 1000; ++i) s += line;
        return s + "\n";
    }();
    feedInChunks(state, stream, 16 * 1024);
}
BENCHMARK(OneLargeEvent);

void LongLineWithoutEnd(benchmark::State& state) {
    static const std::string stream = "data: " + std::string(1024 * 1024, 'z');
    feedInChunks(state, stream, 16 * 1024);
}
BENCHMARK(LongLineWithoutEnd);

void IllFormedUTF8(benchmark::State& state) {
    static const std::string stream = [] {
        std::string line = "data: ";
        for (int i = 0; i < 40; ++i) line += "\xFF\xE2\x82 ok ";
        std::string s;
        for (int i = 0; i < 5000; ++i) s += line + "\n\n";
        return s;
    }();
    feedInChunks(state, stream, 16 * 1024);
}
BENCHMARK(IllFormedUTF8);

}  // namespace

BENCHMARK_MAIN();
