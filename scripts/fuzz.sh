#!/bin/bash
# Runs the fuzz targets for longer than the test run does.
#   scripts/fuzz.sh SECONDS [target...]     (default: every target)
# Each target runs SECONDS from its seeds plus what earlier long runs found
# (kept in build/fuzz/long-<target>); a finding is left in
# build/fuzz/long-<target>/artifacts/ and makes the script exit non-zero.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
BUILD=${KELVO_BUILD:-$ROOT/build}
seconds=${1:?seconds}
shift
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=()
  for f in fuzz/fuzz_*.cpp; do n=${f#fuzz/fuzz_}; targets+=("${n%.cpp}"); done
fi
scripts/setup.sh
cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release >/dev/null
status=0
for t in "${targets[@]}"; do
  cmake --build "$BUILD" --target "fuzz_$t" >/dev/null
  work=$BUILD/fuzz/long-$t
  mkdir -p "$work/kept" "$work/artifacts"
  seeds=("$ROOT/fuzz/seeds/$t")
  [ "$t" = bmp_reader ] && seeds+=("$ROOT/tests/fixtures/bmpsuite/g" "$ROOT/tests/fixtures/bmpsuite/q" "$ROOT/tests/fixtures/bmpsuite/b")
  existing=()
  for s in "${seeds[@]}"; do [ -d "$s" ] && existing+=("$s"); done
  echo "== $t: $seconds s"
  if ! "$BUILD/fuzz/fuzz_$t" "$work/kept" "${existing[@]}" -max_total_time="$seconds" \
       -rss_limit_mb=2048 -artifact_prefix="$work/artifacts/" -print_final_stats=1 \
       2>"$work/log.txt"; then
    status=1
    echo "   FINDING: see $work/artifacts/ and $work/log.txt"
  fi
  grep -E 'stat::number_of_executed_units|stat::peak_rss_mb' "$work/log.txt" | sed 's/^/   /'
done
exit $status
