#pragma once
// Basics: small helpers over the types (board bounds, colours, score negation), the king lookup,
// the starting position and `makeMove`, the one operation that advances a game; and `Position`,
// the compact working form of a state that the rules and the search apply moves to. Uses Types.

#include <array>
#include <bit>
#include <cstdint>
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

//=== Packed moves and positions: the working form of the rules and the search ===//

// The number of squares in a set. Written out (a few shifts and one multiplication) because
// without a target-specific option `std::popcount` becomes a library call.
[[nodiscard]] constexpr int countBits(std::uint64_t bits) noexcept {
  bits -= (bits >> 1U) & 0x5555555555555555ULL;
  bits = (bits & 0x3333333333333333ULL) + ((bits >> 2U) & 0x3333333333333333ULL);
  bits = (bits + (bits >> 4U)) & 0x0F0F0F0F0F0F0F0FULL;
  return static_cast<int>((bits * 0x0101010101010101ULL) >> 56U);
}

// A move with both squares on the board in 16 bits: promoted type (bits 0-2), target (3-8),
// origin (9-14) and kind (15). Compared as integers, packed moves keep the `Move` order.
using PackedMove = std::uint16_t;
// No move: its promoted field (7) names no piece type, so it equals no packed move.
inline constexpr PackedMove noMove = 0xFFFF;

[[nodiscard]] constexpr PackedMove packedMove(SquareCode from, SquareCode to) noexcept {
  return static_cast<PackedMove>(from << 9U | to << 3U);
}
[[nodiscard]] constexpr PackedMove packedPromotion(SquareCode from, SquareCode to,
                                                   PieceType promoted) noexcept {
  return static_cast<PackedMove>(0x8000U | from << 9U | to << 3U | static_cast<unsigned>(promoted));
}
[[nodiscard]] constexpr SquareCode packedFrom(PackedMove m) noexcept {
  return static_cast<SquareCode>((m >> 9U) & 63U);
}
[[nodiscard]] constexpr SquareCode packedTo(PackedMove m) noexcept {
  return static_cast<SquareCode>((m >> 3U) & 63U);
}
[[nodiscard]] constexpr bool isPackedPromotion(PackedMove m) noexcept {
  return (m & 0x8000U) != 0;
}
[[nodiscard]] constexpr PieceType packedPromoted(PackedMove m) noexcept {
  return static_cast<PieceType>(m & 7U);
}
// The move packed, or nothing when a square is off the board.
[[nodiscard]] std::optional<PackedMove> packMove(Move move) noexcept;
[[nodiscard]] Move unpackMove(PackedMove move) noexcept;

// A state reduced to what the rules and the search read: the squares with bit sets per colour
// and per piece type, the side to move, the castling rights and the last move (for en passant).
// It has no piece index and no history, so it copies in a few instructions and applying a move
// to it never allocates. Built from a state whose index agrees with its squares, it answers
// every rules question as the state does (the index order decides nothing there).
// The piece type of a cell (piece code + 1), by table; cell 0, an empty square, reads as King and
// is never asked.
inline constexpr std::array<PieceType, 13> typeOfCell{
    PieceType::King,   PieceType::King,   PieceType::Queen, PieceType::Rook,  PieceType::Knight,
    PieceType::Bishop, PieceType::Pawn,   PieceType::King,  PieceType::Queen, PieceType::Rook,
    PieceType::Knight, PieceType::Bishop, PieceType::Pawn};

struct Position {
  std::array<std::uint8_t, 64> cells;     // as in `SquareMap`: 0 empty, else piece code + 1
  std::array<std::uint64_t, 2> byColour;  // bit = square code
  std::array<std::uint64_t, 6> byType;    // by `PieceType`
  Colour turn;
  std::uint8_t castleRights;  // the `rights` bits of `CastleStatus`
  PackedMove lastMove;        // `noMove` when there is none or it left the board

  [[nodiscard]] std::uint64_t occupied() const noexcept { return byColour[0] | byColour[1]; }
  // The type of the piece on an occupied square.
  [[nodiscard]] PieceType typeOn(SquareCode sq) const noexcept { return typeOfCell[cells[sq]]; }
  [[nodiscard]] std::uint64_t pieces(Colour colour, PieceType type) const noexcept {
    return byColour[static_cast<std::size_t>(colour)] & byType[static_cast<std::size_t>(type)];
  }
  // The square of the colour's king; meaningful only when there is exactly one.
  [[nodiscard]] SquareCode kingSquare(Colour colour) const noexcept {
    return static_cast<SquareCode>(std::countr_zero(pieces(colour, PieceType::King)));
  }
  [[nodiscard]] bool hasOneKing(Colour colour) const noexcept {
    const std::uint64_t kings = pieces(colour, PieceType::King);
    return kings != 0 && (kings & (kings - 1)) == 0;
  }
};

// Whether the board's piece index lists exactly the occupied squares, each once under its piece.
[[nodiscard]] bool indexAgreesWithSquares(const Board& board) noexcept;
// The working form of a state.
[[nodiscard]] Position positionOf(const State& state) noexcept;
// Applies `move` as `makeMove` does (board, castling rights, side to move, last move). False,
// with `position` unspecified, when `makeMove` would stop with an error instead: an empty origin
// of a `MovePiece`, or a castling king without a piece on its rook's square.
[[nodiscard]] bool applyMove(Position& position, PackedMove move) noexcept;

}  // namespace quenlor
