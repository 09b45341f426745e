#!/bin/bash
# Sets up, builds and runs every test: unit and GUI tests, the fuzz targets over their seed
# corpus, and the end-to-end tests on a virtual X display with a real tray.
set -eu
cd "$(dirname "$0")/.."
bash scripts/setup-deps.sh
bash scripts/build.sh -DVESKA_TESTS=ON -DVESKA_BENCH=ON
ctest --test-dir build --output-on-failure --timeout 900 -j2
# The parsers' fuzz targets, briefly over their seed corpus (clang libFuzzer).
FUZZ_SECONDS=${FUZZ_SECONDS:-10} bash scripts/fuzz-smoke.sh build-fuzz
