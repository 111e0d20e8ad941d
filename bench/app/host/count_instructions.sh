#!/usr/bin/env bash
# Instructions the host spends on one tools/list request, counted by callgrind (stable on a
# busy machine, unlike timings): the real host (host_serve) runs under callgrind, is warmed up,
# has its counters zeroed, serves COUNT requests (each on a new connection), and has its
# counters dumped. Prints the instructions per request, the whole process (both host threads,
# the kernel's share excluded).
#
#     bench/app/host/count_instructions.sh [BUILD_DIR [COUNT]]
#
# BUILD_DIR (default build/release) must hold the host_serve and http_load targets.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../../.." && pwd)
build=$(cd "${1:-$top/build/release}" && pwd)
count=${2:-1000}
serve="$build/bench/app/host_serve"
load="$build/bench/app/http_load"
token=$(od -An -N24 -tx1 /dev/urandom | tr -d ' \n')
work=$(mktemp -d)

valgrind --tool=callgrind --callgrind-out-file="$work/out" "$serve" "$token" >"$work/log" 2>"$work/valgrind.log" &
pid=$!
trap 'kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; rm -rf "$work"' EXIT

url=""
for _ in $(seq 600); do
  url=$(head -n 1 "$work/log")
  [[ "$url" == http://* ]] && break
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
[[ "$url" == http://* ]] || { echo "host_serve did not start" >&2; cat "$work/valgrind.log" >&2; exit 1; }
port=${url#http://127.0.0.1:}
port=${port%%/*}

"$load" "$port" /mcp "$token" 1 0 100 >/dev/null
callgrind_control --zero "$pid" >/dev/null 2>&1
"$load" "$port" /mcp "$token" 1 0 "$count" >/dev/null
callgrind_control --dump "$pid" >/dev/null 2>&1

dump=$(ls "$work"/out.* | head -n 1)
instructions=$(awk '/^(summary|totals):/ { print $2; exit }' "$dump")
awk -v total="$instructions" -v n="$count" \
  'BEGIN { printf "instructions per tools/list: %.0f (%d requests, %d in all)\n", total / n, n, total }'
