#!/usr/bin/env bash
# Measures the strength of each level of quenlor-uci: for every level and every reference
# opponent, a match through the real xboard (scripts/match/match.sh, colours alternating), then
# one line per level with its score against each opponent and a rating from all its games
# (logistic model with the opponents' ratings given, and a 95% error bar from the games' count).
#   scripts/measure/level-strength.sh [GAMES] [LEVELS] [MAX_MOVES]
#     (default 10 games per opponent, levels "1 2 3 4 5 6", draws adjudicated after 150 moves)
#   scripts/measure/level-strength.sh --summary DIR     the table again from an earlier run
#   scripts/measure/level-strength.sh --anchor LEVEL GAMES
#     LEVEL against Debian's Stockfish limited to UCI_Elo 1350 (its lowest) at 40 moves in 30 s,
#     for an Elo estimate of that level that puts the relative ratings on the Elo scale
# Opponents: Fairy-Max searching 1, 2 and 3 plies (sent "sd N"), rated 0, 200 and 400 on this
# scale by convention: the ratings are relative to Fairy-Max at one ply, not absolute Elo.
set -euo pipefail
cd "$(dirname "$0")/../.."

# The table line of one level from its three match outputs.
summary() {
  local level=$1 dir=$2
  awk -v level="$level" '
    FNR == 1 { d++ }
    $1 ~ /^[0-9]+$/ {
      for (i = 2; i <= NF; i++) if ($i == "win" || $i == "draw" || $i == "loss") break
      if (i > NF) next
      s = $i == "win" ? 1 : $i == "draw" ? 0.5 : 0
      n[d]++; score[d] += s; total++; all += s
    }
    END {
      if (total == 0) { printf "level %d: no games\n", level; exit }
      opp[1] = 0; opp[2] = 200; opp[3] = 400
      # The rating whose expected score over these games equals the score made (bisection).
      lo = -1500; hi = 2500
      for (i = 0; i < 60; i++) {
        mid = (lo + hi) / 2; e = 0
        for (k = 1; k <= 3; k++) e += n[k] / (1 + 10 ^ ((opp[k] - mid) / 400))
        if (e < all) lo = mid; else hi = mid
      }
      p = all / total; if (p < 0.02) p = 0.02; if (p > 0.98) p = 0.98
      err = 1.96 * sqrt(p * (1 - p) / total) * 400 / (log(10) * p * (1 - p))
      printf "| %d | %g/%d | %g/%d | %g/%d | %+d ± %d |\n", level, score[1], n[1], score[2], n[2],
        score[3], n[3], mid, err
    }' "$dir/l$level-d1.txt" "$dir/l$level-d2.txt" "$dir/l$level-d3.txt"
}

header() {
  echo "| Level | vs 1 ply | vs 2 plies | vs 3 plies | rating |"
  echo "|---|---|---|---|---|"
}

if [ "${1:-}" = --anchor ]; then
  level=${2:?usage: level-strength.sh --anchor LEVEL GAMES} games=${3:-10}
  out=$(mktemp -d /tmp/quenlor-anchor.XXXXXX)
  bash scripts/match/match.sh -u -c alternate -n "$games" --quenlor-option "Skill Level=$level" \
    -o /usr/games/stockfish --uci --uci-option "UCI_LimitStrength=true" \
    --uci-option "UCI_Elo=1350" -d 0 -t 0:30 -m 150 --out "$out" | tee "$out.txt" | tail -n 4
  awk -v level="$level" '
    $1 ~ /^[0-9]+$/ {
      for (i = 2; i <= NF; i++) if ($i == "win" || $i == "draw" || $i == "loss") break
      if (i > NF) next
      all += $i == "win" ? 1 : $i == "draw" ? 0.5 : 0; total++
    }
    END {
      p = all / total; q = p < 0.02 ? 0.02 : p > 0.98 ? 0.98 : p
      elo = 1350 + 400 * log(q / (1 - q)) / log(10)
      err = 1.96 * sqrt(q * (1 - q) / total) * 400 / (log(10) * q * (1 - q))
      printf "level %d: %g/%d against Stockfish at UCI_Elo 1350: Elo %d ± %d\n", level, all, total,
        elo, err
    }' "$out.txt"
  exit 0
fi

if [ "${1:-}" = --summary ]; then
  dir=${2:?usage: level-strength.sh --summary DIR}
  header
  for f in "$dir"/l*-d1.txt; do
    level=${f##*/l}
    summary "${level%%-*}" "$dir"
  done
  exit 0
fi

games=${1:-10}
levels=${2:-"1 2 3 4 5 6"}
maxMoves=${3:-150}
out=$(mktemp -d /tmp/quenlor-strength.XXXXXX)
header
for level in $levels; do
  for depth in 1 2 3; do
    bash scripts/match/match.sh -u -c alternate -n "$games" --quenlor-option "Skill Level=$level" \
      -o fairymax -d "$depth" -m "$maxMoves" --out "$out/l$level-d$depth" \
      >"$out/l$level-d$depth.txt" 2>&1 || true
  done
  summary "$level" "$out"
done
echo "games and logs in $out"
