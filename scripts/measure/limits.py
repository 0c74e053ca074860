#!/usr/bin/env python3
"""Measures how the built engine copes with its limits, and prints the figures:

  - peak memory over a game of 100 opponent moves (200 plies) against Debian's stockfish;
  - time and peak memory for a 64 MB input line of several kinds (ignored, parse error, ...);
  - a closed standard output, and end of input in the middle of a game.

Usage: scripts/measure/limits.py [path/to/quenlor] (default build/release/quenlor). Needs /usr/bin/time
and, for the game, /usr/games/stockfish.
"""

import os
import re
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
ENGINE = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build/release/quenlor"))
STOCKFISH = "/usr/games/stockfish"
MB64 = 64 * 1024 * 1024


def time_figures(report):
    """Elapsed seconds and peak resident set (KB) from the report of /usr/bin/time -v."""
    elapsed = re.search(r"Elapsed \(wall clock\) time \(h:mm:ss or m:ss\): (\S+)", report).group(1)
    seconds = 0.0
    for part in elapsed.split(":"):
        seconds = seconds * 60 + float(part)
    rss = int(re.search(r"Maximum resident set size \(kbytes\): (\d+)", report).group(1))
    return seconds, rss


def run_timed(input_path, label):
    """Runs the engine on a file under /usr/bin/time -v and reports status, time and memory."""
    with tempfile.TemporaryDirectory() as tmp:
        out_path, err_path, time_path = (os.path.join(tmp, n) for n in ("out", "err", "time"))
        with open(input_path, "rb") as fin, open(out_path, "wb") as fout, open(err_path, "wb") as ferr:
            status = subprocess.call(["/usr/bin/time", "-v", "-o", time_path, ENGINE],
                                     stdin=fin, stdout=fout, stderr=ferr)
        with open(time_path) as f:
            seconds, rss = time_figures(f.read())
        out = open(out_path, "rb").read()
        err = open(err_path, "rb").read()
    shown_err = err[:60] + (b"... (%d bytes)" % len(err) if len(err) > 60 else b"")
    print(f"{label}: status {status}, {seconds:.2f} s, max RSS {rss} KB, "
          f"stdout {out[:60]!r}, stderr {shown_err!r}")


class Stockfish:
    def __init__(self):
        self.proc = subprocess.Popen([STOCKFISH], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                     text=True, bufsize=1)
        self.send("uci")
        self.wait_for("uciok")
        self.send("setoption name MultiPV value 4")
        self.send("isready")
        self.wait_for("readyok")

    def send(self, line):
        self.proc.stdin.write(line + "\n")
        self.proc.stdin.flush()

    def wait_for(self, prefix):
        lines = []
        while True:
            line = self.proc.stdout.readline()
            if not line:
                raise RuntimeError("stockfish ended")
            lines.append(line.rstrip("\n"))
            if line.startswith(prefix):
                return lines

    def position(self, moves):
        self.send("position startpos" + (" moves " + " ".join(moves) if moves else ""))

    def legal_moves(self, moves):
        self.position(moves)
        self.send("go perft 1")
        lines = self.wait_for("Nodes searched")
        return [l.split(":")[0] for l in lines if re.match(r"^[a-h][1-8][a-h][1-8][qrbn]?: ", l)]

    def candidates(self, moves, depth):
        """The first move of each principal variation, best first."""
        self.position(moves)
        self.send(f"go depth {depth}")
        best = {}
        for line in self.wait_for("bestmove"):
            m = re.search(r" multipv (\d+) .* pv (\S+)", line)
            if m:
                best[int(m.group(1))] = m.group(2)
        return [best[k] for k in sorted(best)]

    def close(self):
        self.send("quit")
        self.proc.wait()


