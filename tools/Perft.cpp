#include "Perft.h"

#include "Position.h"
#include "Rules.h"

namespace quenlor {

namespace {

// Counted on the working form: children copy without index or history, and the last ply is
// counted from target sets without listing its moves. A side to move without exactly one king
// is answered as the game answers it, from the path that led there.
std::uint64_t count(const Position& p, int plies, const GamePath& path) {
  if (!moverHasOneKing(p, path)) return 0;
  if (plies == 1) return countLegalMoves(p);
  PackedMoveList moves;
  generateLegalMoves(p, moves);
  std::uint64_t total = 0;
  for (const PackedMove m : moves) {
    Position child = p;
    applyMove(child, m);
    total += count(child, plies - 1, GamePath(path, unpackMove(m)));
  }
  return total;
}

}  // namespace

std::uint64_t perft(const State& state, int depth) {
  if (depth <= 0) return 1;
  return count(positionOf(state), depth, GamePath(state));
}

}  // namespace quenlor
