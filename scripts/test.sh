#!/usr/bin/env bash
# Builds everything and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"
# The test programs keep to program folders of their own, so the demo's
# brellon.ini that scripts/run.sh leaves in build/ does not reach them.
(cd build && ctest --output-on-failure -j"$(nproc)")
# The whole suite once more with AddressSanitizer and UndefinedBehaviorSanitizer
# (build-asan/), then every fuzz target for a few seconds after replaying the
# inputs of its earlier findings (build-fuzz/); any finding fails the run.
bash scripts/sanitize.sh
bash scripts/fuzz.sh "${TARNWICK_FUZZ_SECONDS:-8}"
