#!/usr/bin/env bash
# Plays Quenlor's UCI program against fake engines that break down at their first move, through
# scripts/match/uci-match.mjs, and checks that the runner charges each fault to the right engine,
# gives the game to the other, restarts the faulty one and exits with status 1.
#   uci-runner-test.sh QUENLOR_UCI
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root="$here/../.."
quenlor=$1
if [ ! -d "$root/web/node_modules/chess.js" ]; then
  (cd "$root/web" && npm ci --no-audit --no-fund --ignore-scripts >/dev/null) || { echo "npm ci failed"; exit 77; }
fi
out=$(mktemp -d /tmp/quenlor-uci-match.XXXXXX)
trap 'rm -rf "$out"' EXIT
fail() { echo "FAILED: $*"; cat "$out/log"; exit 1; }

cat >"$out/fake" <<'EOF'
#!/usr/bin/env bash
# illegal: moves a piece it does not have; exit: exits; hang: stops answering; slow: answers
# legal moves (e4 as White, a6 as Black) after 1.5 s.
while read -r command rest; do
  case $command in
    uci) echo "id name fake $1"; echo uciok ;;
    isready) echo readyok ;;
    quit) exit 0 ;;
    position) position=$rest ;;
    go) case $1 in
          illegal) echo "bestmove e8e1" ;;
          exit) exit 3 ;;
          hang) exec sleep 60 ;;
          slow) sleep 1.5; [ "$position" = startpos ] && echo "bestmove e2e4" || echo "bestmove a7a6" ;;
        esac ;;
  esac
done
EOF
chmod +x "$out/fake"
engines=(--engine name=quenlor "cmd=$quenlor")
for mode in illegal exit hang slow; do engines+=(--engine "name=$mode" "cmd=$out/fake $mode"); done
node "$root/scripts/match/uci-match.mjs" "${engines[@]}" --each tc=1+0 --gauntlet --games 2 \
  --openings none --stall 2000 --json "$out/run.json" --pgn "$out/run.pgn" >"$out/log" 2>&1
status=$?
[ "$status" -eq 1 ] || fail "exit status $status, not 1"

# Each fake engine: the kind of fault it must be charged with, twice; then the PGN terminations.
node --input-type=module - "$out/run.json" <<'EOF' >>"$out/log" 2>&1 || fail "wrong results"
import { readFileSync } from 'node:fs';
const run = JSON.parse(readFileSync(process.argv[2], 'utf8'));
const expected = { quenlor: {}, illegal: { illegal: 2 }, exit: { crash: 2 }, hang: { hang: 2 }, slow: { time: 2 } };
for (const [name, counts] of Object.entries(expected)) {
  for (const kind of ['illegal', 'crash', 'hang', 'time']) {
    if (run.faults[name][kind] !== (counts[kind] ?? 0)) throw new Error(`${name} ${kind}: ${run.faults[name][kind]}`);
  }
}
const won = run.games.filter((g) => (g.white === 'quenlor' ? g.score : 1 - g.score) === 1).length;
if (run.games.length !== 8 || won !== 8) throw new Error(`quenlor won ${won} of ${run.games.length}`);
EOF
terminations=$(grep -o '^\[Termination "[a-z ]*"' "$out/run.pgn" | sort | uniq -c | tr -s ' ' | tr '\n' ';')
[ "$terminations" = ' 4 [Termination "abandoned"; 2 [Termination "rules infraction"; 2 [Termination "time forfeit";' ] ||
  fail "terminations: $terminations"
echo "uci-runner-test: faults charged and games scored as expected"
