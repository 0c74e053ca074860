#pragma once
// Fen: position set-up from FEN text, the one FEN reader of the project, used by the UCI front end
// ("position fen"), the developer tool, the tests and the benchmarks. Uses Types and Basics.

#include <optional>
#include <string>
#include <string_view>

#include "Types.h"

namespace quenlor {

// The state a FEN stands for: the board from `initBoard` of the pieces in ascending square order,
// all four castling keys (true exactly for the rights named), the side to move, and a history
// holding only the double step that produced the en-passant square, if one is named. The
// halfmove clock and move number are ignored. Nothing when the FEN is malformed, with the
// reason in `error`.
[[nodiscard]] std::optional<State> stateFromFen(std::string_view fen, std::string* error = nullptr);

}  // namespace quenlor
