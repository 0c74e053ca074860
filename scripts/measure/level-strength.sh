#!/usr/bin/env bash
# Measures the strength of each level of quenlor-uci: for every level and every reference
# opponent, a match through the real xboard (scripts/match/match.sh, colours alternating), then
# one line per level with its score against each opponent and a rating from all its games
# (logistic model, each opponent's rating given, with a 95% error bar from the games' count).
#   scripts/measure/level-strength.sh [GAMES] [LEVELS] [MAX_MOVES]
# (default 10 games per opponent, levels "1 2 3 4 5 6", draws adjudicated after 150 moves)
# Opponents: Fairy-Max at search depths 1, 2 and 3 (sent "sd N"), rated 0, 200 and 400 on this
# scale by convention, so the ratings are relative to Fairy-Max at depth 1, not absolute Elo.
set -euo pipefail
cd "$(dirname "$0")/../.."
games=${1:-10}
levels=${2:-"1 2 3 4 5 6"}
maxMoves=${3:-150}
out=$(mktemp -d /tmp/quenlor-strength.XXXXXX)
declare -A rating=([1]=0 [2]=200 [3]=400)
for level in $levels; do
  for depth in 1 2 3; do
    bash scripts/match/match.sh -u -c alternate -n "$games" --quenlor-option "Skill Level=$level" \
      -o fairymax -d "$depth" -m "$maxMoves" --out "$out/l$level-d$depth" >"$out/l$level-d$depth.txt" 2>&1 || true
  done
  awk -v level="$level" -v r1="${rating[1]}" -v r2="${rating[2]}" -v r3="${rating[3]}" '
    FNR == 1 { d++ }
    $1 ~ /^[0-9]+$/ && ($5 == "win" || $5 == "draw" || $5 == "loss") {
      s = $5 == "win" ? 1 : $5 == "draw" ? 0.5 : 0
      n[d]++; score[d] += s; total++; all += s
    }
    END {
      opp[1] = r1; opp[2] = r2; opp[3] = r3
      # The rating whose expected score over these games equals the score made (bisection).
      lo = -1500; hi = 2500
      for (i = 0; i < 60; i++) {
        mid = (lo + hi) / 2; e = 0
        for (k = 1; k <= 3; k++) e += n[k] / (1 + 10 ^ ((opp[k] - mid) / 400))
        if (e < all) lo = mid; else hi = mid
      }
      p = all / total; if (p < 0.01) p = 0.01; if (p > 0.99) p = 0.99
      err = 1.96 * sqrt(p * (1 - p) / total) * 400 / (log(10) * p * (1 - p))
      printf "level %d  vs depth 1: %s/%d  depth 2: %s/%d  depth 3: %s/%d  rating %+d +- %d\n",
        level, score[1], n[1], score[2], n[2], score[3], n[3], mid, err
    }' "$out/l$level-d1.txt" "$out/l$level-d2.txt" "$out/l$level-d3.txt"
done
echo "games and logs in $out"
