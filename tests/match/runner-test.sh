#!/usr/bin/env bash
# Plays games through scripts/match/match.sh and the real xboard, and checks the runner's verdict.
#   runner-test.sh QUENLOR clean             two games against fairymax must end without a fault
#   runner-test.sh QUENLOR_UCI uci           the same through polyglot, Quenlor White then Black
#   runner-test.sh QUENLOR illegal|exit|silent|chatter
#                                            a faulty Quenlor must make the runner fail and name
#                                            the fault
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
runner="$here/../../scripts/match/match.sh"
quenlor=$1 mode=$2
out=$(mktemp -d /tmp/quenlor-match-test.XXXXXX)
trap 'rm -rf "$out"' EXIT

fail() {
  echo "FAILED ($mode): $*"
  echo "--- runner output"
  cat "$out/output"
  exit 1
}

# Each faulty mode, the faults the runner must report for it.
expected=()
case $mode in
  clean | uci) games=2 engine=$quenlor ;;
  illegal) expected=("termination: Xboard: Forfeit due to invalid move: e8e1") ;;
  exit) expected=("watchdog: no engine traffic"
                  "protocol: unasked output \"quenlor: end of input\""
                  "protocol: no reply to \"usermove") ;;
  silent) expected=("watchdog: no engine traffic" "protocol: no reply to \"usermove") ;;
  chatter) expected=("protocol: unasked output \"tellics say unasked\" after \"usermove") ;;
  *) echo "unknown mode $mode"; exit 2 ;;
esac
if [ "$mode" != clean ] && [ "$mode" != uci ]; then
  # The fault comes at the second opponent move: no game can be over by then (the quickest mate
  # is Black's second move, which the faulty engine never makes normally).
  games=1 engine="$here/faulty-engine.sh $quenlor $mode 1"
fi

options=()
[ "$mode" = uci ] && options=(--uci-quenlor --colour alternate)
bash "$runner" -q "$engine" "${options[@]}" -n "$games" -d 2 -m 100 -s 10 --out "$out/match" \
  >"$out/output" 2>&1
status=$?

if [ "$mode" = uci ]; then
  [ "$status" -eq 0 ] || fail "runner exited with $status"
  grep -q '^no faults$' "$out/output" || fail "no 'no faults' line"
  sound=$(awk -F'\t' '$7 == "ok" { print $1, ($2 == "Quenlor" ? "white" : $3 == "Quenlor" ? "black" : "none") }' \
    "$out/match/games.tsv" | tr '\n' ' ')
  [ "$sound" = "1 white 2 black " ] || fail "sound games and Quenlor's colours: '$sound'"
elif [ "$mode" = clean ]; then
  [ "$status" -eq 0 ] || fail "runner exited with $status"
  grep -q '^no faults$' "$out/output" || fail "no 'no faults' line"
  played=$(awk -F'\t' '$3 == "Quenlor" && $7 == "ok"' "$out/match/games.tsv" | wc -l)
  [ "$played" -eq "$games" ] || fail "$played sound games with Quenlor as Black, not $games"
  # Every game is a new Quenlor process, greeted by its own handshake, though xboard was given
  # no option to restart it.
  processes=$(awk '$1 == "processes" { n += $2 } END { print n + 0 }' "$out/match/protocol.txt")
  [ "$processes" -eq "$games" ] || fail "$processes Quenlor processes for $games games"
else
  [ "$status" -eq 1 ] || fail "runner exited with $status, not 1"
  for text in "${expected[@]}"; do
    grep -qF "game 1: $text" "$out/output" || fail "no fault '$text' reported"
  done
fi
echo "ok: $mode"
