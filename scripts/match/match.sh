#!/usr/bin/env bash
# Plays a match of Quenlor against another engine through the real xboard GUI, on a private Xvfb
# display. The xboard program `quenlor` plays Black (it never moves first) and asks xboard for a
# new process per game; with --uci-quenlor, `quenlor-uci` plays through xboard's UCI adapter
# (polyglot) as White, Black or both in turn. Writes the games to a PGN file, checks every line
# Quenlor was sent and wrote (xboard's debug log, or polyglot's log for UCI), and prints a
# summary table. Exits 1 when any game ended by an illegal move, a crash or exit of an engine,
# a protocol error, a time forfeit or a stall; 2 for a bad command line or missing program.
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
repo=$(dirname "$(dirname "$here")")

usage() {
  cat <<EOF
usage: scripts/match/match.sh [options]
  -n, --games N        games to play (default 2)
  -q, --quenlor CMD    Quenlor's command (default: build/release/quenlor, else quenlor on PATH;
                       with --uci-quenlor, quenlor-uci in the same places)
  -u, --uci-quenlor    Quenlor speaks UCI (quenlor-uci), through xboard's polyglot adapter
  -c, --colour SIDE    Quenlor's side: black (default), white, or alternate (White in odd
                       games); white and alternate need --uci-quenlor
  -o, --opponent CMD   the opponent's xboard engine command (default: fairymax)
      --uci            the opponent speaks UCI: run it through the polyglot adapter
      --uci-option N=V set a UCI option of the opponent (with --uci; may be repeated),
                       e.g. "Skill Level=5"
      --quenlor-option N=V  set a UCI option of quenlor-uci (with --uci-quenlor; may be
                       repeated), e.g. "Skill Level=2"
  -d, --depth N        the opponent's search depth, sent to it alone as "sd N" (default 2;
                       0: not sent)
  -m, --max-moves N    adjudicate a draw after N moves (default 150)
  -t, --time-control T the time control of the 40-move periods in minutes, as xboard's -tc takes
                       it (default 10: so slow that only a hung engine loses on time); a faster
                       one for opponents that think until their clock says stop, e.g. 0:30
  -s, --stall SECONDS  watchdog: a game with no engine traffic for this long is a fault
                       (default 60)
      --out DIR        where games.pgn, the debug logs and summary.txt go
                       (default: a new directory under /tmp)
      --display :N     use this X display instead of starting Xvfb (to watch the games)
      --screenshot F   save a PNG of the screen to F during the first game
  -h, --help           this text
EOF
}

die() {
  echo "match: $*" >&2
  exit 2
}

games=2 quenlor="" opponent=fairymax uci=0 depth=2 maxMoves=150 stall=60 out="" display="" tc=10
screenshot="" uciOptions=() quenlorOptions=() quenlorUci=0 colour=black
while [ $# -gt 0 ]; do
  case $1 in
    -n | --games) games=${2:-}; shift ;;
    -q | --quenlor) quenlor=${2:-}; shift ;;
    -o | --opponent) opponent=${2:-}; shift ;;
    --uci) uci=1 ;;
    -u | --uci-quenlor) quenlorUci=1 ;;
    -c | --colour | --color) colour=${2:-}; shift ;;
    --uci-option) uciOptions+=("${2:-}"); shift ;;
    --quenlor-option) quenlorOptions+=("${2:-}"); shift ;;
    -d | --depth) depth=${2:-}; shift ;;
    -m | --max-moves) maxMoves=${2:-}; shift ;;
    -t | --time-control) tc=${2:-}; shift ;;
    -s | --stall) stall=${2:-}; shift ;;
    --out) out=${2:-}; shift ;;
    --display) display=${2:-}; shift ;;
    --screenshot) screenshot=${2:-}; shift ;;
    -h | --help) usage; exit 0 ;;
    *) usage >&2; exit 2 ;;
  esac
  shift
done
for number in "$games" "$depth" "$maxMoves" "$stall"; do
  [[ $number =~ ^[0-9]+$ ]] || die "not a number: '$number'"
