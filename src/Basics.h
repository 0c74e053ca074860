#pragma once
// Basics: small helpers over the types (board bounds, colours, score negation), the king lookup,
// the starting position and `makeMove`, the one operation that advances a game.
// Uses Types only.

#include <array>
#include <optional>
#include <utility>

#include "Types.h"

namespace quenlor {

[[nodiscard]] constexpr bool inBoard(Location loc) noexcept {
  return isOnBoard(loc);
}

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

// The board part of `makeMove`, applied to `board` in place: `mover` is the side to move and
// `history` the moves played before this one (its latest is read only for en passant).
void applyMoveToBoard(Board& board, Colour mover, Move move, const History& history);

}  // namespace quenlor
