#pragma once
// WinboardInterface: the protocol commands the engine understands ("usermove", "protover",
// "quit"; every other line is `Unknown`), their parser and their display forms, and the texts
// of the program's replies. Uses Parser, MyParseLib and Types.

#include <cstdint>
#include <string>
#include <variant>

#include "MyParseLib.h"
#include "Parser.h"
#include "Types.h"

namespace quenlor {

//=== Commands ===//

struct UserMove {
  Move move;
  bool operator==(const UserMove&) const = default;
};
struct Protover {
  std::int32_t version;
  bool operator==(const Protover&) const = default;
};
struct Quit {
  bool operator==(const Quit&) const = default;
};
struct Unknown {
  std::string line;
  bool operator==(const Unknown&) const = default;
};

using WinboardCommand = std::variant<UserMove, Protover, Quit, Unknown>;

// The display form, as shown inside "Parse error: " messages: `UserMove (MovePiece (7,5) (5,5))`,
// `Protover (-1)`, `Quit`, `Unknown "xboard"`.
[[nodiscard]] std::string display(const WinboardCommand& command);

// One result for every line; it may leave text unconsumed.
[[nodiscard]] Parser<WinboardCommand> parseWinboardCommand();

//=== Replies ===//

// The handshake reply.
inline constexpr const char* winboardFeatures =
    "feature time=0 ping=0 usermove=1 myname=\"Quenlor\" reuse=0 done=1";

// The reply when the engine has no legal move after the opponent's.
inline constexpr const char* winboardGameOver =
    "telluser \"Game over - I can't make any legal moves\"";

// The reply to "quit".
inline constexpr const char* winboardGoodbye = "Goodbye";

// The program's usage text, printed by `quenlor --help`.
inline constexpr const char* winboardUsage =
    "Usage: quenlor [--help | --version]\n"
    "A chess engine for interfaces that speak the xboard/WinBoard protocol, such as\n"
    "xboard: start it without arguments and it reads protocol commands on standard\n"
    "input. It plays one game per process and answers each \"usermove\" at once.\n"
    "For interfaces that speak UCI, use quenlor-uci.\n";

// The engine's move: "move e7e5".
[[nodiscard]] std::string moveReply(Move move);

}  // namespace quenlor
