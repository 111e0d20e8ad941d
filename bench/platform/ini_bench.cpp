// ini_bench: reading and rewriting a settings file as it grows. The time per key must stay
// flat from a hundred keys to forty thousand: every setting read parses the whole file.

#include "platform/detail/ini.hpp"

#include <benchmark/benchmark.h>

#include <string>

namespace {

std::string fileOf(int keys) {
    std::string text = "; kept by hand\n[General]\n";
    for (int i = 0; i < keys; ++i) text += "key" + std::to_string(i) + "=value " + std::to_string(i) + "\n";
    return text;
}

void readFile(benchmark::State& state) {
    const auto text = fileOf(static_cast<int>(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(platform::detail::parseIni(text).get("key1"));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(readFile)->RangeMultiplier(20)->Range(100, 40'000);

void rewriteOneKey(benchmark::State& state) {
    const auto text = fileOf(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        auto entries = platform::detail::parseIni(text);
        entries.set("token", "0123456789abcdef");
        benchmark::DoNotOptimize(platform::detail::writeIni(entries));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(rewriteOneKey)->RangeMultiplier(20)->Range(100, 40'000);

}  // namespace

BENCHMARK_MAIN();
