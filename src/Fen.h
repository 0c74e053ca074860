#pragma once
// Fen: FEN text both ways, the one FEN reader and writer of the project, used by the UCI front end
// ("position fen"), the developer tool, the tests and the benchmarks. Uses Types, Basics and
// Parser (for input quoted in its error messages).

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

// The halfmove clock of a FEN (plies since the last capture or pawn move): its fifth field when
// that is a whole number (saturating at 100000), else 0.
[[nodiscard]] std::int32_t fenHalfmoveClock(std::string_view fen);

// The FEN of a state: the placement, the side to move, the castling rights held, the en-passant
// square whenever the last move was a pawn's double step, a halfmove clock of 0 (the state keeps
// none) and the full-move number of `moveNum`.
[[nodiscard]] std::string fenFromState(const State& state);

// The board as the placement field of a FEN ("rnbqkbnr/pppppppp/8/...").
[[nodiscard]] std::string fenPlacement(const Board& board);

// The castling rights held, as the castling field of a FEN ("KQkq", "-").
[[nodiscard]] std::string fenCastling(CastleStatus status);

}  // namespace quenlor