done
[ "$games" -ge 1 ] && [ "$stall" -ge 1 ] || die "games and stall must be at least 1"
case $colour in
  black) ;;
  white | alternate)
    [ "$quenlorUci" = 1 ] || die "the xboard program never moves first: use --uci-quenlor" ;;
  *) die "colour must be black, white or alternate: '$colour'" ;;
esac

# Debian installs xboard and most engines in /usr/games.
export PATH="$PATH:/usr/games"
command -v xboard >/dev/null || die "xboard not found (Debian package xboard)"
if [ -z "$display" ]; then command -v Xvfb >/dev/null || die "Xvfb not found (package xvfb)"; fi
if [ -n "$screenshot" ]; then
  command -v import >/dev/null || die "import not found (package imagemagick)"
  command -v xdotool >/dev/null || die "xdotool not found (package xdotool)"
fi

# xboard runs the engines in its own working directory: make relative program paths absolute.
absoluteCommand() {
  local program=${1%% *} rest=""
  [ "$program" != "$1" ] && rest=" ${1#* }"
  case $program in
    */*) [ -f "$program" ] && [ -x "$program" ] || die "no such program: $program"
         program="$(cd "$(dirname "$program")" && pwd)/$(basename "$program")" ;;
    *) command -v "$program" >/dev/null || die "no such program: $program" ;;
  esac
  echo "$program$rest"
}
if [ -z "$quenlor" ]; then
  program=quenlor
  [ "$quenlorUci" = 1 ] && program=quenlor-uci
  if [ -x "$repo/build/release/$program" ]; then quenlor="$repo/build/release/$program"
  else quenlor=$program; fi
fi
[ "$quenlorUci" = 1 ] && { command -v polyglot >/dev/null || die "polyglot not found (package polyglot)"; }
quenlor=$(absoluteCommand "$quenlor") || exit 2
opponent=$(absoluteCommand "$opponent") || exit 2
# Debian's Fairy-Max 5.0b reads uninitialised memory: with address-space randomisation it
# crashes on about half of its first moves under a time control, without it it runs reliably.
case $opponent in
  fairymax | fairymax\ * | */fairymax | */fairymax\ *) opponent="setarch -R $opponent" ;;
esac

if [ -z "$out" ]; then out=$(mktemp -d /tmp/quenlor-match.XXXXXX)
else mkdir -p "$out" || die "cannot create $out"; out=$(cd "$out" && pwd); fi
if [ "$uci" = 1 ]; then
  # polyglot reads the engine command and its UCI options from an ini file.
  command -v polyglot >/dev/null || die "polyglot not found (package polyglot)"
  {
    printf '[PolyGlot]\nEngineCommand = %s\n[Engine]\n' "$opponent"
    for option in "${uciOptions[@]}"; do
      [[ $option == *=* ]] || die "not NAME=VALUE: '$option'"
      printf '%s = %s\n' "${option%%=*}" "${option#*=}"
    done
  } >"$out/polyglot.ini"
  opponent="polyglot $out/polyglot.ini"
