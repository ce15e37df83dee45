#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ (clang, AddressSanitizer and
# UndefinedBehaviorSanitizer) in build-fuzz/, writes their seed corpora,
# replays the kept regression inputs (fuzz/regressions/<target>/) and runs
# every target for a set time, two at a time.
#
#   bash scripts/fuzz.sh [SECONDS] [TARGET...]
#
# SECONDS per target (default 600); TARGET names (default all). The corpora
# grow in build-fuzz/corpus/<target>/ from run to run; a finding's input is
# kept in build-fuzz/findings/. Prints executions per second and totals per
# target and exits non-zero on any crash, leak, timeout or out-of-memory.
# Environment: FUZZ_JOBS (targets at a time, default 2), FUZZ_RSS_MB (memory
# limit per target, default 2048), FUZZ_TIMEOUT (seconds one input may take,
# default 10).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
seconds=${1:-600}
shift || true
jobs=${FUZZ_JOBS:-2}
rss=${FUZZ_RSS_MB:-2048}
timeout=${FUZZ_TIMEOUT:-10}
build=$root/build-fuzz

bash scripts/deps.sh
CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARNWICK_FUZZ=ON >/dev/null
cmake --build "$build" --target fuzz -j2 >/dev/null

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for src in fuzz/fuzz_*.cpp; do
    targets+=("$(basename "$src" .cpp)")
  done
fi

# The targets write the files they load into a scratch folder under TMPDIR;
# in memory when there is a /dev/shm. Each run has its own, removed at exit.
scratch=$(mktemp -d "$( [ -d /dev/shm ] && echo /dev/shm || echo /tmp )/tarnwick-fuzz.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
export TMPDIR=$scratch
seeds=$scratch/seeds
"$build/fuzz/fuzz_seeds" "$seeds"
logs=$build/logs
rm -rf "$logs"
mkdir -p "$build/findings" "$logs"

# Replays the kept inputs of one target (each once); 0 when all pass.
replay() {
  local t=$1 dir=$root/fuzz/regressions/$1
  [ -d "$dir" ] || return 0
  local files=("$dir"/*)
  [ -e "${files[0]}" ] || return 0
  "$build/fuzz/$t" -rss_limit_mb="$rss" -timeout="$timeout" "${files[@]}" >"$logs/$t.replay" 2>&1
}

# Fuzzes one target; its log holds libFuzzer's final statistics.
run() {
  local t=$1
  mkdir -p "$build/corpus/$t"
  if ! replay "$t"; then
    echo "replay failed" >>"$logs/$t.replay"
    return 1
  fi
  local start=$SECONDS rc=0
  "$build/fuzz/$t" -max_total_time="$seconds" -rss_limit_mb="$rss" -timeout="$timeout" -print_final_stats=1 \
    -artifact_prefix="$build/findings/$t-" "$build/corpus/$t" "$seeds/$t" >"$logs/$t.log" 2>&1 || rc=$?
  echo $((SECONDS - start)) >"$logs/$t.time"
  return $rc
}

declare -A status
running=()
for t in "${targets[@]}"; do
  if [ ! -x "$build/fuzz/$t" ]; then
    echo "no fuzz target $t" >&2
    exit 2
  fi
  run "$t" &
  running+=("$!:$t")
  if [ ${#running[@]} -ge "$jobs" ]; then
    entry=${running[0]}
    running=("${running[@]:1}")
    if wait "${entry%%:*}"; then status[${entry#*:}]=ok; else status[${entry#*:}]=FAILED; fi
  fi
done
for entry in "${running[@]}"; do
  if wait "${entry%%:*}"; then status[${entry#*:}]=ok; else status[${entry#*:}]=FAILED; fi
done

failed=0
printf '%-20s %8s %14s %10s %8s  %s\n' target seconds executions exec/s rss_mb result
for t in "${targets[@]}"; do
  log=$logs/$t.log
  stat() { sed -n "s/^stat::$1: *//p" "$log" 2>/dev/null | tail -1; }
  runs=$(stat number_of_executed_units)
  rate=$(stat average_exec_per_sec)
  peak=$(stat peak_rss_mb)
  time=$(cat "$logs/$t.time" 2>/dev/null || echo -)
  printf '%-20s %8s %14s %10s %8s  %s\n' "$t" "$time" "${runs:--}" "${rate:--}" "${peak:--}" "${status[$t]}"
  if [ "${status[$t]}" != ok ]; then
    failed=1
    echo "---- $t" >&2
    cat "$logs/$t.replay" 2>/dev/null | grep -E "invariant|ERROR|SUMMARY|Running:|replay failed" >&2 || true
    grep -E "invariant|ERROR|SUMMARY|Test unit written|artifact" "$log" 2>/dev/null >&2 || true
  fi
done
exit $failed
