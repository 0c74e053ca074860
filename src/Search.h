#pragma once
// Search: the strong levels' search, a principal-variation alpha-beta search on the working form
// with quiescence, a transposition table on Zobrist keys, iterative deepening with aspiration
// windows, pruning and reductions, mate scores by distance, draws by repetition and the
// fifty-move rule, and clocks. Uses Types, Basics, Position, Rules and Evaluation.

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Position.h"

namespace quenlor {

//=== Keys ===//

// The Zobrist key of a position: its pieces, side to move, castling rights held, and the file
// of an en-passant capture when one is possible.
[[nodiscard]] std::uint64_t zobristKey(const Position& position) noexcept;
// The key of `after`, reached from `before` (whose key is `key`) by one move or by passing.
[[nodiscard]] std::uint64_t keyAfter(const Position& before, std::uint64_t key,
                                     const Position& after) noexcept;

//=== Games ===//

// A game as the strong search sees it: the position to move in, the plies since the last capture
// or pawn move, and the keys of every position since then, the current one last, so that the
// search recognises repetitions of positions played before it.
class GameRecord {
 public:
  explicit GameRecord(const Position& start, std::int32_t halfmoveClock = 0);
  // Plays a legal move.
  void play(PackedMove move);
  [[nodiscard]] const Position& position() const noexcept { return position_; }
  [[nodiscard]] std::int32_t halfmoveClock() const noexcept { return halfmoveClock_; }
  [[nodiscard]] const std::vector<std::uint64_t>& keys() const noexcept { return keys_; }

 private:
  Position position_;
  std::int32_t halfmoveClock_;
  std::vector<std::uint64_t> keys_;
};

//=== Levels ===//

// The strong levels: from `firstStrongLevel` to `topLevel`. Each below the top searches a fixed
// number of nodes a move, so it plays the same on any machine; the top level uses the clock.
inline constexpr std::int32_t firstStrongLevel = 5;
inline constexpr std::int32_t topLevel = 11;
inline constexpr std::array<std::uint64_t, topLevel - firstStrongLevel> levelNodes{
    60, 200, 700, 2500, 10000, 40000};

//=== Searching ===//

inline constexpr std::int32_t maxPly = 128;
// A mate in n plies scores `mateScore` − n for the side that gives it; any score beyond
// `mateBound` is a mate.
inline constexpr std::int32_t mateScore = 32000;
inline constexpr std::int32_t mateBound = mateScore - maxPly;

// What ends a search. Without a limit it runs to `maxPly` − 1 iterations or until stopped.
struct SearchLimits {
  std::int32_t depth = maxPly - 1;       // iterations
  std::uint64_t nodes = 0;               // 0: no node limit
  std::int32_t mate = 0;                 // stop at a mate in this many moves; 0: no mate limit
  std::optional<std::int64_t> moveTime;  // milliseconds for this move
  std::optional<std::int64_t> time;      // the side to move's clock, in milliseconds
  std::int64_t increment = 0;            // its increment per move
  std::int32_t movesToGo = 0;            // moves to the next time control; 0: the whole game
  std::int64_t moveOverhead = 30;        // milliseconds lost per move to the interface
  bool infinite = false;                 // search until stopped (the answer waits for it too)
  bool ponder = false;                   // search on the opponent's time until ponderhit
  std::vector<PackedMove> rootMoves;     // the root moves to consider; empty: every legal move
  std::int32_t multiPV = 1;              // lines to score exactly
};

// Signals to a running search from another thread.
struct SearchControl {
  std::atomic<bool> stop{false};
  std::atomic<bool> ponderHit{false};
};

enum class ScoreBound : std::uint8_t { Exact, Lower, Upper };

// One scored line: its score for the side to move, the depth it was scored at and the moves.
struct SearchLine {
  std::int32_t depth = 0;
  std::int32_t selDepth = 0;
  std::int32_t score = 0;
  ScoreBound bound = ScoreBound::Exact;
  std::vector<PackedMove> pv;
};

// The state of a search after an iteration: its lines, best first.
struct SearchReport {
  std::int32_t depth = 0;
  std::vector<SearchLine> lines;
  std::uint64_t nodes = 0;
  std::int64_t milliseconds = 0;
  std::int32_t hashFull = 0;  // per mille of the table used by this search
};

using SearchObserver = std::function<void(const SearchReport&)>;

// The move to play (none when there is no legal move), the expected reply, and the last report.
struct SearchResult {
  PackedMove best = noMove;
  PackedMove ponder = noMove;
  SearchReport report;
};

// The strong search with its transposition table and move-ordering memory, kept between
// searches of one game. Not for use by two threads at once.
class StrongSearch {
 public:
  static constexpr std::size_t defaultHashMegabytes = 16;
  explicit StrongSearch(std::size_t hashMegabytes = defaultHashMegabytes);
  ~StrongSearch();
  StrongSearch(const StrongSearch&) = delete;
  StrongSearch& operator=(const StrongSearch&) = delete;

  // Gives the table the largest power-of-two size not above `megabytes` (at least 1), emptied.
  void resize(std::size_t megabytes);
  // Forgets everything learned: the table, the killer moves and the history.
  void clear() noexcept;
  // Searches the game's position within `limits`, reporting each finished iteration.
  SearchResult run(const GameRecord& game, const SearchLimits& limits, SearchControl& control,
                   const SearchObserver& observe = nullptr);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// The size of the table of a search on a level's node budget, which starts from an empty table
// of this size so that the level plays the same moves wherever it runs.
inline constexpr std::size_t levelHashMegabytes = 2;

// The limits of a strong level's search when no clock is given: its node budget, and at the top
// level four times the budget of the level below.
[[nodiscard]] SearchLimits levelLimits(std::int32_t level);

// The score of a line as UCI shows it: "mate N" in moves (negative when the side to move is
// mated) or "cp X".
[[nodiscard]] std::string uciScoreText(std::int32_t score);

}  // namespace quenlor
