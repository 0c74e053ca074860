# Checks xboard's debug log (-debug) for the conversation with Quenlor, the second engine.
# Each line xboard sends must get the reply the engine owes it, and nothing else:
#   protover N   -> the feature line
#   usermove M   -> "move ..." or the game-over telluser line
#   quit         -> "Goodbye" (xboard usually stops listening before it arrives)
#   anything else -> no output at all
# A reply still owed when the process ends is a fault unless xboard ended that game with a
# result and sent quit. Every Quenlor process (one per game) is numbered from `first` on.
# Output lines:
#   fault <game> <text>           a violation
#   sent <command> <count>        how often xboard sent each command word to Quenlor, in the
#                                 order of first use
#   interrupts <count>            SIGINTs xboard sent to Quenlor
#   processes <count>             Quenlor processes seen

BEGIN {
  feature = "feature time=0 ping=0 usermove=1 myname=\"Quenlor\" reuse=0 done=1"
  telluser = "telluser \"Game over - I can't make any legal moves\""
  entry = "[0-9]+ [<>](first |second): "
  game = (first == "" ? 1 : first) - 1
  alive = 0
}

function fault(text) { print "fault", game, text }

function startProcess() {
  endProcess()
  game++
  alive = 1
  processes++
  head = tail = 0
  sentBuffer = ""
  quitSent = 0
  resultSent = ""
  lastCommand = "(nothing yet)"
}

function endProcess() {
  if (!alive) return
  alive = 0
  if (head < tail && !(quitSent && resultSent != "" && resultSent !~ /^result \*/))
    fault("no reply to \"" owedFor[head] "\"")
}

# One complete line xboard sent to Quenlor.
function command(line,   word) {
  word = line
  sub(/ .*/, "", word)
  if (!(word in sent)) order[words++] = word
  sent[word]++
  lastCommand = line
  if (line ~ /^protover [0-9]+$/) owe("feature", line)
  else if (line ~ /^usermove [a-h][1-8][a-h][1-8][qrbn]?$/) owe("move", line)
  else if (line == "quit") { owe("Goodbye", line); quitSent = 1 }
  else if (word == "protover" || word == "usermove" || word == "quit")
    fault("xboard sent a malformed \"" line "\"")
  else if (word == "result") resultSent = line
}

function owe(kind, line) { owed[tail] = kind; owedFor[tail] = line; tail++ }

# One line Quenlor wrote (its standard error reaches xboard through the same pipe). A line of a
# kind Quenlor never writes is reported as unasked and leaves the reply still owed.
function reply(line,   kind, known) {
  known = line ~ /^(feature|move) / || line == telluser || line == "Goodbye"
  if (head == tail || !known) {
    fault("unasked output \"" line "\" after \"" lastCommand "\"")
    return
  }
  kind = owed[head]
  if ((kind == "feature" && line != feature) ||
      (kind == "move" && line !~ /^move [a-h][1-8][a-h][1-8][qrbn]?$/ && line != telluser) ||
      (kind == "Goodbye" && line != "Goodbye"))
    fault("\"" owedFor[head] "\" answered with \"" line "\"")
  head++
}

# Text xboard wrote to Quenlor in one write: complete lines become commands, a partial line
# waits for the next write ("usermove " and the move arrive in two writes).
function sentText(text,   nl) {
  sentBuffer = sentBuffer text
  while ((nl = index(sentBuffer, "\n")) > 0) {
    command(substr(sentBuffer, 1, nl - 1))
    sentBuffer = substr(sentBuffer, nl + 1)
  }
}

# A log entry: direction and engine, and the text up to the next entry or the end of the line.
function logEntry(header, text, endsLine,   toQuenlor) {
  if (starting) {
    starting = 0
    if (header ~ /second/) startProcess()
  }
  current = header
  toQuenlor = header ~ />second/
  if (!alive) return
  if (toQuenlor) sentText(text (endsLine ? "\n" : ""))
  else if (header ~ /<second/) reply(text)
}

/^StartChildProcess/ { starting = 1; current = ""; next }
/^Interrupting second/ { interrupts++ }

{
  line = $0
  if (!match(line, entry) || RSTART != 1) {
    # A line without an entry continues a multi-line write to Quenlor ("new\nrandom\n"), unless
    # it is one of xboard's own messages: those start with a capital letter or name xboard's
    # internals.
    if (current ~ />second/ && alive && line !~ /^[A-Z]/ &&
        line !~ /^(book hit|nps:|recognized |shuffleOpenings|locale|GE\()/)
      sentText(line "\n")
    else
      current = ""
    next
  }
  while (match(line, entry)) {
    header = substr(line, RSTART, RLENGTH)
    line = substr(line, RSTART + RLENGTH)
    if (match(line, entry)) {
      logEntry(header, substr(line, 1, RSTART - 1), 0)
      line = substr(line, RSTART)
    } else {
      logEntry(header, line, 1)
      line = ""
    }
  }
}

END {
  endProcess()
  for (i = 0; i < words; i++) print "sent", order[i], sent[order[i]]
  print "interrupts", interrupts + 0
  print "processes", processes + 0
}
