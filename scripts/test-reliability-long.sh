#!/usr/bin/env bash
# The long versions of the load and fault checks: the reliability tests with every size multiplied
# by BRIGHTOWL_RELIABILITY_SCALE (default 10: 10 000 vanishing viewers, 1 500 killed saves, ...),
# then the silent-client CPU benchmark, then each fuzz target for BRIGHTOWL_FUZZ_SECONDS (600).
# Usage: scripts/test-reliability-long.sh [build folder]   (default build/long, Release)
set -euo pipefail
cd "$(dirname "$0")/.."

folder=${1:-build/long}
export BRIGHTOWL_RELIABILITY_SCALE=${BRIGHTOWL_RELIABILITY_SCALE:-10}
export QT_QPA_PLATFORM=offscreen
start=$(date +%s)

cmake -S . -B "$folder" -DCMAKE_BUILD_TYPE=Release
cmake --build "$folder" -j "$(nproc)" --target reliability_tests silent_clients_bench
"$folder/tests/reliability/reliability_tests"
for clients in 5 50; do
    "$folder/bench/silent_clients_bench" --clients "$clients" --seconds 5
done
echo "== load and fault tests at scale $BRIGHTOWL_RELIABILITY_SCALE: $(( $(date +%s) - start )) s"

BRIGHTOWL_FUZZ_SECONDS=${BRIGHTOWL_FUZZ_SECONDS:-600} bash scripts/test-fuzz.sh