def game_memory(opponent_moves=100):
    """Plays stockfish's White against the engine. Stockfish takes its best move that leaves the
    engine a legal reply (no mate, no stalemate), so that the game reaches its full length."""
    sf = Stockfish()
    with tempfile.TemporaryDirectory() as tmp:
        time_path = os.path.join(tmp, "time")
        engine = subprocess.Popen(["/usr/bin/time", "-v", "-o", time_path, ENGINE],
                                  stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True, bufsize=1)

        def say(line):
            engine.stdin.write(line + "\n")
            engine.stdin.flush()

        say("xboard")
        say("protover 2")
        engine.stdout.readline()
        moves = []
        for _ in range(opponent_moves):
            choice = None
            for move in sf.candidates(moves, 6) + sf.legal_moves(moves):
                if sf.legal_moves(moves + [move]):
                    choice = move
                    break
            if choice is None:
                break
            say("usermove " + choice)
            reply = engine.stdout.readline().strip()
            if not reply.startswith("move "):
                print("engine answered", reply)
                break
            moves += [choice, reply[5:]]
        say("quit")
        goodbye = engine.stdout.readline().strip()
        status = engine.wait()
        with open(time_path) as f:
            seconds, rss = time_figures(f.read())
    sf.close()
    print(f"game: {len(moves)} plies, last line {goodbye!r}, status {status}, {seconds:.2f} s, "
          f"max RSS {rss} KB")
    print("moves:", " ".join(moves))


def long_lines():
    cases = [
        ("64 MB line of 'x' (ignored), then quit", b"x" * MB64 + b"\nquit\n"),
        ("'quit' + 64 MB of 'x' (parse error)", b"quit" + b"x" * MB64 + b"\n"),
        ("'quit' + 64 MB of spaces (quit)", b"quit" + b" " * MB64 + b"\n"),
        ("'protover ' + 64 MB of digits", b"protover " + b"9" * MB64 + b"\nquit\n"),
        ("'usermove a' + 64 MB of digits (ignored)", b"usermove a" + b"1" * MB64 + b"\nquit\n"),
        ("'usermove a' + 64 MB of digits + 'a1' (off the board)",
         b"usermove a" + b"1" * MB64 + b"a1\n"),
        ("64 MB of every byte but newline (ignored), then quit",
         bytes(b for b in range(256) if b != 10) * (MB64 // 255) + b"\nquit\n"),
    ]
    with tempfile.TemporaryDirectory() as tmp:
        path = os.path.join(tmp, "in")
        for label, data in cases:
            with open(path, "wb") as f:
                f.write(data)
            run_timed(path, label)


def closed_output():
    # Standard output closed before the start.
    r = subprocess.run(f"printf 'protover 2\\nquit\\n' | '{ENGINE}' >&-", shell=True,
                       capture_output=True)
    print(f"stdout closed: status {r.returncode}, stderr {r.stderr!r}")
    # A reader that goes away before the first reply.
    r = subprocess.run(["bash", "-c", f"{{ sleep 0.5; printf 'protover 2\\nquit\\n'; }} | "
                        f"'{ENGINE}' 2>/tmp/quenlor-limits-err | true; "
                        f"echo ${{PIPESTATUS[1]}}; cat /tmp/quenlor-limits-err"],
                       capture_output=True, text=True)
    status, _, err = r.stdout.partition("\n")
    print(f"reader gone (pipe closed): status {status}, stderr {err!r}")


def end_of_input():
    game = open(os.path.join(ROOT, "../shared/reference/games/game1.in"), "rb").read()
    lines = game.split(b"\n")
    usermoves = [i for i, l in enumerate(lines) if l.startswith(b"usermove")]
    cut = usermoves[len(usermoves) // 2]
    for label, data in [
        ("end of input after half a game", b"\n".join(lines[: cut + 1]) + b"\n"),
        ("end of input in a last line without newline", b"\n".join(lines[: cut + 1])),
        ("end of input in the middle of a line", b"\n".join(lines[:cut]) + b"\nuserm"),
    ]:
        r = subprocess.run([ENGINE], input=data, capture_output=True)
        out = r.stdout.decode().splitlines()
        print(f"{label}: status {r.returncode}, {len(out)} output lines (last {out[-1]!r}), "
              f"stderr {r.stderr!r}")


if __name__ == "__main__":
    print("engine:", ENGINE)
    game_memory()
    long_lines()
    closed_output()
    end_of_input()
