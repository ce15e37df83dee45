#!/usr/bin/env bash
# Builds everything and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"
# The demo's brellon.ini (scripts/run.sh) would point every program in build/,
# the tests included, at the demo installation instead of their own fixtures.
rm -f build/brellon.ini
cd build && ctest --output-on-failure -j"$(nproc)"
