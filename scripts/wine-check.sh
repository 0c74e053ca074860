#!/usr/bin/env bash
# Runs the Windows programs (build/windows, cross-compiled with MinGW-w64) under Wine and checks
# that they read and write exactly what the Linux programs (build/release) do:
#   - quenlor-uci.exe: `position fen` + `go` on the reference positions gives the native output
#     (every line, `time N` masked) and the reference move and `info string root` line;
#   - quenlor.exe: each reference game's input gives the expected output, standard error and
#     exit status, as natively;
#   - both: the same input with CR LF line ends, and the input cut before its `quit`, give the
#     same output, standard error and exit status as natively;
#   - quenlor-uci.exe: a game against the Linux quenlor-uci, as White and as Black, each engine
#     behind pipes and answering before the next command, gives the moves of two Linux engines;
#   - full mode only: quenlor-tool.exe prints the native bench signature.
#   scripts/wine-check.sh [--quick]   --quick: 11 positions and 2 games (CI); default: all
# Needs Debian's wine, wine64 and g++-mingw-w64-x86-64-posix (scripts/install-deps.sh installs
# them). Wine's prefix lives in build/wine-prefix; the runs' files in build/wine-check/.
set -euo pipefail
cd "$(dirname "$0")/.."
mode=full
case ${1:-} in
  --quick) mode=quick ;;
  --full | "") ;;
  *) echo "usage: scripts/wine-check.sh [--quick|--full]" >&2; exit 2 ;;
esac
ref=../shared/reference
work=build/wine-check
rm -rf "$work" && mkdir -p "$work"

# The native programs and the Windows ones (the tool only for the signature in full mode).
[ -f build/release/build.ninja ] || cmake --preset release >/dev/null
native_targets=(quenlor quenlor-uci)
[ $mode = full ] && native_targets+=(quenlor-tool)
cmake --build build/release -j 2 --target "${native_targets[@]}" >/dev/null
[ -f build/windows/build.ninja ] || cmake --preset windows >/dev/null
cmake --build --preset windows -j 2 >/dev/null
[ $mode = full ] && cmake --build build/windows -j 2 --target quenlor-tool >/dev/null

# A private 64-bit prefix, made once; its first-run messages go to a log, not to the results.
export WINEDEBUG=-all WINEARCH=win64 WINEPREFIX="$PWD/build/wine-prefix" WINEDLLOVERRIDES="mscoree,mshtml="
wine=$(command -v wine || command -v wine64)
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  "$wine" wineboot --init >"$work/wineboot.log" 2>&1
fi

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# run NAME PROGRAM INPUT: PROGRAM's standard output, error and exit status, in $work/NAME.*.
run() {
  local rc=0
  "${@:2:$#-2}" <"${!#}" >"$work/$1.out" 2>"$work/$1.err" || rc=$?
  echo "$rc" >"$work/$1.rc"
}
# same NAME: the Windows run NAME.win reads, writes and exits as the native NAME.linux did.
same() {
  cmp -s "$work/$1.linux.out" "$work/$1.win.out" || fail "$1: standard output differs"
  cmp -s "$work/$1.linux.err" "$work/$1.win.err" || fail "$1: standard error differs"
  cmp -s "$work/$1.linux.rc" "$work/$1.win.rc" || fail "$1: exit status differs"
}
crlf() { sed 's/$/\r/' "$1" >"$2"; }

# --- quenlor-uci on the reference positions: one session, a `position fen` and `go` each.
awk -F'\t' -v quick=$([ $mode = quick ] && echo 1 || echo 0) \
  'NR > 1 && (!quick || (NR - 2) % 16 == 0 || NR - 1 == 21)' "$ref/positions.tsv" >"$work/rows.tsv"
cut -f1 "$work/rows.tsv" | sed 's/^/position fen /; s/$/\ngo/' >"$work/uci.in"
echo quit >>"$work/uci.in"
run uci.linux build/release/quenlor-uci "$work/uci.in"
run uci.win "$wine" build/windows/quenlor-uci.exe "$work/uci.in"
sed -Ei 's/ time [0-9]+/ time T/' "$work"/uci.*.out  # the one part that may differ
same uci
# Per position: the root list and move of each build against the reference row.
awk -F'\t' '{ print "info string root" ($3 == "" ? "" : " " $3) "|bestmove " ($2 == "none" ? "(none)" : $2) }' \
  "$work/rows.tsv" >"$work/uci.want"
for side in linux win; do
  awk '/^info string root/ { root = $0 } /^bestmove/ { print root "|" $0 }' "$work/uci.$side.out" >"$work/uci.$side.got"
done
agree=$(paste "$work/uci.want" "$work/uci.linux.got" "$work/uci.win.got" | awk -F'\t' '$1 == $2 && $2 == $3' | wc -l)
positions=$(wc -l <"$work/rows.tsv")
[ "$agree" -eq "$positions" ] || fail "quenlor-uci: $((positions - agree)) positions differ"
echo "quenlor-uci.exe: $agree of $positions reference positions agree with the Linux build and the reference"

# quenlor-uci with CR LF line ends, and at the end of input without quit (status 0).
crlf "$work/uci.in" "$work/uci-crlf.in"
head -n -1 "$work/uci.in" >"$work/uci-eof.in"
for case in crlf eof; do
  run uci-$case.linux build/release/quenlor-uci "$work/uci-$case.in"
  run uci-$case.win "$wine" build/windows/quenlor-uci.exe "$work/uci-$case.in"
  sed -Ei 's/ time [0-9]+/ time T/' "$work"/uci-$case.*.out
  same uci-$case
