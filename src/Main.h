#pragma once
// Main: the xboard program's entry point and command loop. It owns the one game state of the run,
// reads the interface's lines and answers them; no other module of that program reads or writes.
// It also holds the process entry that both programs share.
// Uses WinboardInterface, Parser, AI and Basics.

#include <functional>
#include <istream>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "Types.h"

namespace quenlor {

// The handshake reply.
inline constexpr const char* winboardFeatures =
    "feature time=0 ping=0 usermove=1 myname=\"Quenlor\" reuse=0 done=1";

// The xboard program's usage text, printed by `quenlor --help`.
inline constexpr const char* winboardUsage =
    "Usage: quenlor [--help | --version]\n"
    "A chess engine for interfaces that speak the xboard/WinBoard protocol, such as\n"
    "xboard: start it without arguments and it reads protocol commands on standard\n"
    "input. It plays one game per process and answers each \"usermove\" at once.\n"
    "For interfaces that speak UCI, use quenlor-uci.\n";

// The text the program `name` prints for --version or -V ("name version") or for --help or -h
// (`usage`), exit status 0; nothing for any other command line: interfaces start an engine
// without arguments, and other arguments are ignored.
[[nodiscard]] std::optional<std::string> commandLineReply(const std::vector<std::string>& args,
                                                          std::string_view name,
                                                          std::string_view usage);

// Reads and answers commands from `in` until "quit" (then returns normally). Every failure,
// end of input included, stops it with a `FatalError`.
void loop(std::istream& in, std::ostream& out, State state);

// The whole program: `loop` from a new game; returns the exit status after writing any fatal
// message, as "quenlor: " + message, to `err`.
int runEngine(std::istream& in, std::ostream& out, std::ostream& err);

// A whole program over its input, output and error streams, returning the exit status.
using Program = std::function<int(std::istream&, std::ostream&, std::ostream&)>;

// The process entry of both programs: prints `commandLineReply`'s text for --help or --version;
// otherwise sets the standard streams up for an interface (every line written at once, SIGINT
// ignored, a closed pipe a failed write) and returns `program`'s exit status on them.
int programMain(int argc, char** argv, std::string_view name, std::string_view usage,
                const Program& program);

}  // namespace quenlor
