#pragma once
// Main: the xboard program's entry point and command loop. It owns the one game state of the run,
// reads the interface's lines and answers them; no other module of that program reads or writes.
// Uses WinboardInterface, Program, Parser, AI and Basics.

#include <cstddef>
#include <istream>
#include <ostream>

#include "Types.h"

namespace quenlor {

// The longest input line the program reads (1 MiB, as quenlor-uci); a longer one is read to its
// end without being kept and stops the program with a parse error, as a line that no command
// reads whole does.
inline constexpr std::size_t winboardLineLimit = std::size_t{1} << 20U;

// Reads and answers commands from `in` until "quit" (then returns normally). Every failure,
// end of input included, stops it with a `FatalError`.
void loop(std::istream& in, std::ostream& out, State state);

// The whole program: `loop` from a new game; returns the exit status after writing any fatal
// message, as "quenlor: " + message, to `err`.
int runEngine(std::istream& in, std::ostream& out, std::ostream& err);

}  // namespace quenlor
