#!/usr/bin/env bash
# Builds the fuzz targets (the `fuzz` preset: clang with libFuzzer, ASan and UBSan) and runs
# each for a fixed, short time from its seed inputs in tests/fuzz/corpus/<target>/. A crash, a
# sanitizer report, a leak or an input that takes too long fails; the input that did it is kept
# in build/fuzz/artifacts/. New inputs found on the way are not kept.
#
#   FUZZ_SECONDS   seconds per target (default 6)
#   JOBS           build jobs (default 3)
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${FUZZ_SECONDS:-6}
jobs=${JOBS:-3}

cmake --preset fuzz > /dev/null
cmake --build --preset fuzz -j "$jobs"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
artifacts=build/fuzz/artifacts
mkdir -p "$artifacts"

for corpus in tests/fuzz/corpus/*/; do
    target=$(basename "$corpus")
    mkdir -p "$work/$target"
    echo "fuzz: $target for ${seconds}s"
    if ! "build/fuzz/tests/fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -artifact_prefix="$artifacts/$target-" "$work/$target" "$corpus" > "$work/$target.log" 2>&1; then
        tail -n 60 "$work/$target.log"
        echo "fuzz: $target failed; its input is in $artifacts/" >&2
        exit 1
    fi
done
