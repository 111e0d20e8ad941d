#!/usr/bin/env bash
# The host side by side with the protocol's reference TypeScript SDK in one run: both serve the
# same three tools behind the same bearer-token check on 127.0.0.1 at free ports, and the same
# load generator sends them tools/list, each request on a new connection, from 1 and from 16
# clients. Prints req/s, p50 and p99 latency and the host's ratio to the reference. The host
# runs with the program's own allocator (app/CMakeLists.txt); then again under each other
# general-purpose allocator installed (LD_PRELOAD), for comparison.
#
#     bench/app/host/compare_reference.sh [BUILD_DIR [SECONDS]]
#
# BUILD_DIR (default build/release) must hold the host_serve and http_load targets; the
# reference server is bench/peers/reference_sdk (tools/install-npm-peers.sh installs it).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../../.." && pwd)
build=$(cd "${1:-$top/build/release}" && pwd)
seconds=${2:-3}
peer="$top/bench/peers/reference_sdk"
serve="$build/bench/app/host_serve"
load="$build/bench/app/http_load"
token=$(od -An -N24 -tx1 /dev/urandom | tr -d ' \n')

pids=()
logs=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; done
  rm -f "${logs[@]}"
}
trap cleanup EXIT

# Starts a server whose first output line is its URL; sets url and pid.
start() {
  local log
  log=$(mktemp)
  logs+=("$log")
  "$@" >"$log" 2>&1 &
  pid=$!
  pids+=("$pid")
  url=""
  for _ in $(seq 200); do
    url=$(head -n 1 "$log")
    [[ "$url" == http://* ]] && return 0
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.05
  done
  echo "$* did not start:" >&2
  cat "$log" >&2
  exit 1
}

stop() {
  kill "$1" 2>/dev/null || true
  wait "$1" 2>/dev/null || true
}

port_of() { local rest=${1#http://127.0.0.1:}; echo "${rest%%/*}"; }

# Measures one server with the given number of clients; prints "rps p50 p99".
measure() {
  local line
  line=$("$load" "$(port_of "$1")" /mcp "$token" "$2" "$seconds") || { echo "failed requests: $line" >&2; exit 1; }
  sed -E 's/.*rps=([0-9.]+) p50_us=([0-9.]+) p99_us=([0-9.]+).*/\1 \2 \3/' <<<"$line"
}

start "$serve" "$token"
host_url=$url host_pid=$pid
start node "$peer/server.mjs" "$token" "$host_url"
reference_url=$url

declare -A reference_rps
printf '%-22s %7s %10s %9s %9s %11s\n' server clients req/s p50_us p99_us ×reference
for clients in 1 16; do
  result=$(measure "$reference_url" "$clients")
  read -r rps p50 p99 <<<"$result"
  reference_rps[$clients]=$rps
  printf '%-22s %7s %10s %9s %9s %11s\n' "reference SDK" "$clients" "$rps" "$p50" "$p99" 1.00
  result=$(measure "$host_url" "$clients")
  read -r rps p50 p99 <<<"$result"
  printf '%-22s %7s %10s %9s %9s %11.2f\n' host "$clients" "$rps" "$p50" "$p99" \
    "$(awk -v a="$rps" -v b="${reference_rps[$clients]}" 'BEGIN { print a / b }')"
done
stop "$host_pid"

libs=/usr/lib/$(gcc -print-multiarch 2>/dev/null || echo x86_64-linux-gnu)
for allocator in mimalloc:libmimalloc.so.2 jemalloc:libjemalloc.so.2 tcmalloc:libtcmalloc_minimal.so.4; do
  name=${allocator%%:*} lib="$libs/${allocator#*:}"
  [ -f "$lib" ] || continue
  start env LD_PRELOAD="$lib" "$serve" "$token"
  for clients in 1 16; do
    result=$(measure "$url" "$clients")
    read -r rps p50 p99 <<<"$result"
    printf '%-22s %7s %10s %9s %9s %11.2f\n' "host + $name" "$clients" "$rps" "$p50" "$p99" \
      "$(awk -v a="$rps" -v b="${reference_rps[$clients]}" 'BEGIN { print a / b }')"
  done
  stop "$pid"
done
