#!/usr/bin/env bash
# Builds the suite with ThreadSanitizer and runs the tests that drive Astrel from several
# threads at once: the audio path against parameter changes, and the editing controllers
# against ticking processors. Exits non-zero on any report.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build/tsan"

"$root/scripts/install-deps.sh" test

cmake -S "$root" -B "$build" \
    -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_C_FLAGS_DEBUG="-O1 -g -fsanitize=thread" \
    -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g -fsanitize=thread" \
    -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=thread" \
    -DCMAKE_SHARED_LINKER_FLAGS="-fsanitize=thread" \
    -DCMAKE_MODULE_LINKER_FLAGS="-fsanitize=thread" \
    -DASTREL_BUILD_TESTS=ON
cmake --build "$build" --target AstrelTests -j "$(nproc)"

export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$root/tests/tsan.supp"
run=("$build/tests/AstrelTests" "--gtest_filter=RealtimeSafety.*:Concurrency*.*")

if [[ -z "${DISPLAY:-}" ]]; then
    xvfb-run -a "${run[@]}"
else
    "${run[@]}"
fi
