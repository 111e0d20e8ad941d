#!/usr/bin/env bash
# Runs the protocol's conformance suite against the fixture server and client built in
# BUILD_DIR (default build/dev): every server scenario, the pending ones included, against
# examples/conformance_server on a free loopback port, then the client suites with
# examples/conformance_client. Scenarios
# known to fail are listed in expected-failures.yml; the run fails on any other failure and
# on a listed scenario that passes.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../../.." && pwd)
build=$(cd "${1:-$top/build/dev}" && pwd)
baseline="$here/expected-failures.yml"
cd "$here"

server_log=$(mktemp)
"$build/examples/conformance_server/conformance_server" 0 >"$server_log" 2>&1 &
server_pid=$!
trap 'kill "$server_pid" 2>/dev/null || true; wait "$server_pid" 2>/dev/null || true; rm -f "$server_log"' EXIT

url=""
for _ in $(seq 100); do
  url=$(head -n 1 "$server_log")
  [[ "$url" == http://* ]] && break
  kill -0 "$server_pid" 2>/dev/null || { cat "$server_log"; exit 1; }
  sleep 0.1
done
[[ "$url" == http://* ]] || { echo "conformance_server did not start" >&2; exit 1; }
url=${url/127.0.0.1/localhost}

status=0
npx --no-install conformance server --url "$url" --suite all --expected-failures "$baseline" || status=1

# The client suites start their own test servers; their scenarios run in parallel.
client="$build/examples/conformance_client/conformance_client"
npx --no-install conformance client --command "$client" --suite core --expected-failures "$baseline" || status=1
for scenario in auth/client-credentials-basic auth/client-credentials-jwt; do
  npx --no-install conformance client --command "$client" --scenario "$scenario" \
    --expected-failures "$baseline" || status=1
done
exit $status
