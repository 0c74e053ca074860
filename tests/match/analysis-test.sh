#!/usr/bin/env bash
# Checks the match runner's two analyses on hand-written input: the PGN summary (outcome from
# Quenlor's side, sound or faulty termination, move count) and the protocol check of xboard's
# debug log (what each command must get back from Quenlor).
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
awkDir="$here/../../scripts/match"
failures=0

check() {
  local name=$1 expected=$2 actual=$3
  if [ "$expected" != "$actual" ]; then
    echo "FAILED: $name"
    diff <(echo "$expected") <(echo "$actual") | sed 's/^/  /'
    failures=$((failures + 1))
  fi
}

game() {
  local white=$1 black=$2 result=$3 movetext=$4
  printf '[Event "Computer Chess Game"]\n[Round "1"]\n[White "%s"]\n[Black "%s"]\n' "$white" "$black"
  printf '[Result "%s"]\n\n%s\n\n' "$result" "$movetext"
}

#=== PGN summary ===#
pgn=$(
  game Fairy Quenlor 0-1 '1. f3 {+0.1/2} e5 2. g4 {+0.2/2 0.1} Qh4#
{Xboard adjudication: Checkmate} 0-1'
  game Fairy Quenlor 1-0 '1. e4 e5 2. Qh5 Nc6 3. Bc4 Nf6 4. Qxf7# {White mates} 1-0'
  game Fairy Quenlor 1/2-1/2 '1. Nf3 {+0.00/2 0.1} Nf6 2. Ng1 Ng8 3. Nf3 Nf6 4. Ng1 Ng8
{XBoard adjudication: repetition draw} 1/2-1/2'
  game Fairy Quenlor 1/2-1/2 '1. d4 d5 {Xboard adjudication: long game} 1/2-1/2'
  game Fairy Quenlor 1/2-1/2 '1. d4 d5 {Draw by repetition} 1/2-1/2'
  game Fairy Quenlor 1/2-1/2 '1. d4 d5 {Insufficient mating material} 1/2-1/2'
  game Quenlor Fairy 1-0 '1. e4 e5 {Black resigns} 1-0'
  game Fairy Quenlor 1-0 '1. d4 e6 2. c4 {Xboard: Forfeit due to invalid move: e8e1 (e8e1 via
`0, `0) res=24} 1-0'
  game Fairy Quenlor '*' '1. d4 {+0.29/2} e6 {xboard exit (Clocks: 599, 589)} *'
  game Fairy Quenlor 1-0 '1. d4 e6 {Black wins on time} 1-0'
  game Fairy Quenlor 1-0 '1. d4 e6 2. c4 {False draw claim: ...} 1-0'
  game Fairy Quenlor 1-0 '1. d4 e6 1-0'
  game Fairy Stranger 1-0 '1. d4 e6 {White mates} 1-0'
)
expected=$(
  cat <<'EOF'
1	Fairy	Quenlor	0-1	win	2	ok	Xboard adjudication: Checkmate
2	Fairy	Quenlor	1-0	loss	4	ok	White mates
3	Fairy	Quenlor	1/2-1/2	draw	4	ok	XBoard adjudication: repetition draw
4	Fairy	Quenlor	1/2-1/2	draw	1	ok	Xboard adjudication: long game
5	Fairy	Quenlor	1/2-1/2	draw	1	ok	Draw by repetition
6	Fairy	Quenlor	1/2-1/2	draw	1	ok	Insufficient mating material
7	Quenlor	Fairy	1-0	win	1	ok	Black resigns
8	Fairy	Quenlor	1-0	loss	2	fault	Xboard: Forfeit due to invalid move: e8e1 (e8e1 via `0, `0) res=24
9	Fairy	Quenlor	*	-	1	fault	xboard exit (Clocks: 599, 589)
10	Fairy	Quenlor	1-0	loss	1	fault	Black wins on time
11	Fairy	Quenlor	1-0	loss	2	fault	False draw claim: ...
12	Fairy	Quenlor	1-0	loss	1	fault	(no termination given)
13	Fairy	Stranger	1-0	-	1	ok	White mates
EOF
)
check "PGN summary" "$expected" "$(echo "$pgn" | awk -f "$awkDir/pgn-games.awk")"
check "PGN numbering from a later game" "7	Fairy	Quenlor	1-0	loss	4	ok	White mates" \
  "$(game Fairy Quenlor 1-0 '1. e4 e5 2. Qh5 Nc6 3. Bc4 Nf6 4. Qxf7# {White mates} 1-0' |
     awk -v first=7 -f "$awkDir/pgn-games.awk")"

