#pragma once
// Main: the entry point and the command loop. It owns the one game state of the run, reads the
// interface's lines, answers them, and is the only module that reads or writes.
// Uses WinboardInterface, Parser, AI and Basics.

#include <istream>
#include <ostream>

#include "Types.h"

namespace quenlor {

// The handshake reply.
inline constexpr const char* winboardFeatures =
    "feature time=0 ping=0 usermove=1 myname=\"Quenlor\" done=1";

// Reads and answers commands from `in` until "quit" (then returns normally). Every failure,
// end of input included, stops it with a `FatalError`.
void loop(std::istream& in, std::ostream& out, State state);

// The whole program: `loop` from a new game; returns the exit status after writing any fatal
// message, as "quenlor: " + message, to `err`.
int runEngine(std::istream& in, std::ostream& out, std::ostream& err);

}  // namespace quenlor
