#pragma once
// Position: the working form of a game state, which the rules and the search apply moves to.
// Uses Types and Basics.

#include <cstdint>

#include "Basics.h"
#include "Types.h"

namespace quenlor {

// A state reduced to what the rules and the search read: the square map (cells with their
// colour and type sets), the side to move, the castling rights and the last move (for en
// passant). It has no piece index and no history, so it copies in a few instructions and
// applying a move to it never allocates. It answers every rules question as its state does: the
// index order decides nothing there.
struct Position : SquareMap {
  Colour turn = Colour::White;
  CastleStatus castleStatus;
  PackedMove lastMove = noMove;  // `noMove` when there is none or it left the board

  friend bool operator==(const Position&, const Position&) = default;
};

// The working form of a state.
[[nodiscard]] Position positionOf(const State& state) noexcept;

// Applies `move` as `makeMove` does (board, castling rights, side to move, last move); stops the
// program with `makeMove`'s error when it cannot be applied.
void applyMove(Position& position, PackedMove move);

}  // namespace quenlor
