#pragma once
// AI: the static evaluation and the engine's move choice, a four-ply negamax search with a
// one-sided cut-off and iterative deepening that narrows the root to 9 and then 6 moves.
// Uses Types, Basics and Rules.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "Basics.h"
#include "Rules.h"
#include "Types.h"

namespace quenlor {

//=== Evaluation ===//

[[nodiscard]] std::int32_t pieceValue(PieceType type) noexcept;
// The placement term of a piece type on a file (1 = a) and relative rank (1 = own back rank).
[[nodiscard]] std::int32_t positionalBonus(PieceType type, std::int32_t file,
                                           std::int32_t relativeRank) noexcept;
// Minus 20 for every file holding exactly two of the colour's pawns, 80 for three or more.
[[nodiscard]] std::int32_t doubledPawnPenalty(Colour colour, const Board& board) noexcept;
// 100000000 when the side to move is checkmated, 50 when it is in check with a move, else 0.
[[nodiscard]] std::int32_t checkAdjustment(const State& state);
// The static score of `state` for `colour`, the side that has just moved.
[[nodiscard]] std::int32_t evaluatePosition(Colour colour, const State& state);

//=== Search ===//

struct ScoredMove {
  Move move;
  Score score;
  bool operator==(const ScoredMove&) const = default;
};

// A fixed-capacity scored move list (best first), filled without allocation.
class ScoredMoveList {
 public:
  ScoredMoveList() noexcept {}  // leaves the storage uninitialised
  // Copies only the entries held, not the whole capacity.
  ScoredMoveList(const ScoredMoveList& other) noexcept : size_(other.size_) {
    std::copy(other.begin(), other.end(), entries_.data());
  }
  ScoredMoveList& operator=(const ScoredMoveList& other) noexcept {
    size_ = other.size_;
    std::copy(other.begin(), other.end(), entries_.data());
    return *this;
  }
  void push(ScoredMove entry) {
    if (size_ == MoveList::capacity) fatalError("scored move list overflow");
    entries_[size_++] = entry;
  }
  void insertAt(std::size_t position, ScoredMove entry);
  [[nodiscard]] std::size_t size() const noexcept { return size_; }
  [[nodiscard]] bool empty() const noexcept { return size_ == 0; }
  [[nodiscard]] const ScoredMove& operator[](std::size_t i) const noexcept { return entries_[i]; }
  [[nodiscard]] const ScoredMove* begin() const noexcept { return entries_.data(); }
  [[nodiscard]] const ScoredMove* end() const noexcept { return entries_.data() + size_; }
  [[nodiscard]] std::vector<ScoredMove> toVector() const { return {begin(), end()}; }
  // The moves of the first `count` entries (all of them if there are fewer), in list order.
  [[nodiscard]] std::vector<Move> firstMoves(std::size_t count) const;

 private:
  std::array<ScoredMove, MoveList::capacity> entries_;
  std::size_t size_ = 0;
};

// Places the entry before the first entry whose score is strictly lower; equal scores stay ahead.
void insertScoredMove(Move move, Score score, ScoredMoveList& list);

// The moves reordered by their static score after the move, highest first; equal scores put the
// greater move first.
[[nodiscard]] MoveList orderByEvaluation(const State& state, const MoveList& moves);

// Calls made by one search, for benchmarks.
struct SearchStats {
  std::uint64_t makeMoveCalls = 0;
  std::uint64_t evaluateCalls = 0;
  std::uint64_t legalMovesCalls = 0;
};

// One search node: the scored moves of `state` searched `depth` plies deep against `bound`.
// With `moves` given exactly those are searched in that order, otherwise the node generates its
// own.
[[nodiscard]] ScoredMoveList searchPosition(Score bound, std::int32_t depth, const State& state,
                                            const std::optional<std::vector<Move>>& moves,
                                            SearchStats* stats = nullptr);

// The plies of the last iteration of the engine's search.
inline constexpr std::int32_t searchDepth = 4;

// The root's scored list after the iteration of `depth` plies (1 to 4); empty when there is no
// legal move.
[[nodiscard]] ScoredMoveList deepeningResult(const State& state, std::int32_t depth,
                                             SearchStats* stats = nullptr);
// Told the depth and the root's scored list as each iteration of the deepening ends.
using IterationObserver = std::function<void(std::int32_t depth, const ScoredMoveList& result)>;
// `deepeningResult` to `depth` plies that reports every iteration to `observe` as it ends, so a
// front end can show the search's progress without running an iteration twice.
[[nodiscard]] ScoredMoveList deepeningResult(const State& state, std::int32_t depth,
                                             SearchStats* stats, const IterationObserver& observe);
// The same after the last iteration, whose first move the engine plays.
[[nodiscard]] ScoredMoveList deepeningResult(const State& state, SearchStats* stats = nullptr);

// The engine's move for the side to move, or nothing when it has no legal move.
[[nodiscard]] std::optional<Move> cpuMove(const State& state);

}  // namespace quenlor
