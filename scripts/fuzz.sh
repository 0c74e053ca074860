#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each one for SECONDS (default 60) on a scratch
# copy of its seed corpus, one target at a time. Fails on the first finding; the input that
# caused it is left in build/fuzz/findings/<target>/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
build=build/fuzz

CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUENLOR_FUZZ=ON \
  -DQUENLOR_TESTS=OFF -DQUENLOR_BENCH=OFF >/dev/null
cmake --build "$build" -j 2 --target fuzz_command fuzz_move fuzz_loop fuzz_rules fuzz_uci

# Per-target options: the parsers take long lines, the game targets long move sequences.
declare -A options=(
  [command]="-dict=fuzz/command.dict -max_len=4096"
  [move]="-dict=fuzz/move.dict -max_len=4096"
  [loop]="-max_len=256 -len_control=0"
  [rules]="-max_len=200 -len_control=0"
  [uci]="-max_len=512 -len_control=0"
)

for target in command move loop rules uci; do
  work="$build/corpus-work/$target"
  findings="$build/findings/$target"
  rm -rf "$work" "$findings"
  mkdir -p "$work" "$findings"
  cp fuzz/corpus/"$target"/* "$work"/
  echo "== fuzz_$target for ${seconds}s"
  # shellcheck disable=SC2086 # the options are meant to split into words
  if ! "$build/fuzz/fuzz_$target" ${options[$target]} -max_total_time="$seconds" -timeout=60 \
      -print_final_stats=1 -artifact_prefix="$findings/" "$work" >"$build/fuzz_$target.log" 2>&1; then
    tail -n 60 "$build/fuzz_$target.log"
    echo "fuzz_$target found a fault; input saved in $findings/" >&2
    exit 1
  fi
  grep -E '^(Done|stat::number_of_executed_units)' "$build/fuzz_$target.log" || true
done
echo "== fuzzing found nothing"
