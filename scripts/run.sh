#!/usr/bin/env bash
# Installs what is missing, builds the program and starts it in a working folder of its own.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
# shellcheck disable=SC2086
install_packages $BRIGHTOWL_BUILD_PACKAGES

cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DBRIGHTOWL_WERROR=OFF -DBRIGHTOWL_TESTS=OFF -DBRIGHTOWL_BENCH=OFF
# The program's target brings readme.pdf (rendered from README.md) along.
cmake --build build/release -j "$(nproc)" --target brightowl
exec scripts/brightowl-launch.sh "$PWD/build/release/brightowl" "$PWD/www" "$PWD/build/release/readme.pdf"