#=== protocol check ===#
feature='feature time=0 ping=0 usermove=1 myname="Quenlor" reuse=0 done=1'
# The start of a Quenlor process as xboard logs it: the handshake in one write, the accepted
# lines and the game set-up in others.
start="StartChildProcess (dir=\".\") quenlor
10 >second: xboard
protover 2
11 <second: $feature
11 >second: accepted time
11 >second: new
random
12 >second: level 40 60 0
Interrupting second"

faults() { awk -v first="${2:-1}" -f "$awkDir/protocol-check.awk" <<<"$1" | grep '^fault' ; }

# name | log after the start | expected faults
while IFS='|' read -r name log want; do
  check "protocol: $name" "$(printf '%b' "$want")" "$(faults "$start
$(printf '%b' "$log")")"
done <<EOF
a whole game, the move in two writes, nothing owed after quit|20 >second: usermove 20 >second: e2e4\n21 <second: move e7e5\n22 >second: usermove 22 >second: g1f3\nGameEnds(26, White mates, 4)\n23 >second: result 1-0 {White mates}\n23 >second: quit|
the game-over line answers a move|20 >second: usermove f7f6\n21 <second: telluser "Game over - I can't make any legal moves"\n23 >second: result 1-0 {White mates}\n23 >second: quit|
output after a command that wants none|20 >second: force\n20 <second: Error (unknown command): force|fault 1 unasked output "Error (unknown command): force" after "force"
an error message instead of a move|20 >second: usermove 20 >second: e2e4\n21 <second: quenlor: end of input\n22 >second: result * {xboard exit}\n22 >second: quit|fault 1 unasked output "quenlor: end of input" after "usermove e2e4"\nfault 1 no reply to "usermove e2e4"
a move in the wrong form|20 >second: usermove e2e4\n21 <second: move e7e9|fault 1 "usermove e2e4" answered with "move e7e9"
a second feature line where a move is owed|20 >second: usermove e2e4\n21 <second: $feature|fault 1 "usermove e2e4" answered with "$feature"
a move never answered in an unfinished game|20 >second: usermove e2e4\n30 >second: result * {xboard exit}\n30 >second: quit|fault 1 no reply to "usermove e2e4"
EOF

check "protocol: a wrong feature line" 'fault 1 "protover 2" answered with "feature done=1"' \
  "$(faults "StartChildProcess
10 >second: xboard
protover 2
11 <second: feature done=1")"
check "protocol: the first engine is not checked" "" \
  "$(faults "$start
13 >first : new
13 <first : Error (unknown command): new")"
check "protocol: processes numbered per game" \
  "$(printf 'fault 5 no reply to "usermove e2e4"\nfault 6 unasked output "hello" after "level 40 60 0"')" \
  "$(faults "$start
20 >second: usermove e2e4
$start
21 <second: hello" 5)"
check "protocol: counts" "$(printf 'sent xboard 1\nsent protover 1\nsent accepted 1\nsent new 1
sent random 1\nsent level 1\nsent usermove 1\ninterrupts 2\nprocesses 1')" \
  "$(awk -f "$awkDir/protocol-check.awk" <<<"$start
Interrupting second
20 >second: usermove e2e4
21 <second: move e7e5" | grep -v '^fault')"

#=== UCI check of polyglot's log ===#
ucifaults() { awk -f "$awkDir/uci-check.awk" | grep '^fault' ; }
# name | log (polyglot's prefixes shortened to what the check reads) | expected faults
while IFS='|' read -r name log want; do
  check "uci: $name" "$(printf '%b' "$want")" "$(printf '%b' "$log" | ucifaults)"
done <<'EOF'
a sound game|1 POLYGLOT *** START ***\n1 Adapter->Engine: uci\n1 Engine->Adapter: id name Quenlor\n1 Engine->Adapter: uciok\n2 Adapter->Engine: ucinewgame\n2 Adapter->Engine: isready\n2 Engine->Adapter: readyok\n3 Adapter->Engine: position startpos moves e2e4\n3 Adapter->Engine: go wtime 1000 btime 1000\n3 Engine->Adapter: info depth 1 score cp 5 nodes 20 time 0 pv e7e5\n3 Engine->Adapter: bestmove e7e5\n4 Adapter->Engine: quit|
no bestmove and an unasked line|1 Adapter->Engine: ucinewgame\n2 Adapter->Engine: go\n3 Engine->Adapter: quenlor: oops|fault 1 unasked output "quenlor: oops" after "go"\nfault 1 no reply to "go"
a second bestmove in the next game|1 Adapter->Engine: ucinewgame\n1 Adapter->Engine: ucinewgame\n2 Adapter->Engine: go\n2 Engine->Adapter: bestmove (none)\n3 Engine->Adapter: bestmove e7e5|fault 2 unasked output "bestmove e7e5" after "go"
EOF

[ "$failures" -eq 0 ] && echo "ok" || exit 1
