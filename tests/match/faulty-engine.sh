#!/usr/bin/env bash
# A deliberately faulty engine for testing the match runner: it passes every line to Quenlor and
# Quenlor's replies back, until the given number of opponent moves has been answered; from the
# next opponent move on it misbehaves in the chosen way.
#   faulty-engine.sh QUENLOR MODE MOVES
# MODE: illegal (answers with an illegal move), exit (exits with status 1), silent (stops
# answering but stays alive), chatter (writes a line nobody asked for).
set -u
quenlor=$1 mode=$2 moves=$3
# Interfaces interrupt engines with SIGINT before moves; Quenlor ignores it, and so does this.
trap '' INT
coproc engine { "$quenlor"; }
answered=0
while IFS= read -r line; do
  case $line in
    usermove*)
      if [ "$answered" -ge "$moves" ]; then
        case $mode in
          illegal) echo "move e8e1"; continue ;;
          exit) exit 1 ;;
          silent) while :; do sleep 1; done ;;
          chatter) echo "tellics say unasked"; moves=1000000 ;;
        esac
      fi
      answered=$((answered + 1)) ;;
  esac
  printf '%s\n' "$line" >&"${engine[1]}"
  case $line in
    usermove* | protover* | quit*)
      IFS= read -r reply <&"${engine[0]}" || exit 1
      printf '%s\n' "$reply"
      case $line in quit*) exit 0 ;; esac ;;
  esac
done
