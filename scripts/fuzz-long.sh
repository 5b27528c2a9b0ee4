#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# A long fuzzing campaign, beside the brief one the test command runs: every
# libFuzzer target (or those named) for RUNS executions each (default 10^8),
# one per core, from the same clang build (build-asan) and corpora. Prints
# each target's executions, time and rate, and fails on the first finding.
# Not part of CI: 10^8 executions take the better part of an hour per target
# on a two-core machine.
#
#   bash scripts/fuzz-long.sh [--runs N] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
runs=100000000
if [ "${1:-}" = "--runs" ]; then runs=$2; shift 2; fi
CXX=clang++ bash scripts/build.sh build-asan -DM797_SANITIZER=address -DM797_GUI=OFF -DM797_BENCH=OFF \
  -DM797_FUZZ=ON >/dev/null
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for f in build-asan/fuzz/fuzz_*; do [ -x "$f" ] && targets+=("$(basename "$f")"); done
fi
one() {  # target
  local name=$1 seeds=() start=$SECONDS rc=0
  mkdir -p "build-asan/corpus/$name"
  [ -d "fuzz/seeds/$name" ] && seeds=("fuzz/seeds/$name")
  "build-asan/fuzz/$name" -runs="$runs" -rss_limit_mb=2048 -print_final_stats=1 \
    "build-asan/corpus/$name" "${seeds[@]}" >"build-asan/$name.long.log" 2>&1 || rc=$?
  local done_runs
  done_runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "build-asan/$name.long.log" | grep -o '[0-9]*$' || echo 0)
  local took=$((SECONDS - start))
  echo "$name: $done_runs executions in ${took} s ($((done_runs / (took > 0 ? took : 1))) a second), status $rc"
  return "$rc"
}
status=0
running=()
for t in "${targets[@]}"; do
  one "$t" &
  running+=($!)
  if [ ${#running[@]} -ge "$(nproc)" ]; then
    wait "${running[0]}" || status=1
    running=("${running[@]:1}")
  fi
done
for p in "${running[@]}"; do wait "$p" || status=1; done
[ "$status" = 0 ] || echo "a target found something: see build-asan/TARGET.long.log and the crash-* file it names"
exit "$status"
