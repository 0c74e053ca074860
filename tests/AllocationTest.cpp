// Counts heap allocations across whole searches: a reply may allocate a handful of times for its
// root lists, but never once per searched node. This program replaces the global allocation
// functions, so it is a test executable of its own.

#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

#include "AI.h"
#include "BenchSuite.h"
#include "Fen.h"

namespace {
std::size_t allocations = 0;
}  // namespace

void* operator new(std::size_t size) {
  ++allocations;
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}

namespace quenlor {
namespace {

TEST(Allocation, SearchAllocatesPerReplyNotPerNode) {
  for (const std::string& text : benchSuite()) {
    const std::optional<State> state = stateFromFen(text);
    ASSERT_TRUE(state.has_value());
    SearchStats stats;
    const std::size_t before = allocations;
    const ScoredMoveList result = deepeningResult(*state, &stats);
    const std::size_t used = allocations - before;
    if (result.empty()) continue;  // checkmated: nothing searched
    EXPECT_LE(used, 8U) << text << ": " << used << " allocations for " << stats.makeMoveCalls
                        << " moves made";
    EXPECT_GT(stats.makeMoveCalls, 100U) << text;
  }
}

TEST(Allocation, GameHistoryGrowsWithoutCopyingPerMove) {
  // Applying moves to a long game allocates only when the inline part of the history is full.
  State state = newGame();
  const std::size_t before = allocations;
  for (int i = 0; i < 40; ++i) {
    const MoveList moves = legalMoves(state);
    ASSERT_FALSE(moves.empty());
    state = makeMove(state, moves[0]);
  }
  // Two allocations (a node and its list) each time the eight inline places are full.
  EXPECT_LE(allocations - before, 2U * (40U / 9U + 1U));
  EXPECT_EQ(state.reversedHistory.size(), 40U);
}

}  // namespace
}  // namespace quenlor
