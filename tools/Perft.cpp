#include "Perft.h"

#include <optional>

#include "Basics.h"
#include "Rules.h"

namespace quenlor {

std::uint64_t perft(const State& state, int depth) {
  if (depth <= 0) return 1;
  // Counted on the working form when it can stand for the state: children copy without index
  // or history, and the last ply is counted from target sets without listing its moves.
  if (const std::optional<Position> root = searchablePosition(state)) {
    auto count = [](auto& self, const Position& p, int plies) -> std::uint64_t {
      if (plies == 1) return countLegalMoves(p);
      PackedMoveList moves;
      generateLegalMoves(p, moves);
      std::uint64_t total = 0;
      for (const PackedMove m : moves) {
        Position child = p;
        if (!applyMove(child, m)) fatalError("a generated move could not be applied");
        total += self(self, child, plies - 1);
      }
      return total;
    };
    return count(count, *root, depth);
  }
  if (depth == 1) return countLegalMoves(state);
  MoveList moves;
  generateLegalMoves(state, moves);
  std::uint64_t total = 0;
  for (const Move& m : moves) total += perft(makeMove(state, m), depth - 1);
  return total;
}

}  // namespace quenlor
