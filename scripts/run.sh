#!/usr/bin/env bash
# Builds everything, writes a demo Palm Desktop installation into the build
# folder, points the tools at it and shows what it offers.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"
rm -rf build/demo
./build/palmfixture build/demo --user "Demo User" --user SmithJ
printf '[Path]\r\nPDPath=%s\r\n' "$(pwd)/build/demo" > build/brellon.ini
./build/palmdump
