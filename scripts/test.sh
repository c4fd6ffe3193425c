#!/usr/bin/env bash
# Installs what is missing, builds with warnings as errors and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
# shellcheck disable=SC2086
install_packages $BRIGHTOWL_BUILD_PACKAGES $BRIGHTOWL_TEST_PACKAGES

jobs=$(nproc)
cmake -S . -B build/ci -DCMAKE_BUILD_TYPE=Debug -DBRIGHTOWL_WERROR=ON
cmake --build build/ci -j "$jobs"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build/ci --output-on-failure -j "$jobs" --timeout 300
bash scripts/test-package.sh
bash scripts/test-sanitizers.sh
bash scripts/test-fuzz.sh