elif [ ${#uciOptions[@]} -gt 0 ]; then
  die "--uci-option needs --uci"
fi
if [ ${#quenlorOptions[@]} -gt 0 ]; then
  # quenlor-uci takes its options before the interface's first command: a small wrapper sends
  # them, then hands the interface's lines on.
  [ "$quenlorUci" = 1 ] || die "--quenlor-option needs --uci-quenlor"
  {
    printf '#!/bin/sh
{ '
    for option in "${quenlorOptions[@]}"; do
      [[ $option == *=* ]] || die "not NAME=VALUE: '$option'"
      printf "echo 'setoption name %s value %s'; " "${option%%=*}" "${option#*=}"
    done
    printf 'exec cat; } | exec %s
' "$quenlor"
  } >"$out/quenlor-with-options"
  chmod +x "$out/quenlor-with-options"
  quenlor="$out/quenlor-with-options"
fi
pgn="$out/games.pgn" faults="$out/faults.txt" summary="$out/summary.txt"
rm -f "$pgn" "$faults" "$summary" "$out"/xboard-*.debug "$out"/xboard-*.log "$out"/polyglot-*.log
: >"$faults"
# A home of its own, so that neither the user's xboard settings nor ours leak in or out.
mkdir -p "$out/home"

xvfb="" xboardPid=""
cleanup() {
  [ -n "$xboardPid" ] && kill "$xboardPid" 2>/dev/null
  # Wait for Xvfb to go: a server still shutting down could remove the socket of the next
  # server that takes over its display number.
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null
}
trap cleanup EXIT
trap 'exit 130' INT TERM

if [ -z "$display" ]; then
  # Xvfb picks a free display number itself and writes it to the given descriptor when ready.
  rm -f "$out/xvfb.display"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$out/xvfb.display" \
    2>"$out/xvfb.log" &
  xvfb=$!
  for _ in $(seq 100); do
    [ -s "$out/xvfb.display" ] && break
    kill -0 "$xvfb" 2>/dev/null || die "Xvfb did not start: $(tail -n 3 "$out/xvfb.log")"
    sleep 0.1
  done
  [ -s "$out/xvfb.display" ] || die "Xvfb did not report its display"
  display=":$(head -n 1 "$out/xvfb.display")"
fi

countGames() {
  if [ -f "$pgn" ]; then grep -c '^\[Event ' "$pgn"; else echo 0; fi
}
lastResult() { grep '^\[Result ' "$pgn" 2>/dev/null | tail -n 1; }

# The last few engine lines of a debug log on one line, for the watchdog's report.
lastTraffic() {
  grep -E '^[0-9]+ [<>](first |second): ' "$1" | tail -n 3 | sed 's/^[0-9]* //' |
    awk '{ printf "%s%s", sep, $0; sep = " | " }'
}

# A record for a game that xboard never saved, so that the PGN file holds every game.
placeholderGame() {
  printf '[Event "Computer Chess Game"]\n[White "?"]\n[Black "?"]\n[Result "*"]\n\n{%s} *\n\n' \
    "$1" >>"$pgn"
}

# Takes one screenshot once Quenlor has answered a dozen moves of the first game.
screenshotTaken=0
maybeScreenshot() {
  [ -z "$screenshot" ] || [ "$screenshotTaken" = 1 ] && return
  [ "$(grep -c '<second: move ' "$1")" -ge 12 ] || return
  # The board window is the one titled "<White> vs. <Black> (<score>)". Xvfb runs no window
  # manager, so the title is drawn above the window's picture, as a title bar would show it.
  local window title
  window=$(DISPLAY=$display xdotool search --name ' vs\. ' | head -n 1)
  [ -n "$window" ] || return
  title=$(DISPLAY=$display xdotool getwindowname "$window")
  DISPLAY=$display import -window "$window" "$out/window.png" &&
    convert "$out/window.png" -background '#d8d8d8' -gravity north -splice 0x28 \
      -font DejaVu-Sans -pointsize 15 -annotate +0+5 "$title" "$screenshot" &&
      screenshotTaken=1
}

# Plays up to $1 games in one xboard run, numbered from $2; watches xboard's debug log and ends
# the run when no engine has said or been sent anything for $stall seconds.
playBatch() {
  local count=$1 firstGame=$2 debug="$out/xboard-$2.debug" log="$out/xboard-$2.log"
  local size=-1 quiet=0 before after status
  before=$(countGames)
  # The first engine plays White in the first game of the run; xboard alternates colours from
  # there unless -sameColorGames holds them. Quenlor's handshake asks for a new process per
  # game, so no reuse option is given.
  local quenlorFirst=0 options=()
  [ "$colour" = white ] && quenlorFirst=1
  [ "$colour" = alternate ] && [ $((firstGame % 2)) = 1 ] && quenlorFirst=1
  if [ "$quenlorFirst" = 1 ]; then options+=(-fcp "$quenlor" -scp "$opponent")
  else options+=(-fcp "$opponent" -scp "$quenlor"); fi
  if [ "$colour" = alternate ]; then options+=(-matchGames "$count")
  else options+=(-sameColorGames "$count"); fi
  if [ "$quenlorUci" = 1 ]; then
    # xboard's own way to run a UCI engine, with polyglot's log of the UCI conversation.
    if [ "$quenlorFirst" = 1 ]; then options+=(-fUCI); else options+=(-sUCI); fi
    options+=(-adapterCommand "polyglot -noini -log true -lf \"$out/polyglot-$firstGame.log\" -ec \"%fcp\" -ed \"%fd\"")
  fi
  options+=(
    -mm
    # Quenlor keeps no clock: by default a slow time control so that only a hung engine loses on
    # time.
    -tc "$tc" -mps 40
    # Adjudication: xboard ends mates, stalemates, repetitions, 50-move draws, dead material
    # and, after the move limit, any game still running.
    -checkMates true -testClaims true -materialDraws true -trivialDraws true
    -repeatsToDraw 3 -ruleMoves 50 -adjudicateDrawMoves "$maxMoves"
    # Quiet and unattended: no popups, no sounds, nothing saved on exit.
    -xexit -xpopup -soundProgram "" -startupMessage "" -saveSettingsOnExit false
    -matchPause 500
    -debug -nameOfDebugFile "$debug" -sgf "$pgn"
  )
  # The depth limit is the opponent's alone: xboard's -depth goes to both engines, and polyglot
  # would pass it on to quenlor-uci as "go depth N", which makes Quenlor weaker. So the opponent
  # gets "sd N" in its own start-of-game commands.
  if [ "$depth" -gt 0 ]; then
    if [ "$quenlorFirst" = 1 ]; then options+=(-secondInitString "new\nrandom\nsd $depth\n")
    else options+=(-firstInitString "new\nrandom\nsd $depth\n"); fi
  fi
  (cd "$out" && HOME="$out/home" DISPLAY=$display exec xboard "${options[@]}") \
    </dev/null >"$log" 2>&1 &
  xboardPid=$!
  while kill -0 "$xboardPid" 2>/dev/null; do
    sleep 1
    local now
    now=$(stat -c %s "$debug" 2>/dev/null || echo none)
    if [ "$now" != "$size" ]; then size=$now quiet=0; else quiet=$((quiet + 1)); fi
    maybeScreenshot "$debug"
    [ "$quiet" -ge "$stall" ] && break
  done
  if kill -0 "$xboardPid" 2>/dev/null; then
    # Stalled: xboard does not notice an engine that died or hangs while it waits for a move.
    # Its SIGTERM handler saves the unfinished game (result "*") and stops the engines, but it
    # sometimes hangs itself: after five seconds xboard and its engines are killed.
    local engines last
    engines=$(ps -o pid= --ppid "$xboardPid" 2>/dev/null)
    last=$(lastTraffic "$debug")
    kill "$xboardPid" 2>/dev/null
    for _ in $(seq 25); do kill -0 "$xboardPid" 2>/dev/null || break; sleep 0.2; done
    kill -9 "$xboardPid" 2>/dev/null
    wait "$xboardPid" 2>/dev/null
    for pid in $engines; do kill -9 "$pid" 2>/dev/null; done
    after=$(countGames)
    # The stalled game is the last one saved if xboard saved it unfinished, else the next one.
    local game=$((firstGame + after - before - 1))
    if [ "$after" -eq "$before" ] || [ "$(lastResult)" != '[Result "*"]' ]; then
      game=$((game + 1))
      placeholderGame "game stalled, not saved by xboard"
    fi
    echo "$game watchdog: no engine traffic for $stall s; last: $last" >>"$faults"
    xboardPid=""
    batchPlayed=$((game - firstGame + 1))
    return
  fi
  wait "$xboardPid"
  status=$?
  xboardPid=""
  after=$(countGames)
  batchPlayed=$((after - before))
  if [ "$batchPlayed" -lt "$count" ]; then
    echo "$((firstGame + batchPlayed)) xboard ended with status $status after $batchPlayed" \
      "of $count games: $(tail -n 2 "$log" | tr '\n' ' ')" >>"$faults"
    batchPlayed=$((batchPlayed + 1))
    placeholderGame "xboard ended before this game was saved"
  elif [ "$status" -ne 0 ]; then
    echo "$((firstGame + count - 1)) xboard ended with status $status" >>"$faults"
  fi
}

echo "match: $games games, $quenlor ($colour) against $opponent, on display $display"
echo "match: output in $out"
started=$(date +%s)
played=0 batchPlayed=0 batches=()
while [ "$played" -lt "$games" ]; do
  batches+=($((played + 1)))
  playBatch $((games - played)) $((played + 1))
  [ "$batchPlayed" -ge 1 ] || break
  played=$((played + batchPlayed))
done
elapsed=$(($(date +%s) - started))

# Protocol check over every log, in the order of the games they hold: xboard's debug log for the
# xboard program, polyglot's log for the UCI one.
: >"$out/protocol.txt"
for firstGame in "${batches[@]}"; do
  if [ "$quenlorUci" = 1 ]; then log="$out/polyglot-$firstGame.log" check=uci-check.awk
  else log="$out/xboard-$firstGame.debug" check=protocol-check.awk; fi
  [ -f "$log" ] || continue
  awk -v first="$firstGame" -f "$here/$check" "$log" >>"$out/protocol.txt"
done
grep '^fault ' "$out/protocol.txt" | sed 's/^fault \([0-9]*\) /\1 protocol: /' >>"$faults"
# xboard must have started a new xboard-program Quenlor for every game, as its handshake asks.
processes=$(awk '$1 == "processes" { n += $2 } END { print n + 0 }' "$out/protocol.txt")
if [ "$quenlorUci" = 0 ] && [ "$processes" -ne "$played" ]; then
  echo "$played protocol: $processes Quenlor processes for $played games" >>"$faults"
fi

{
  awk -f "$here/pgn-games.awk" "$pgn" 2>/dev/null >"$out/games.tsv"
  printf '%-5s %-20s %-20s %-8s %-8s %5s  %s\n' game white black result Quenlor moves \
    termination
  awk -F'\t' '{
    mark = ($7 == "ok") ? "" : "  <- FAULT"
    printf "%-5s %-20.20s %-20.20s %-8s %-8s %5s  %s%s\n", $1, $2, $3, $4, $5, $6, $8, mark
  }' "$out/games.tsv"
  awk -F'\t' '$7 != "ok" { print $1 " termination: " $8 }' "$out/games.tsv" >>"$faults"
  wins=$(awk -F'\t' '$5 == "win"' "$out/games.tsv" | wc -l)
  draws=$(awk -F'\t' '$5 == "draw"' "$out/games.tsv" | wc -l)
  losses=$(awk -F'\t' '$5 == "loss"' "$out/games.tsv" | wc -l)
  echo
  echo "games $played of $games in ${elapsed}s: Quenlor won $wins, drew $draws, lost $losses"
  awk '$1 == "sent" && !($2 in count) { order[n++] = $2 }
       $1 == "sent" { count[$2] += $3 }
       $1 == "interrupts" { interrupts += $2 }
       END {
         printf "%s sent Quenlor:", sender
         for (i = 0; i < n; i++) printf "%s %s %d", (i ? "," : ""), order[i], count[order[i]]
         if (sender == "xboard") printf "; SIGINT %d times", interrupts
         printf "\n"
       }' sender="$([ "$quenlorUci" = 1 ] && echo polyglot || echo xboard)" "$out/protocol.txt"
  if [ -s "$faults" ]; then
    echo "FAULTS:"
    sort -n -s -k1,1 "$faults" | sed 's/^\([0-9]*\) /  game \1: /'
  else
    echo "no faults"
  fi
} | tee "$summary"
[ "$played" -eq "$games" ] && [ ! -s "$faults" ]
