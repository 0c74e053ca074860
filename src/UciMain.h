#pragma once
// UciMain: the entry point and command loop of the UCI program. A session owns the game position
// and any answer held back by "go infinite"/"go ponder"; it answers one line at a time and never
// stops on bad input. Uses UciInterface, Parser, Program and Basics; standard C++ only, so it
// builds for browsers (the native program's `main` goes through the process entry in Program).

#include <cstddef>
#include <istream>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "Types.h"
#include "UciInterface.h"

namespace quenlor {

// One UCI conversation: the game position and any bestmove held back by "go infinite"/"go ponder".
class UciSession {
 public:
  UciSession();
  // Answers one input line (given without its line terminator; a trailing '\r' is tolerated),
  // writing whole reply lines, each ended by '\n', to `out`. Returns false after "quit".
  bool handleLine(std::string_view line, std::ostream& out);
  // Ends the conversation, at "quit" or the end of input: a bestmove still held back is sent,
  // since the interface waits for one after every "go".
  void finish(std::ostream& out);

 private:
  std::optional<State> state_;     // none after a FEN that could not be read
  std::vector<std::string> held_;  // the closing lines of a search waiting for "stop"
  bool pondering_ = false;  // held by "go ponder" alone, so that "ponderhit" releases them too
  UciOptions options_;
};

// The longest input line the program reads (1 MiB, room for games of a hundred thousand moves);
// a longer one is answered with an "info string" and never held in memory.
inline constexpr std::size_t uciLineLimit = std::size_t{1} << 20U;

// The whole program over streams; returns the exit status (0 after quit or end of input).
int runUci(std::istream& in, std::ostream& out, std::ostream& err);

}  // namespace quenlor
