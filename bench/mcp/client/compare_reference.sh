#!/usr/bin/env bash
# The library's client side by side with the protocol's reference TypeScript SDK's client in
# one run: both call the "echo" tool of the same server (the project's stateless example
# server on 127.0.0.1 at a free port) over Streamable HTTP, with keep-alive, with 1 and with 16
# calls in flight. Prints round trips per second, CPU time per call, peak memory, and the
# library's ratio to the reference.
#
#     bench/mcp/client/compare_reference.sh [BUILD_DIR [SECONDS]]
#
# BUILD_DIR (default build/release) must hold the client_load and stateless_http_server
# targets; the reference client is bench/peers/reference_sdk (tools/install-npm-peers.sh
# installs it).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../../.." && pwd)
build=$(cd "${1:-$top/build/release}" && pwd)
seconds=${2:-3}
peer="$top/bench/peers/reference_sdk"
load="$build/bench/mcp/client/client_load"
server="$build/examples/stateless_http_server/stateless_http_server"

log=$(mktemp)
"$server" 0 >"$log" 2>&1 &
server_pid=$!
cleanup() {
  kill "$server_pid" 2>/dev/null || true
  wait "$server_pid" 2>/dev/null || true
  rm -f "$log"
}
trap cleanup EXIT
url=""
for _ in $(seq 200); do
  url=$(sed -n 's/^Listening on //p' "$log")
  [[ "$url" == http://* ]] && break
  kill -0 "$server_pid" 2>/dev/null || break
  sleep 0.05
done
if [[ "$url" != http://* ]]; then
  echo "the example server did not start:" >&2
  cat "$log" >&2
  exit 1
fi

# One client's line, as "rps cpu_us rss_mb".
measure() {
  local line
  line=$("$@") || { echo "failed: $*" >&2; exit 1; }
  sed -E 's/.*rps=([0-9.]+) cpu_us_per_call=([0-9.]+) rss_mb=([0-9.]+).*/\1 \2 \3/' <<<"$line"
}

printf '%-16s %9s %10s %12s %8s %11s\n' client in-flight calls/s cpu_us/call rss_mb ×reference
for in_flight in 1 16; do
  read -r ref_rps ref_cpu ref_rss <<<"$(measure node "$peer/client_load.mjs" "$url" "$in_flight" "$seconds")"
  printf '%-16s %9s %10s %12s %8s %11s\n' "reference SDK" "$in_flight" "$ref_rps" "$ref_cpu" "$ref_rss" 1.00
  read -r rps cpu rss <<<"$(measure "$load" "$url" "$in_flight" "$seconds")"
  printf '%-16s %9s %10s %12s %8s %11.2f\n' library "$in_flight" "$rps" "$cpu" "$rss" \
    "$(awk -v a="$rps" -v b="$ref_rps" 'BEGIN { print a / b }')"
done
