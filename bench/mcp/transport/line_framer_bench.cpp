// Throughput of the newline framing as the stream transports use it: lines of one size fed in
// reads of one size, each line copied out once. The time per byte must not grow with the line
// size (a framing that rescans its pending bytes after every read grows with it).

#include "mcp/transport/line_framer.hpp"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

// At least this much input per iteration, and at least two lines.
constexpr std::size_t kInputBytes = std::size_t{16} << 20;

std::string linesOf(std::size_t lineBytes) {
    const std::size_t count = std::max<std::size_t>(2, kInputBytes / (lineBytes + 1));
    std::string line(lineBytes, 'x');
    line.push_back('\n');
    std::string input;
    input.reserve(count * line.size());
    for (std::size_t i = 0; i < count; ++i) input += line;
    return input;
}

// Arguments: the line size, the read size, and whether each line is copied out as the
// transports deliver it (1) or only framed (0).
void framing(benchmark::State& state) {
    const auto lineBytes = static_cast<std::size_t>(state.range(0));
    const auto readBytes = static_cast<std::size_t>(state.range(1));
    const bool copied = state.range(2) != 0;
    const std::string input = linesOf(lineBytes);
    const std::string_view all(input);
    std::size_t lines = 0;
    for (auto _ : state) {
        mcp::LineFramer framer;
        for (std::size_t offset = 0; offset < all.size(); offset += readBytes) {
            framer.append(all.substr(offset, readBytes));
            while (auto line = framer.nextLine()) {
                if (copied) {
                    std::string delivered(line->bytes);
                    benchmark::DoNotOptimize(delivered.data());
                } else {
                    benchmark::DoNotOptimize(line->bytes.data());
                }
                ++lines;
            }
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * input.size()));
    state.SetItemsProcessed(static_cast<std::int64_t>(lines));
}
BENCHMARK(framing)
    ->ArgNames({"line", "read", "copied"})
    ->ArgsProduct({{100, 4 << 10, 1 << 20, 10 << 20}, {4 << 10, 64 << 10}, {0, 1}})
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
