#!/usr/bin/env bash
# Our event-stream parser side by side with a widely used npm parser on the same input: 20,000
# JSON-RPC events of 200 bytes in 16 KiB chunks (the JSONRPCEventsLF benchmark, which takes the
# events in place as the library's EventStream does; JSONRPCEventsLFOwned takes owned copies).
# Prints MB/s (10^6 bytes, the fastest run of each) for ours, for the npm parser fed strings (its
# own input) and fed bytes through a streaming UTF-8 decoder (as a reader of a connection must),
# and our ratio to each.
#
#     bench/eventsource/compare_reference.sh [BUILD_DIR [SECONDS]]
#
# BUILD_DIR (default build/release) must hold the eventsource_bench target; the npm parser is
# pinned in bench/peers/eventsource_parser (tools/install-npm-peers.sh installs it).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
build=$(cd "${1:-$top/build/release}" && pwd)
seconds=${2:-2}

# The fastest of many short runs on each side: on a machine shared with other work it is the
# one least disturbed.
ours=$("$build/bench/eventsource/eventsource_bench" --benchmark_filter='^JSONRPCEventsLF/' \
  --benchmark_min_time=0.1 --benchmark_repetitions="$((seconds * 10))" --benchmark_format=json |
  node -e '
    let text = "";
    process.stdin.on("data", (d) => (text += d)).on("end", () => {
      const runs = JSON.parse(text).benchmarks.filter((b) => b.run_type === "iteration");
      console.log((Math.max(...runs.map((b) => b.bytes_per_second)) / 1e6).toFixed(0));
    });')
reference=$(cd "$top/bench/peers/eventsource_parser" && node parse_bench.mjs "$seconds")
text=$(awk '$1 == "text" { print $2 }' <<<"$reference")
bytes=$(awk '$1 == "bytes" { print $2 }' <<<"$reference")

printf '%-34s %8s MB/s\n' "ours" "$ours" "npm parser, strings" "$text" "npm parser, bytes decoded first" "$bytes"
awk -v o="$ours" -v t="$text" -v b="$bytes" \
  'BEGIN { printf "ours / npm parser: %.2fx on strings, %.2fx on bytes\n", o / t, o / b }'
