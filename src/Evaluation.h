#pragma once
// Evaluation: the static score of the strong levels, from the side to move's view: material and
// placement blended between middle game and end game by the material left, mobility, pawn
// structure, passed pawns, king safety, and the technique that drives a bare king to the edge.
// Uses Types, Position and Rules.

#include <cstdint>

#include "Position.h"

namespace quenlor {

// The value of a pawn in the end game: the unit of the scores the strong levels report.
inline constexpr std::int32_t pawnUnit = 100;

// The static score of `position` for its side to move, in centipawns.
[[nodiscard]] std::int32_t evaluateStrong(const Position& position) noexcept;

// Whether the side has a piece other than pawns and its king: a side with none may be in
// zugzwang, where passing would be better than any move.
[[nodiscard]] bool hasPieces(const Position& position, Colour colour) noexcept;

// The exchange value of the pieces a capture or promotion may win: pawn 100, knight and bishop
// 320, rook 500, queen 950; the king 0 (it is never taken).
[[nodiscard]] std::int32_t exchangeValue(PieceType type) noexcept;

// Whether the capture or move `move` of the side to move loses no material once every capture
// on its target square has been played out (a static exchange above `threshold` centipawns).
[[nodiscard]] bool exchangeAtLeast(const Position& position, PackedMove move,
                                   std::int32_t threshold) noexcept;

}  // namespace quenlor
