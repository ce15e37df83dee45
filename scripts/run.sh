#!/usr/bin/env bash
# Builds everything, writes a demo Palm Desktop installation into the build
# folder, points the programs at it (a brellon.ini beside the executables
# sets PDPath) and shows what it offers; then starts the wizard when it is
# built.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"
rm -rf build/demo
# 40 records per user and application, 8 of them duplicates, in the generation
# the fixture's Palm Desktop version selects.
demo_user=$(./build/palmfixture build/demo --user "Demo User" --user SmithJ --records 40 --duplicates 8 --seed 1 |
  sed -n 's/^  user Demo User (id \([0-9]*\)).*/\1/p')
printf '[Path]\r\nPDPath=%s\r\n' "$(pwd)/build/demo" > build/brellon.ini
./build/palmdump --user "$demo_user" || true
if [ -x build/tarnwick ]; then
  exec ./build/tarnwick
fi
