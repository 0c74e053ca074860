#include "Perft.h"

#include "Basics.h"
#include "Rules.h"

namespace quenlor {

std::uint64_t perft(const State& state, int depth) {
  if (depth <= 0) return 1;
  if (depth == 1) return countLegalMoves(state);
  MoveList moves;
  generateLegalMoves(state, moves);
  std::uint64_t total = 0;
  for (const Move& m : moves) total += perft(makeMove(state, m), depth - 1);
  return total;
}

}  // namespace quenlor
