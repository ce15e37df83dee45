#!/usr/bin/env bash
# Builds the program and palmfixture, writes a demo Palm Desktop installation into the build
# folder, points the programs at it (a brellon.ini beside the executables
# sets PDPath) and starts the wizard.
#
#   bash scripts/run.sh [classic|4.1|6|jet]
#
# The argument picks the generation of the demo data by the version of the
# demo's palm.exe: classic .dat files (4.0), 4.1.x "PalmSG" files (4.1.4,
# the default) or 6.x databases (6.0); "jet" gives a 6.x installation whose
# databases are the Jet 4 files of tests/data/jet.
set -euo pipefail
cd "$(dirname "$0")/.."
case "${1:-4.1}" in
  classic) version=4.0.1.0 ;;
  4.1) version=4.1.4.0 ;;
  6) version=6.0.1.0 ;;
  jet) version=6.0.1.0 ;;
  *) echo "usage: bash scripts/run.sh [classic|4.1|6|jet]" >&2; exit 2 ;;
esac
bash scripts/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
# Only what this script runs: the tests and benchmarks are built by test.sh.
cmake --build build -j"$(nproc)" --target tarnwick palmfixture
rm -rf build/demo
# 40 records per user and application, 8 of them duplicates, in the generation
# the demo's Palm Desktop version selects.
if [ "${1:-}" = jet ]; then
  ./build/palmfixture build/demo --version "$version" --user "Demo User" --jet tests/data/jet
else
  ./build/palmfixture build/demo --version "$version" --user "Demo User" --user SmithJ \
    --records 40 --duplicates 8 --seed 1
fi
printf '[Path]\r\nPDPath=%s\r\n' "$(pwd)/build/demo" > build/brellon.ini
exec ./build/tarnwick
