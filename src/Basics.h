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

// A well-mixed 64-bit value from any 64-bit value: one step of the splitmix64 generator, which
// draws the varied moves and fills the search's key tables.
[[nodiscard]] constexpr std::uint64_t mixBits(std::uint64_t x) noexcept {
  x += 0x9E3779B97F4A7C15ULL;
  x = (x ^ (x >> 30U)) * 0xBF58476D1CE4E5B9ULL;
  x = (x ^ (x >> 27U)) * 0x94D049BB133111EBULL;
  return x ^ (x >> 31U);
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

namespace detail {

// The square map a store's updates change.
inline const SquareMap& squaresOf(const SquareMap& squares) noexcept {
  return squares;
}
inline const SquareMap& squaresOf(const Board& board) noexcept {
  return board.squares;
}

// The castling rights each square takes away: moving from a square (a `MovePiece` of the
// mover) and moving onto it (any move, for the opponent's rook corners), per mover colour.
struct RightsTable {
  std::array<std::array<std::uint8_t, 64>, 2> leaving{};
  std::array<std::array<std::uint8_t, 64>, 2> entering{};
};

constexpr RightsTable makeRightsTable() {
  RightsTable t{};
  for (Colour mover : {Colour::White, Colour::Black}) {
    const auto c = static_cast<std::size_t>(mover);
    const Colour opponent = toggle(mover);
    for (BoardSide side : {BoardSide::KingSide, BoardSide::QueenSide}) {
      const auto pairs = castling(mover, side);
      t.leaving[c][squareCode(pairs[0].first)] |= CastleStatus::bit(side, mover);
      t.leaving[c][squareCode(pairs[1].first)] |= CastleStatus::bit(side, mover);
      t.entering[c][squareCode(castling(opponent, side)[1].first)] |=
          CastleStatus::bit(side, opponent);
    }
  }
  return t;
}

constexpr RightsTable rightsTable = makeRightsTable();

}  // namespace detail

// The castling rights (as `CastleStatus::bit` gives them) that a move of `mover` gives up:
// leaving the king's or a rook's home square (not by promotion), or arriving on an opponent's
// rook's home square, which captures whatever rook stood there.
[[nodiscard]] inline std::uint8_t rightsLost(Colour mover, PackedMove move) noexcept {
  const auto& table = detail::rightsTable;
  const auto c = static_cast<std::size_t>(mover);
  const std::uint8_t entering = table.entering[c][packedTo(move)];
  if (isPackedPromotion(move)) return entering;
  return static_cast<std::uint8_t>(entering | table.leaving[c][packedFrom(move)]);
}

// The board part of a move of `mover`, applied in place to `store` (a `Board`, or the
// `SquareMap` of the working form): castling moves the rook too, en passant takes the passed
// pawn (`lastMove` tells whether it has just made its double step), a promotion puts the new
// piece of the mover's colour on the target whatever stood on the origin. Returns the error
// `makeMove` stops with when the move cannot be applied (an empty origin, a castling king
// without a piece on its rook's square), otherwise nothing.
template <typename Store>
[[nodiscard]] const char* applyMoveTo(Store& store, Colour mover, PackedMove move,
                                      PackedMove lastMove) {
  using detail::squaresOf;
  const SquareCode from = packedFrom(move);
  const SquareCode to = packedTo(move);
  if (isPackedPromotion(move)) {
    store.clear(from);
    store.place(to, cellOf({mover, packedPromoted(move)}));
    return nullptr;
  }
  const std::uint8_t cell = squaresOf(store).cells[from];
  if (cell == 0) return "getPieceFromSquare called on empty square";
  const bool white = mover == Colour::White;
  switch (typeOfCell[cell]) {
    case PieceType::King: {
      const int h = (homeRow(mover) - 1) * 8;  // code of the home row's first square
      if (from == h + 4 && (to == h + 6 || to == h + 2)) {
        const auto rookFrom = static_cast<SquareCode>(to == h + 6 ? h + 7 : h);
        const auto rookTo = static_cast<SquareCode>(to == h + 6 ? h + 5 : h + 3);
        store.shift(from, to);
        if (squaresOf(store).cells[rookFrom] == 0) return "movePiece called on empty square";
        store.shift(rookFrom, rookTo);
        return nullptr;
      }
      break;
    }
    case PieceType::Pawn: {
      // A diagonal step onto the row behind a pawn of the opponent that has just made its double
      // step past it takes that pawn.
      if (from % 8 == to % 8 || from / 8 != (white ? 3 : 4) || to / 8 != (white ? 2 : 5)) break;
      const auto passed = static_cast<SquareCode>(from / 8 * 8 + to % 8);
      const auto start = static_cast<SquareCode>((white ? 1 : 6) * 8 + to % 8);
      if (lastMove != packedMove(start, passed) ||
          squaresOf(store).cells[passed] != cellOf({toggle(mover), PieceType::Pawn})) {
        break;
      }
      store.clear(passed);
      store.clear(from);
      store.place(to, cellOf({mover, PieceType::Pawn}));
      return nullptr;
    }
    default: break;
  }
  store.shift(from, to);
  return nullptr;
}

}  // namespace quenlor
