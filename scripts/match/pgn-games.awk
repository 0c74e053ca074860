# Reads the PGN file xboard writes during a match and prints one tab-separated line per game:
#   game  white  black  result  outcome  moves  verdict  termination
# outcome is Quenlor's point of view (win, draw, loss, or "-" when the game has no result or
# Quenlor did not play in it); verdict is "ok" when the game ended in one of the ways a sound game
# ends, "fault" otherwise (illegal move, time forfeit, false claim, an aborted game, ...).
# Variables: name (Quenlor's name in the PGN tags, default "Quenlor"), first (number of the first
# game, default 1).

BEGIN {
  if (name == "") name = "Quenlor"
  game = (first == "" ? 1 : first) - 1
  inGame = 0
}

# Terminations xboard writes for games that ended in order: mate and stalemate, its own draw
# adjudications, draw and resignation claims it accepted.
function normalEnd(text) {
  return text ~ /(^| )mates$/ || text ~ /Checkmate/ || text ~ /[Ss]talemate/ ||
         text ~ /[Rr]epetition/ || text ~ /50-move|[Ff]ifty/ || text ~ /[Ii]nsufficient/ ||
         text ~ /[Tt]rivial draw/ || text ~ /long game/ || text ~ /(^| )resigns$/ ||
         text ~ /^[Dd]raw agreed$/
}

function finishGame(   text, tail, termination, moves, outcome, verdict, colour) {
  if (!inGame) return
  inGame = 0
  game++
  text = movetext
  gsub(/[ \t]+/, " ", text)
  sub(/ $/, "", text)
  # The termination is the comment just before the result token at the end of the movetext.
  termination = ""
  if (match(text, /\{[^{}]*\} ?(1-0|0-1|1\/2-1\/2|\*)$/)) {
    tail = substr(text, RSTART + 1)
    termination = substr(tail, 1, index(tail, "}") - 1)
  }
  # Number of the last full move that was started (move numbers outside comments).
  gsub(/\{[^{}]*\}/, "", text)
  moves = 0
  while (match(text, /(^| )[0-9]+\./)) {
    moves = substr(text, RSTART, RLENGTH) + 0
    text = substr(text, RSTART + RLENGTH)
  }
  colour = (tags["White"] == name ? "w" : tags["Black"] == name ? "b" : "")
  outcome = "-"
  if (colour != "" && tags["Result"] == "1/2-1/2") outcome = "draw"
  else if (colour != "" && tags["Result"] == "1-0") outcome = (colour == "w" ? "win" : "loss")
  else if (colour != "" && tags["Result"] == "0-1") outcome = (colour == "b" ? "win" : "loss")
  verdict = (tags["Result"] != "*" && normalEnd(termination)) ? "ok" : "fault"
  if (termination == "") termination = "(no termination given)"
  printf "%d\t%s\t%s\t%s\t%s\t%d\t%s\t%s\n", game, tags["White"], tags["Black"], tags["Result"],
         outcome, moves, verdict, termination
}

/^\[Event / { finishGame(); inGame = 1; movetext = ""; split("", tags) }

/^\[[A-Za-z]+ "/ {
  key = substr($0, 2, index($0, " ") - 2)
  value = substr($0, index($0, "\"") + 1)
  sub(/"\]\r?$/, "", value)
  tags[key] = value
  next
}

inGame { movetext = movetext " " $0 }

END { finishGame() }
