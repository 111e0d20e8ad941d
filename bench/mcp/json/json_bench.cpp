// Reading and writing the largest message the program sends: a tools/call result that
// carries a window picture as a 4 MiB base64 image item.

#include "mcp/json/json.hpp"

#include <benchmark/benchmark.h>

#include <string>

namespace {

constexpr std::size_t kImageBytes = 4 * 1024 * 1024;

std::string base64Payload(std::size_t size) {
    constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string payload(size, 'A');
    std::uint32_t state = 12345;
    for (auto& c : payload) {
        state = state * 1103515245 + 12345;
        c = kAlphabet[(state >> 16) & 63];
    }
    return payload;
}

std::string toolResultText() {
    return R"({"jsonrpc":"2.0","id":17,"result":{"content":[{"type":"text","text":"{\"app\":\"Firefox\",\"title\":\"Settings \\u2014 Network\",\"width\":1920,\"height\":1080}"},{"type":"image","data":")" +
           base64Payload(kImageBytes) + R"(","mimeType":"image/png"}],"isError":false}})";
}

void parseToolResult(benchmark::State& state) {
    const std::string text = toolResultText();
    for (auto _ : state) {
        mcp::Value value = mcp::parseJSON(text);
        benchmark::DoNotOptimize(value);
        const auto& image = (*value.objectValue()->find("result")->objectValue()->find("content")->arrayValue())[1];
        if (image.objectValue()->find("data")->stringValue()->size() != kImageBytes) state.SkipWithError("image lost");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(parseToolResult)->Unit(benchmark::kMillisecond);

void writeToolResult(benchmark::State& state, mcp::KeyOrder order) {
    const mcp::Value value = mcp::parseJSON(toolResultText());
    std::size_t written = 0;
    for (auto _ : state) {
        std::string text = mcp::writeJSON(value, order);
        written = text.size();
        benchmark::DoNotOptimize(text);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * written));
}
BENCHMARK_CAPTURE(writeToolResult, sorted, mcp::KeyOrder::sorted)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(writeToolResult, insertion, mcp::KeyOrder::insertion)->Unit(benchmark::kMillisecond);

void parsePing(benchmark::State& state) {
    const std::string text = R"({"jsonrpc":"2.0","id":1,"method":"ping"})";
    for (auto _ : state) {
        mcp::Value value = mcp::parseJSON(text);
        benchmark::DoNotOptimize(value);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(parsePing);

void writePingAnswer(benchmark::State& state) {
    const mcp::Value value = mcp::Value::Object{{"jsonrpc", "2.0"}, {"id", 1}, {"result", mcp::Value::Object{}}};
    for (auto _ : state) {
        std::string text = mcp::writeJSON(value, mcp::KeyOrder::sorted);
        benchmark::DoNotOptimize(text);
    }
}
BENCHMARK(writePingAnswer);

}  // namespace

BENCHMARK_MAIN();
