#pragma once
// WinboardInterface: the protocol commands the engine understands ("usermove", "protover",
// "quit"; every other line is `Unknown`), their parser and their display forms.
// Uses Parser, MyParseLib and Types.

#include <cstdint>
#include <string>
#include <variant>

#include "MyParseLib.h"
#include "Parser.h"
#include "Types.h"

namespace quenlor {

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

}  // namespace quenlor
