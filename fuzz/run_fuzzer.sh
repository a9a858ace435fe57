#!/bin/bash
# Runs one fuzz target for a number of seconds from its seeds.
#   run_fuzzer.sh EXE SOURCE_DIR NAME WORK_DIR SECONDS
# Exits non-zero when the fuzzer finds a crash, a leak or an abort; the
# input that did it is left in WORK_DIR.
set -euo pipefail
exe=$1 src=$2 name=$3 work=$4 seconds=$5
rm -rf "$work/corpus"
mkdir -p "$work/corpus" "$work/artifacts"
seeds=()
case $name in
  bmp_reader) seeds=("$src/tests/fixtures/bmpsuite/g" "$src/tests/fixtures/bmpsuite/q"
                     "$src/tests/fixtures/bmpsuite/b" "$src/fuzz/seeds/bmp_reader") ;;
  *) [ -d "$src/fuzz/seeds/$name" ] && seeds=("$src/fuzz/seeds/$name") ;;
esac
existing=()
for s in "${seeds[@]}"; do [ -d "$s" ] && existing+=("$s"); done
"$exe" "$work/corpus" "${existing[@]}" -max_total_time="$seconds" -rss_limit_mb=2048 \
  -artifact_prefix="$work/artifacts/" -print_final_stats=1 2>&1 | tail -n 25
