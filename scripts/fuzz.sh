#!/usr/bin/env bash
# Builds the libFuzzer targets with clang, AddressSanitizer and UndefinedBehaviorSanitizer and
# runs each on its seed corpus for a bounded time.
#   scripts/fuzz.sh            about 25 seconds per target (part of the test command)
#   scripts/fuzz.sh 3600       an hour per target
# New inputs go to build/fuzz/corpus; a crash leaves its input in build/fuzz/findings.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build/fuzz"
seconds="${1:-25}"

"$root/scripts/install-deps.sh" test

flags="-O1 -g -fno-omit-frame-pointer -fsanitize=address,undefined -fno-sanitize-recover=undefined -fsanitize=fuzzer-no-link"

cmake -S "$root" -B "$build" \
    -DCMAKE_C_COMPILER=clang \
    -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_FLAGS_RELWITHDEBINFO="$flags" \
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="$flags" \
    -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
    -DASTREL_BUILD_TESTS=OFF \
    -DASTREL_BUILD_FUZZERS=ON
cmake --build "$build" --target AstrelStateChunkFuzzer AstrelSlotsJsonFuzzer -j "$(nproc)"

export ASAN_OPTIONS="detect_leaks=0:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1"

run_fuzzer () {
    local name="$1" seeds="$2"
    local work="$build/corpus/$seeds" findings="$build/findings/$seeds"
    mkdir -p "$work" "$findings"
    echo "== $name for $seconds s"
    "$build/tests/fuzz/$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 \
        -print_final_stats=1 -artifact_prefix="$findings/" "$work" "$root/tests/fuzz/corpus/$seeds"
}

run_fuzzer AstrelStateChunkFuzzer state
run_fuzzer AstrelSlotsJsonFuzzer slots
