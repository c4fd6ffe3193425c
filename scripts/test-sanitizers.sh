#!/usr/bin/env bash
# The whole test suite under AddressSanitizer + UndefinedBehaviorSanitizer (build/asan), then the
# Qt-free capture and server cores and the reliability tests under ThreadSanitizer (build/tsan).
# Any report ends the run with a failure. Usage: scripts/test-sanitizers.sh [asan|tsan]...
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=$(nproc)
runs=("$@")
[ ${#runs[@]} -gt 0 ] || runs=(asan tsan)
export QT_QPA_PLATFORM=offscreen

elapsed() {
    echo "== $1: $(( $(date +%s) - $2 )) s"
}

run_asan() {
    local start
    start=$(date +%s)
    # The options are exported before the build too: test discovery runs the binaries at build time.
    export ASAN_OPTIONS="halt_on_error=1:detect_leaks=1:detect_stack_use_after_return=1:strict_string_checks=1:check_initialization_order=1"
    export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
    export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"
    cmake -S . -B build/asan -DCMAKE_BUILD_TYPE=Debug -DBRIGHTOWL_WERROR=ON \
        -DBRIGHTOWL_SANITIZE=address,undefined -DBRIGHTOWL_BENCH=OFF
    cmake --build build/asan -j "$jobs"
    ctest --test-dir build/asan --output-on-failure -j "$jobs" --timeout 600
    elapsed "AddressSanitizer + UndefinedBehaviorSanitizer" "$start"
}

run_tsan() {
    local start
    start=$(date +%s)
    export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1"
    cmake -S . -B build/tsan -DCMAKE_BUILD_TYPE=Debug -DBRIGHTOWL_WERROR=ON \
        -DBRIGHTOWL_SANITIZE=thread -DBRIGHTOWL_QT=OFF -DBRIGHTOWL_BENCH=OFF
    cmake --build build/tsan -j "$jobs"
    ctest --test-dir build/tsan --output-on-failure -j "$jobs" --timeout 600
    elapsed "ThreadSanitizer" "$start"
}

for run in "${runs[@]}"; do
    case "$run" in
    asan) run_asan ;;
    tsan) run_tsan ;;
    *) echo "unknown run: $run (asan or tsan)" >&2; exit 2 ;;
    esac
done
