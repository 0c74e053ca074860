#pragma once
// AI: the static evaluation and the engine's move choice, a four-ply negamax search with a
// one-sided cut-off and iterative deepening that narrows the root to 9 and then 6 moves.
// Uses Types, Basics, Position and Rules.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "Basics.h"
#include "Position.h"
#include "Rules.h"
#include "Types.h"

namespace quenlor {

//=== Evaluation ===//

// The terms a check adds to the static score of the side that gives it: a bonus for a check,
// and the value of a checkmate.
inline constexpr std::int32_t checkBonus = 50;
inline constexpr std::int32_t mateValue = 100000000;

[[nodiscard]] std::int32_t pieceValue(PieceType type) noexcept;
// The placement term of a piece type on a file (1 = a) and relative rank (1 = own back rank).
[[nodiscard]] std::int32_t positionalBonus(PieceType type, std::int32_t file,
                                           std::int32_t relativeRank) noexcept;
// Minus 20 for every file holding exactly two of the colour's pawns, 80 for three or more.
[[nodiscard]] std::int32_t doubledPawnPenalty(Colour colour, const Board& board) noexcept;
// `mateValue` when the side to move is checkmated, `checkBonus` when it is in check with a move,
// else 0.
[[nodiscard]] std::int32_t checkAdjustment(const State& state);
// The static score of `state` for `colour`, the side that has just moved.
[[nodiscard]] std::int32_t evaluatePosition(Colour colour, const State& state);

//=== Search ===//

// A checkmate the search finds with `n` plies left to search scores n × `mateStep` for the side
// that gives it (one ply above the horizon, the static `mateValue` applies instead).
inline constexpr std::int32_t mateStep = 10000000;

struct ScoredMove {
  Move move;
  Score score;
  bool operator==(const ScoredMove&) const = default;
};

// A scored move list, best first.
using ScoredMoveList = BoundedList<ScoredMove>;

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

// The plies of the last iteration of the engine's search, and of the deepest search offered:
// from four plies on, each iteration searches the best six moves of the one before one ply
// deeper.
inline constexpr std::int32_t searchDepth = 4;
inline constexpr std::int32_t maxSearchDepth = 6;

// The root's scored list after the iteration of `depth` plies (1 to `maxSearchDepth`); empty
// when there is no legal move.
[[nodiscard]] ScoredMoveList deepeningResult(const State& state, std::int32_t depth,
                                             SearchStats* stats = nullptr);
// Told the depth and the root's scored list as each iteration of the deepening ends.
using IterationObserver = std::function<void(std::int32_t depth, const ScoredMoveList& result)>;
// `deepeningResult` to `depth` plies that reports every iteration to `observe` as it ends, so a
// front end can show the search's progress without running an iteration twice; with `rootMoves`
// (legal moves in generation order) the search considers only those.
[[nodiscard]] ScoredMoveList deepeningResult(
    const State& state, std::int32_t depth, SearchStats* stats, const IterationObserver& observe,
    const std::optional<std::vector<Move>>& rootMoves = std::nullopt);
// The same after the last iteration, whose first move the engine plays.
[[nodiscard]] ScoredMoveList deepeningResult(const State& state, SearchStats* stats = nullptr);

// `deepeningResult` with the king checks that the positions below an irregular one need made at
// every node: a regular position passes them all, so the answer is the same (for tests).
[[nodiscard]] ScoredMoveList deepeningResultCheckingKings(const State& state);

// The margin of variety at a level (the depth of the last iteration): a root move scored within
// it of the best may be played instead. It narrows as the level rises, from 40 centipawns at
// level 1 to 6 at level 6.
[[nodiscard]] constexpr std::int32_t varietyMargin(std::int32_t level) noexcept {
  return 40 / std::max(level, 1);
}

// The move to play from a search's final root list (not empty) at `level`: with variety off the
// first; with variety on, one drawn from `seed` and the position among the entries scored
// within `varietyMargin(level)` of the first (never when the first scores a mate). The same
// seed, position and list always give the same move, so a game played with a seed can be
// replayed.
[[nodiscard]] Move chooseMove(const ScoredMoveList& result, const State& state, std::int32_t level,
                              std::optional<std::uint64_t> varietySeed);

// The engine's move for the side to move, or nothing when it has no legal move.
[[nodiscard]] std::optional<Move> cpuMove(const State& state);

}  // namespace quenlor
