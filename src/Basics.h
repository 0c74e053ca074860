#pragma once
// Basics: small helpers over the types (colours, score negation), the king lookup, the starting
// position, and the application of a move: `makeMove`, the one operation that advances a game,
// and `applyMoveTo`, the board part it shares with the working form of the search. Uses Types.

#include <array>
#include <cstdint>
#include <optional>
#include <utility>

#include "Types.h"

namespace quenlor {

[[nodiscard]] constexpr Colour toggle(Colour colour) noexcept {
  return colour == Colour::White ? Colour::Black : Colour::White;
}

// The home row (back rank) of a colour: 8 for White, 1 for Black.
[[nodiscard]] constexpr std::int32_t homeRow(Colour colour) noexcept {
  return colour == Colour::White ? 8 : 1;
}

// Swaps the infinities and negates a Number (with wrap-around, so it is always defined);
// `NeverCalculated` has no negation and stops the program.
[[nodiscard]] Score negateScore(Score score);

// The one square of that colour's king; stops the program unless there is exactly one.
[[nodiscard]] Location findKing(const Board& board, Colour colour);

// The king's relocation, then the rook's, for castling on `side`.
using SquarePair = std::pair<Location, Location>;
[[nodiscard]] constexpr std::array<SquarePair, 2> castling(Colour colour, BoardSide side) noexcept {
  const std::int32_t h = homeRow(colour);
  if (side == BoardSide::KingSide) return {{{{h, 5}, {h, 7}}, {{h, 8}, {h, 6}}}};
  return {{{{h, 5}, {h, 3}}, {{h, 1}, {h, 4}}}};
}

[[nodiscard]] const Board& initialPosition();
[[nodiscard]] State newGame();

[[nodiscard]] std::optional<Move> lastMove(const State& state) noexcept;

// The state after `move`, applied without any legality test.
[[nodiscard]] State makeMove(const State& state, Move move);

// The board part of a move of `mover`, applied in place to `store` (a `Board`, or the
// `SquareMap` of the working form): castling moves the rook too, en passant takes the passed
// pawn (`lastMove` tells whether it has just made its double step), a promotion puts the new
// piece of the mover's colour on the target whatever stood on the origin. Returns the error
// `makeMove` stops with when the move cannot be applied (an empty origin, a castling king
// without a piece on its rook's square), otherwise nothing.
template <typename Store>
[[nodiscard]] const char* applyMoveTo(Store& store, Colour mover, PackedMove move,
                                      PackedMove lastMove);

// The castling rights (as `CastleStatus::bit` gives them) that a move of `mover` gives up:
// leaving the king's or a rook's home square (not by promotion), or arriving on an opponent's
// rook's home square, which captures whatever rook stood there.
[[nodiscard]] std::uint8_t rightsLost(Colour mover, PackedMove move) noexcept;

}  // namespace quenlor
