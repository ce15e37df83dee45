#!/usr/bin/env bash
# Builds the program, its tools and every test with AddressSanitizer and
# UndefinedBehaviorSanitizer in build-asan/ and runs the whole test suite
# there. Any finding ends the program that made it, so its test fails:
# memory errors and leaks (ASan, LeakSanitizer) and undefined behaviour
# (UBSan, with a stack trace). Leaks inside the system's own libraries that
# the program cannot free are listed, each with its reason, in
# resources/sanitizers/lsan.supp; nothing of ours may be listed there.
#
#   bash scripts/sanitize.sh [CTEST ARGUMENTS...]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$root/build-asan

export ASAN_OPTIONS=halt_on_error=1:abort_on_error=1:detect_leaks=1:check_initialization_order=1:strict_init_order=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export LSAN_OPTIONS=suppressions=$root/resources/sanitizers/lsan.supp:print_suppressions=0

bash scripts/deps.sh
flags="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer -O1"
# The benchmarks are left out: they are built, never run, by the tests.
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=TRUE \
  -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null
cmake --build "$build" -j2
cd "$build" && ctest --output-on-failure -j2 "$@"
