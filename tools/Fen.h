#pragma once
// Position set-up from FEN, for tests and developer tools only (the engine itself never reads a
// FEN), and perft, the count of the legal-move tree that proves the move generator.

#include <cstdint>
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

// The number of move sequences of exactly `depth` plies (1 for depth 0).
[[nodiscard]] std::uint64_t perft(const State& state, int depth);

}  // namespace quenlor