done
cmp -s "$work/uci-crlf.win.out" "$work/uci.win.out" || fail "quenlor-uci: CR LF input changes the output"

# quenlor-uci in a game driven as an interface drives it: each engine behind a pair of pipes,
# every command sent only once the answer it waits for has come.
engine() {
  if [ "$1" = windows ]; then
    timeout 120 "$wine" build/windows/quenlor-uci.exe
  else
    timeout 120 build/release/quenlor-uci
  fi
}
# await FD WORD: the next line from FD that starts with WORD, within a minute.
await() {
  local line
  while IFS= read -r -t 60 line <&"$1"; do
    line=${line%$'\r'}
    [[ $line == "$2"* ]] && { echo "$line"; return 0; }
  done
  return 1
}
# play WHITE BLACK: one game from the starting position, each of WHITE and BLACK native or
# windows, up to 40 plies; prints the moves (kept in the game's folder with the engines' standard
# error), or fails when an answer does not come.
play() {
  local dir=$work/game-$1-$2 moves="" ply line wi wo bi bo
  mkdir -p "$dir" && mkfifo "$dir/w.in" "$dir/w.out" "$dir/b.in" "$dir/b.out"
  engine "$1" <"$dir/w.in" >"$dir/w.out" 2>"$dir/w.err" &
  engine "$2" <"$dir/b.in" >"$dir/b.out" 2>"$dir/b.err" &
  exec {wi}>"$dir/w.in" {wo}<"$dir/w.out" {bi}>"$dir/b.in" {bo}<"$dir/b.out"
  local status=0 in out
  for side in "$wi $wo" "$bi $bo"; do
    read -r in out <<<"$side"
    echo uci >&"$in" && await "$out" uciok >/dev/null || status=1
    echo isready >&"$in" && await "$out" readyok >/dev/null || status=1
    echo ucinewgame >&"$in"
  done
  for ((ply = 0; status == 0 && ply < 40; ply++)); do
    if ((ply % 2 == 0)); then in=$wi out=$wo; else in=$bi out=$bo; fi
    printf 'position startpos%s\ngo\n' "${moves:+ moves$moves}" >&"$in"
    line=$(await "$out" bestmove) || { status=1; break; }
    line=${line#bestmove }
    [ "${line%% *}" = "(none)" ] && break
    moves+=" ${line%% *}"
  done
  echo quit >&"$wi"
  echo quit >&"$bi"
  exec {wi}>&- {wo}<&- {bi}>&- {bo}<&-
  wait
  rm -f "$dir"/*.in "$dir"/*.out
  echo "${moves# }" | tee "$dir/moves"
  return $status
}
before=$failures
native_game=$(play native native) || fail "quenlor-uci: the Linux game stalled (files in $work/game-*)"
for pairing in "windows native" "native windows"; do
  # shellcheck disable=SC2086 # the pairing is meant to split into the two sides
  game=$(play $pairing) || fail "quenlor-uci: the game $pairing stalled (files in $work/game-*)"
  [ "$game" = "$native_game" ] || fail "quenlor-uci: the game $pairing differs from the Linux one"
done
[ $failures = "$before" ] &&
  echo "quenlor-uci.exe: as White and as Black against the Linux build over pipes, the" \
    "$(wc -w <<<"$native_game")-ply game of two Linux engines"

# --- quenlor on the reference games: as given, with CR LF line ends, and without the quit.
games=("$ref"/games/game*.in)
[ $mode = quick ] && games=("${games[@]:0:2}")
games_ok=0
for game in "${games[@]}"; do
  name=$(basename "$game" .in)
  crlf "$game" "$work/$name-crlf.in"
  head -n -1 "$game" >"$work/$name-eof.in"
  before=$failures
  for case in "" -crlf -eof; do
    input=$game
    [ -n "$case" ] && input=$work/$name$case.in
    run "$name$case.linux" build/release/quenlor "$input"
    run "$name$case.win" "$wine" build/windows/quenlor.exe "$input"
    same "$name$case"
  done
  cmp -s "$work/$name.win.out" "${game%.in}.out" || fail "$name: quenlor.exe's output is not the reference"
  [ ! -s "$work/$name.win.err" ] || fail "$name: quenlor.exe wrote to standard error"
  [ "$(cat "$work/$name.win.rc")" = "$(cat "${game%.in}.rc")" ] || fail "$name: exit status"
  grep -qx 'quenlor: end of input' "$work/$name-eof.win.err" || fail "$name: no end-of-input message"
  [ $failures = "$before" ] && games_ok=$((games_ok + 1))
done
echo "quenlor.exe: $games_ok of ${#games[@]} reference games agree (as given, CR LF, cut before quit)"

if [ $mode = full ]; then
  native=$(build/release/quenlor-tool signature)
  # The tool is not one of the programs: it writes in Windows' text mode, CR LF.
  windows=$("$wine" build/windows/quenlor-tool.exe signature 2>"$work/tool.err" | tr -d '\r')
  [ "$native" = "$windows" ] || fail "bench signature: Linux '$native', Windows '$windows'"
  echo "quenlor-tool.exe: $windows (Linux: $native)"
fi

if [ $failures -gt 0 ]; then
  echo "wine-check: $failures failures (files in $work/)"
  exit 1
fi
echo "wine-check ($mode): the Windows programs behave as the Linux ones"
