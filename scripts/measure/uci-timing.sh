#!/usr/bin/env bash
# Times the UCI program against the developer tool over the reference positions: one running
# quenlor-uci answering "position fen ..." and "go" for every position, and one
# `quenlor-tool best -` choosing a move for every FEN. Wall times by hyperfine (noisy on a busy
# machine), then instruction counts by callgrind (exact and repeatable).
#   scripts/measure/uci-timing.sh [build-dir]     (default build/release)
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build/release}
positions=../shared/reference/positions.tsv
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

tail -n +2 "$positions" | cut -f1 >"$work/fens"
{
  echo uci
  while IFS= read -r fen; do
    echo "position fen $fen"
    echo go
  done <"$work/fens"
  echo quit
} >"$work/uci-input"
echo "$(wc -l <"$work/fens") positions"

if command -v hyperfine >/dev/null; then
  hyperfine --warmup 1 --runs 10 \
    -n quenlor-uci "$build/quenlor-uci < $work/uci-input > /dev/null" \
    -n "quenlor-tool best" "$build/quenlor-tool best - < $work/fens > /dev/null"
fi

if command -v valgrind >/dev/null; then
  for program in uci tool; do
    if [ "$program" = uci ]; then
      command=("$build/quenlor-uci")
      input="$work/uci-input"
    else
      command=("$build/quenlor-tool" best -)
      input="$work/fens"
    fi
    valgrind --tool=callgrind --callgrind-out-file="$work/callgrind.$program" "${command[@]}" \
      <"$input" >/dev/null 2>"$work/valgrind.$program"
    instructions=$(grep -E '^summary:|^totals:' "$work/callgrind.$program" | head -1 | awk '{print $2}')
    echo "$program: $instructions instructions"
  done
fi
