# Checks polyglot's log (its LogFile) for the conversation with quenlor-uci. Each command must
# get the answer the engine owes it, and the engine must write nothing else:
#   uci       -> "id ..." and "option ..." lines, then "uciok"
#   isready   -> "readyok"
#   go ...    -> "info ..." lines, then one "bestmove MOVE [ponder MOVE]" (a coordinate move or
#                "(none)"), also for a ponder search that "stop" ends
#   quit      -> nothing, and nothing is owed any more
#   otherwise -> nothing but "info ..." lines
# A reply still owed when the log ends is a fault. Games are numbered from `first` on, one for
# every "ucinewgame". Output lines:
#   fault <game> <text>      a violation
#   sent <command> <count>   how often polyglot sent each command word, in the order of first use
#   processes <count>        engine processes polyglot started

BEGIN {
  game = (first == "" ? 1 : first) - 1
  toEngine = " Adapter->Engine: "
  fromEngine = " Engine->Adapter: "
  lastCommand = "(nothing yet)"
}

function fault(text) { print "fault", (game < 1 ? 1 : game), text }

function owe(kind, line) { owed[tail] = kind; owedFor[tail] = line; tail++ }

# One line polyglot sent to the engine.
function command(line,   word) {
  word = line
  sub(/ .*/, "", word)
  if (!(word in sent)) order[words++] = word
  sent[word]++
  lastCommand = line
  if (word == "ucinewgame") game++
  if (line == "uci") owe("uciok", line)
  else if (line == "isready") owe("readyok", line)
  else if (word == "go") owe("bestmove", line)
  else if (line == "quit") head = tail
}

# One line the engine wrote.
function reply(line,   kind) {
  if (line ~ /^info /) return
  if (line ~ /^(id (name|author)|option name) / && head < tail && owed[head] == "uciok") return
  kind = owed[head]
  if (head == tail ||
      !((kind == "uciok" && line == "uciok") || (kind == "readyok" && line == "readyok") ||
        (kind == "bestmove" &&
         line ~ /^bestmove ([a-h][1-8][a-h][1-8][qrbn]?( ponder [a-h][1-8][a-h][1-8][qrbn]?)?|\(none\))$/))) {
    fault("unasked output \"" line "\" after \"" lastCommand "\"")
    return
  }
  head++
}

/POLYGLOT \*\*\* START \*\*\*/ {
  if (head < tail) fault("no reply to \"" owedFor[head] "\"")
  head = tail = 0
  processes++
  next
}

# polyglot logs the closing of each pipe as "EOF", and the engine's exit status.
index($0, toEngine "EOF") || index($0, fromEngine "EOF") { next }
/POLYGLOT Child exited with status / { if ($NF != 0) fault("engine exited with status " $NF); next }

index($0, toEngine) { command(substr($0, index($0, toEngine) + length(toEngine))); next }
index($0, fromEngine) { reply(substr($0, index($0, fromEngine) + length(fromEngine))); next }

END {
  if (head < tail) fault("no reply to \"" owedFor[head] "\"")
  for (i = 0; i < words; i++) print "sent", order[i], sent[order[i]]
  print "processes", processes + 0
}
