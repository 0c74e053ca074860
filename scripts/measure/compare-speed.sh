#!/usr/bin/env bash
# Compares the CPU time (user + system) of Quenlor and Debian's Stockfish, both as whole
# processes, side by side in one run:
#   replies: `quenlor-tool best -` over bench/positions-1000.fen against one Stockfish process
#            (Threads 1) answering `position fen ...` + `go depth 4` for every position;
#   perft:   `quenlor-tool perft <start position> 6` against Stockfish's `go perft 6`.
# Each measurement runs ROUNDS times (default 7), alternating the programs; the medians and their
# ratios (Quenlor / Stockfish) are printed. It builds nothing: build/release must exist
# (QUENLOR_TOOL names another quenlor-tool, e.g. an older build to compare with).
#   scripts/measure/compare-speed.sh [ROUNDS]
set -euo pipefail
cd "$(dirname "$0")/../.."
rounds=${1:-7}
tool=${QUENLOR_TOOL:-build/release/quenlor-tool}
stockfish=${STOCKFISH:-/usr/games/stockfish}
positions=bench/positions-1000.fen
start="rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1"

for program in "$tool" "$stockfish" /usr/bin/time; do
  [ -x "$program" ] || { echo "compare-speed: $program is missing (build/release not built?)" >&2; exit 2; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
count=$(grep -c . "$positions")

# Stockfish's commands: every search followed by `isready`; `quit` is sent only once the last
# answer has arrived (quit would stop a running search), so every search runs to its end. The
# wait costs Stockfish no CPU time: it blocks reading its input.
{
  echo uci
  echo "setoption name Threads value 1"
  echo isready
  while IFS= read -r fen; do
    [ -n "$fen" ] || continue
    echo "position fen $fen"
    echo "go depth 4"
    echo isready
  done <"$positions"
} >"$work/replies.in"
printf 'uci\nsetoption name Threads value 1\nisready\nposition startpos\ngo perft 6\nisready\n' \
  >"$work/perft.in"

# Runs Stockfish on a command file under /usr/bin/time, waiting for `want` lines matching
# `pattern` before quitting; prints user+sys seconds.
stockfish_cpu() {
  local input=$1 pattern=$2 want=$3
  {
    cat "$input"
    while [ "$(grep -c "$pattern" "$work/sf.out" 2>/dev/null || true)" -lt "$want" ]; do
      sleep 0.05
    done
    echo quit
  } | /usr/bin/time -f '%U %S' -o "$work/sf.time" "$stockfish" >"$work/sf.out"
  [ "$(grep -c "$pattern" "$work/sf.out")" -ge "$want" ] || { echo "stockfish stopped early" >&2; exit 1; }
  awk '{ printf "%.3f\n", $1 + $2 }' "$work/sf.time"
}

# Runs quenlor-tool with the given arguments and standard input; prints user+sys seconds.
quenlor_cpu() {
  local input=$1
  shift
  /usr/bin/time -f '%U %S' -o "$work/q.time" "$tool" "$@" <"$input" >"$work/q.out"
  awk '{ printf "%.3f\n", $1 + $2 }' "$work/q.time"
}

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

: >"$work/q.replies"; : >"$work/sf.replies"; : >"$work/q.perft"; : >"$work/sf.perft"
for ((i = 1; i <= rounds; i++)); do
  quenlor_cpu "$positions" best - >>"$work/q.replies"
  [ "$(grep -c . "$work/q.out")" -eq "$count" ] || { echo "quenlor-tool answered too few" >&2; exit 1; }
  stockfish_cpu "$work/replies.in" '^bestmove' "$count" >>"$work/sf.replies"
  quenlor_cpu /dev/null perft "$start" 6 >>"$work/q.perft"
  grep -q 'Nodes searched: 119060324' "$work/q.out" || { echo "quenlor-tool perft is wrong" >&2; exit 1; }
  stockfish_cpu "$work/perft.in" '^Nodes searched' 1 >>"$work/sf.perft"
  echo "round $i: replies $(tail -1 "$work/q.replies") s vs $(tail -1 "$work/sf.replies") s," \
    "perft 6 $(tail -1 "$work/q.perft") s vs $(tail -1 "$work/sf.perft") s" >&2
done

report() {
  local label=$1 q s
  q=$(median <"$work/q.$2")
  s=$(median <"$work/sf.$2")
  awk -v l="$label" -v q="$q" -v s="$s" \
    'BEGIN { printf "%-36s Quenlor %7.3f s  Stockfish %7.3f s  ratio %.2f\n", l, q, s, q / s }'
}
echo "CPU time (user+sys), median of $rounds rounds:"
report "replies ($count positions, depth 4)" replies
report "perft 6 (start position)" perft
