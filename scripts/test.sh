#!/usr/bin/env bash
# Installs what is missing, builds Astrel with assertions on and runs the whole test suite:
# the ThreadSanitizer run, the bounded fuzzing run and then every CTest test.
# Exits non-zero if anything fails.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build/test"

"$root/scripts/install-deps.sh" test

# Debug keeps JUCE's assertions on; -O1 keeps the audio tests quick.
cmake -S "$root" -B "$build" \
    -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_C_FLAGS_DEBUG="-O1" \
    -DCMAKE_CXX_FLAGS_DEBUG="-O1" \
    -DASTREL_BUILD_TESTS=ON
cmake --build "$build" -j "$(nproc)"

# The data-race check and a bounded fuzzing run, each in a build of its own.
"$root/scripts/tsan.sh"
"$root/scripts/fuzz.sh" 25

run_ctest=(ctest --test-dir "$build" --output-on-failure --timeout 600 -j "$(nproc)")

if [[ -z "${DISPLAY:-}" ]]; then
    xvfb-run -a -s "-screen 0 1600x1000x24" "${run_ctest[@]}"
else
    "${run_ctest[@]}"
fi
