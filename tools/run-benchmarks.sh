#!/usr/bin/env bash
# Runs every benchmark binary found under the given folder, one after another.
set -euo pipefail
dir=${1:?usage: run-benchmarks.sh BENCH_BUILD_DIR}
status=0
while IFS= read -r bin; do
  echo "== $bin"
  "$bin" --benchmark_min_time=0.2 || status=1
done < <(find "$dir" -type f -executable -name '*_bench' | sort)
exit $status
