#!/usr/bin/env bash
# Builds the store fuzz targets (clang libFuzzer; text and store sources only, no Qt) and runs
# each over its committed corpus for a short while through ctest.
# usage: scripts/fuzz-smoke.sh [BUILD_DIR]   (FUZZ_SECONDS=N sets the time per target, default 20)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-fuzz}
cmake -S "$root/fuzz" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ \
  -DVESKA_FUZZ_SECONDS="${FUZZ_SECONDS:-20}" >/dev/null
ninja -C "$build"
ctest --test-dir "$build" --output-on-failure -j2
