#!/usr/bin/env bash
# Builds the benchmarks in Release and runs them, pinned to one core when taskset is there.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build/release"

"$root/scripts/install-deps.sh" test

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DASTREL_BUILD_BENCHMARKS=ON -DASTREL_BUILD_TESTS=OFF
cmake --build "$build" --target AstrelBenchmarks -j "$(nproc)"

pin=()
if command -v taskset >/dev/null; then
    pin=(taskset -c 0)
fi

run=("${pin[@]}" "$build/bench/AstrelBenchmarks" "$@")

if [[ -z "${DISPLAY:-}" ]]; then
    xvfb-run -a "${run[@]}"
else
    "${run[@]}"
fi
