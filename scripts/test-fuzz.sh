#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer + UndefinedBehaviorSanitizer, in
# build/fuzz) and runs each for BRIGHTOWL_FUZZ_SECONDS (60) from its seed corpus in fuzz/corpus/.
# New inputs go to build/fuzz/corpus/, crashes to build/fuzz/artifacts/; a crash fails the run.
# Usage: scripts/test-fuzz.sh [target]...   (request, request_path, settings)
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${BRIGHTOWL_FUZZ_SECONDS:-60}
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(request request_path settings)
start=$(date +%s)

export ASAN_OPTIONS="halt_on_error=1:detect_leaks=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
# The whole build is instrumented for coverage; only the fuzz targets link libFuzzer's main.
cmake -S . -B build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link" -DBRIGHTOWL_SANITIZE=address,undefined \
    -DBRIGHTOWL_FUZZ=ON -DBRIGHTOWL_TESTS=OFF -DBRIGHTOWL_BENCH=OFF -DBRIGHTOWL_WERROR=ON
build_targets=()
for target in "${targets[@]}"; do build_targets+=("fuzz_$target"); done
cmake --build build/fuzz -j "$(nproc)" --target "${build_targets[@]}"
echo "== fuzz build: $(( $(date +%s) - start )) s"

for target in "${targets[@]}"; do
    mkdir -p "build/fuzz/corpus/$target" build/fuzz/artifacts
    echo "== fuzzing $target for $seconds s"
    # Absolute paths: the request target works in a temporary folder of its own.
    "build/fuzz/fuzz/fuzz_$target" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="$PWD/build/fuzz/artifacts/$target-" \
        "$PWD/build/fuzz/corpus/$target" "$PWD/fuzz/corpus/$target"
done
echo "== fuzzing: $(( $(date +%s) - start )) s"
