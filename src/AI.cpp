#include "AI.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <vector>

namespace quenlor {

//=== Evaluation ===//

std::int32_t pieceValue(PieceType type) noexcept {
  // clang-format off
  constexpr std::array<std::int32_t, 6> values{0 /*K*/, 900 /*Q*/, 500 /*R*/, 300 /*N*/, 320 /*B*/, 100 /*P*/};
  // clang-format on
  return values[static_cast<std::size_t>(type)];
}

std::int32_t positionalBonus(PieceType type, std::int32_t file,
                             std::int32_t relativeRank) noexcept {
  const bool wing = file == 1 || file == 2 || file == 7 || file == 8;
  const bool centre = file >= 3 && file <= 6;
  switch (type) {
    case PieceType::King:
      if (file == 4) return -40;
      if (relativeRank == 1) return wing ? 10 : 0;
      if (relativeRank == 2) return wing ? 2 : -5;
      return -5;
    case PieceType::Queen: return 0;
    case PieceType::Rook:
      if (centre) return 30;
      return file >= 7 ? -20 : 0;
    case PieceType::Knight:
      if (!centre) return 0;
      switch (relativeRank) {
        case 3: return 10;
        case 4: return 12;
        case 5: return 14;
        case 6: return 16;
        default: return 5;
      }
    case PieceType::Bishop:
      if (relativeRank == 1) return 0;
      if (relativeRank == 2) return file == 2 ? 35 : file == 7 ? 15 : 7;
      return 7;
    case PieceType::Pawn:
      switch (file) {
        case 1:
        case 7:
        case 8: return relativeRank <= 3 ? 8 : -10;
        case 2:
          if (relativeRank == 3 || relativeRank == 4) return 6;
          return relativeRank <= 2 ? 8 : -10;
        case 3: return relativeRank == 3 || relativeRank == 4 ? 6 : 0;
        case 4:
        case 5:
          if (relativeRank >= 4 && relativeRank <= 6) return 20;
          return relativeRank == 3 ? 7 : 0;
        case 6: return relativeRank >= 3 ? -25 : 0;
        default: return 0;
      }
  }
  return 0;
}

namespace {

// Value plus placement of every piece on every square, from White's side: White's pieces count
// positive, Black's negative.
struct PlacementTable {
  std::array<std::array<std::int32_t, 64>, 12> score{};
};

PlacementTable makePlacement() {
  PlacementTable t{};
  for (PieceCode code = 0; code < 12; ++code) {
    const Piece piece = pieceOfCode(code);
    for (SquareCode sq = 0; sq < 64; ++sq) {
      const Location loc = squareLocation(sq);
      const std::int32_t relativeRank = piece.colour == Colour::White ? 9 - loc.row : loc.row;
      const std::int32_t value =
          pieceValue(piece.type) + positionalBonus(piece.type, loc.column, relativeRank);
      t.score[code][sq] = piece.colour == Colour::White ? value : -value;
    }
  }
  return t;
}

const PlacementTable placementTable = makePlacement();

// The evaluation terms of a position that its children correct rather than recompute: the
// placement sum from White's side and each colour's doubled-pawn penalty.
struct Terms {
  std::int32_t whiteView;
  std::array<std::int32_t, 2> doubled;  // by colour, 0 or less
};

// The doubled-pawn penalty of a set of pawns: per file, bit-sliced counters of one, two and
// three or more pawns, filled rank by rank.
std::int32_t doubledPenaltyOf(std::uint64_t pawns) noexcept {
  std::uint64_t one = 0;
  std::uint64_t two = 0;
  std::uint64_t three = 0;
  for (unsigned rank = 0; rank < 8; ++rank) {
    const std::uint64_t row = (pawns >> (8U * rank)) & 0xFFU;
    three |= two & row;
    two |= one & row;
    one |= row;
  }
  if (two == 0) return 0;
  return -(20 * countBits(two & ~three) + 80 * countBits(three));
}

Terms termsOf(const SquareMap& squares) noexcept {
  Terms t{0, {}};
  for (std::uint64_t bits = squares.occupied(); bits != 0; bits &= bits - 1) {
    const auto sq = static_cast<SquareCode>(std::countr_zero(bits));
    t.whiteView += placementTable.score[squares.cells[sq] - 1U][sq];
  }
  for (Colour c : {Colour::White, Colour::Black}) {
    t.doubled[static_cast<std::size_t>(c)] = doubledPenaltyOf(squares.pieces(c, PieceType::Pawn));
  }
  return t;
}

// Material, placement and doubled pawns for `colour`.
std::int32_t valueFor(const Terms& t, Colour colour) noexcept {
  const bool white = colour == Colour::White;
  return (white ? t.whiteView : -t.whiteView) + t.doubled[white ? 0 : 1] - t.doubled[white ? 1 : 0];
}

// The check term of a position whose side to move stands in check.
std::int32_t checkTerm(const Position& inCheck) {
  return hasLegalMove(inCheck) ? checkBonus : mateValue;
}

}  // namespace

std::int32_t doubledPawnPenalty(Colour colour, const Board& board) noexcept {
  return doubledPenaltyOf(board.squares.pieces(colour, PieceType::Pawn));
}

std::int32_t checkAdjustment(const State& state) {
  return inCheck(state, state.turn) ? checkTerm(positionOf(state)) : 0;
}

std::int32_t evaluatePosition(Colour colour, const State& state) {
  return valueFor(termsOf(state.getBoard.squares), colour) + checkAdjustment(state);
}

//=== Scored lists and ordering ===//

void insertScoredMove(Move move, Score score, ScoredMoveList& list) {
  std::size_t position = 0;
  while (position < list.size() && compare(score, list[position].score) != Ordering::Greater) {
    ++position;
  }
  list.insertAt(position, {move, score});
}

MoveList orderByEvaluation(const State& state, const MoveList& moves) {
  struct Keyed {
    std::int32_t key;
    Move move;
  };
  std::vector<Keyed> keyed;
  for (const Move& m : moves)
    keyed.push_back({evaluatePosition(state.turn, makeMove(state, m)), m});
  std::sort(keyed.begin(), keyed.end(), [](const Keyed& a, const Keyed& b) {
    return a.key != b.key ? a.key > b.key : a.move > b.move;
  });
  MoveList out;
  for (const Keyed& k : keyed) out.push(k.move);
  return out;
}

//=== Search ===//

// The search runs on the working form. A regular position (see `irregularity`) has only regular
// positions below it, where no king can be missing; below an irregular one the search looks for
// a single king wherever the game does, and stops as the game does when there is none or more
// than one. The search's functions take the kind of node as their template argument (with the
// path from the game state, for the game's message), so both kinds run the same code.
namespace {

// How a node treats kings: trusting that each side has one (a regular position and everything
// below it), checking where the game looks for one (below an irregular position, down to the
// first regular one), or checking at every node (for tests: a regular position passes them all).
enum class Kings : std::uint8_t { Trusted, Checked, AlwaysChecked };

// The bound of a node: unlimited or a number to stay below. Every score the search computes is
// a Number, so the bound is all of the `Score` order it needs.
struct Bound {
  bool limited;
  std::int32_t below;
};
constexpr Bound unlimited{false, 0};

[[nodiscard]] std::int32_t negated(std::int32_t n) noexcept {
  return static_cast<std::int32_t>(0U - static_cast<std::uint32_t>(n));
}

// The best score of a node so far: the score of the first entry of its scored list.
struct Best {
  bool found;
  std::int32_t score;
};

// `evaluatePosition` of the position after `move` for the side making it, with the child's
// terms in `childTerms`: the parent's terms corrected on the squares the move changes. A plain
// move of a regular position is judged on its two squares, with `checks` telling whether it
// gives check; every other move is applied to a copy. The replies are generated only when the
// side to move then stands in check.
template <Kings K>
std::int32_t evaluateChild(const Position& p, const Terms& terms, const CheckTest* checks,
                           PackedMove move, Terms& childTerms, const GamePath* path) {
  constexpr bool Checked = K != Kings::Trusted;
  const auto mover = static_cast<std::size_t>(p.turn);
  childTerms = terms;
  if (Checked || checks == nullptr || !isPlainMove(p, move)) {
    Position child = p;
    applyMove(child, move);
    if constexpr (Checked) {
      if (!child.hasOneKing(child.turn)) GamePath(*path, unpackMove(move)).reportKings(child.turn);
    }
    std::uint64_t changed = (p.byColour[0] ^ child.byColour[0]) |
                            (p.byColour[1] ^ child.byColour[1]) | squareBit(packedTo(move));
    for (; changed != 0; changed &= changed - 1) {
      const auto sq = static_cast<SquareCode>(std::countr_zero(changed));
      if (const std::uint8_t cell = p.cells[sq]; cell != 0) {
        childTerms.whiteView -= placementTable.score[cell - 1U][sq];
      }
      if (const std::uint8_t cell = child.cells[sq]; cell != 0) {
        childTerms.whiteView += placementTable.score[cell - 1U][sq];
      }
    }
    for (Colour c : {Colour::White, Colour::Black}) {
      const std::uint64_t pawns = child.pieces(c, PieceType::Pawn);
      if (pawns != p.pieces(c, PieceType::Pawn)) {
        childTerms.doubled[static_cast<std::size_t>(c)] = doubledPenaltyOf(pawns);
      }
    }
    const std::int32_t value = valueFor(childTerms, p.turn);
    return inCheck(child) ? value + checkTerm(child) : value;
  }
  const SquareCode from = packedFrom(move);
  const SquareCode to = packedTo(move);
  const std::uint8_t cell = p.cells[from];
  const std::uint8_t captured = p.cells[to];
  const PieceType type = typeOfCell[cell];
  childTerms.whiteView +=
      placementTable.score[cell - 1U][to] - placementTable.score[cell - 1U][from];
  if (captured != 0) {
    childTerms.whiteView -= placementTable.score[captured - 1U][to];
    if (typeOfCell[captured] == PieceType::Pawn) {
      const std::uint64_t pawns = p.pieces(toggle(p.turn), PieceType::Pawn);
      childTerms.doubled[1 - mover] = doubledPenaltyOf(pawns & ~squareBit(to));
    }
  }
  if (type == PieceType::Pawn && from % 8 != to % 8) {
    const std::uint64_t pawns = p.pieces(p.turn, PieceType::Pawn);
    childTerms.doubled[mover] = doubledPenaltyOf((pawns & ~squareBit(from)) | squareBit(to));
  }
  const std::int32_t value = valueFor(childTerms, p.turn);
  if (!checks->gives(from, to, type)) return value;
  Position child = p;
  applyMove(child, move);
  return value + checkTerm(child);
}

// A move keyed for ordering, with the place of its child's terms.
struct KeyedMove {
  std::int32_t key;
  PackedMove move;
  std::uint16_t index;
};
using KeyedMoves = std::array<KeyedMove, maxMoves>;
using ChildTerms = std::array<Terms, maxMoves>;

// The moves of `p` ordered by their static score, highest first, equal scores the greater move
// first; `childTerms` receives the terms of each move's child at the move's original place.
template <Kings K>
void orderMoves(const Position& p, const Terms& terms, const CheckTest* checks,
                const PackedMoveList& moves, KeyedMoves& keyed, ChildTerms& childTerms,
                SearchStats* stats, const GamePath* path) {
  for (std::size_t i = 0; i < moves.size(); ++i) {
    if (stats != nullptr) {
      ++stats->makeMoveCalls;
      ++stats->evaluateCalls;
    }
    keyed[i] = {evaluateChild<K>(p, terms, checks, moves[i], childTerms[i], path), moves[i],
                static_cast<std::uint16_t>(i)};
  }
  std::sort(keyed.begin(), keyed.begin() + static_cast<std::ptrdiff_t>(moves.size()),
            [](const KeyedMove& a, const KeyedMove& b) {
              return a.key != b.key ? a.key > b.key : a.move > b.move;
            });
}

template <Kings K>
Best nodeValue(Bound bound, std::int32_t depth, const Position& p, const Terms& terms,
               SearchStats* stats, const GamePath* path);

// The score of a child position, searched `depth` − 1 plies deep, for the side that moved into
// it, given the best score so far of its parent; `childPath` leads to it below an irregular
// position.
template <Kings K>
std::int32_t scoreChild(std::int32_t depth, const Position& child, const Terms& childTerms,
                        Best best, SearchStats* stats, const GamePath* childPath) {
  constexpr bool Checked = K != Kings::Trusted;
  const Bound childBound = best.found ? Bound{true, negated(best.score)} : unlimited;
  Best reply{};
  if constexpr (K == Kings::AlwaysChecked) {
    reply = nodeValue<K>(childBound, depth - 1, child, childTerms, stats, childPath);
  } else if (Checked && irregularity(child)) {
    reply = nodeValue<Kings::Checked>(childBound, depth - 1, child, childTerms, stats, childPath);
  } else {
    reply = nodeValue<Kings::Trusted>(childBound, depth - 1, child, childTerms, stats, nullptr);
  }
  if (reply.found) return negated(reply.score);
  if (Checked && !child.hasOneKing(child.turn)) childPath->reportKings(child.turn);
  return inCheck(child) ? depth * mateStep : 0;  // mate or stalemate
}

// The score of `move` in a node of `depth` plies whose best score so far is `best`, given the
// terms of the node (at depth 1) or of the move's child (deeper) and the node's check test.
template <Kings K>
std::int32_t scoreMove(std::int32_t depth, const Position& p, PackedMove move, Best best,
                       const Terms& terms, const CheckTest* checks, SearchStats* stats,
                       const GamePath* path) {
  constexpr bool Checked = K != Kings::Trusted;
  if (stats != nullptr) ++stats->makeMoveCalls;
  if (depth == 1) {
    if (stats != nullptr) ++stats->evaluateCalls;
    Terms childTerms;
    return evaluateChild<K>(p, terms, checks, move, childTerms, path);
  }
  Position child = p;
  applyMove(child, move);
  if constexpr (Checked) {
    const GamePath childPath(*path, unpackMove(move));
    return scoreChild<K>(depth, child, terms, best, stats, &childPath);
  }
  return scoreChild<K>(depth, child, terms, best, stats, nullptr);
}

// The moves of a node in the order it searches them: its legal moves in generation order in
// `moves`, and from two plies up their order by static score in `keyed`, with each move's child
// terms in `childTerms` at the move's `index`.
template <Kings K>
void candidates(std::int32_t depth, const Position& p, const Terms& terms, const CheckTest* checks,
                SearchStats* stats, const GamePath* path, PackedMoveList& moves, KeyedMoves& keyed,
                ChildTerms& childTerms) {
  constexpr bool Checked = K != Kings::Trusted;
  if (stats != nullptr) ++stats->legalMovesCalls;
  if (Checked && !moverHasOneKing(p, *path)) {
    moves.clear();
    return;
  }
  generateLegalMoves(p, moves);
  if (depth >= 2) orderMoves<K>(p, terms, checks, moves, keyed, childTerms, stats, path);
}

template <Kings K>
Best nodeValue(Bound bound, std::int32_t depth, const Position& p, const Terms& terms,
               SearchStats* stats, const GamePath* path, const CheckTest* test);

// The score of the first entry of the node's scored list, or nothing when it has no move. Only
// that score travels up the tree, so inner nodes keep no list: the best score so far is the
// first entry's score (a later equal score stays behind it), and a cut-off returns the
// cutting score.
template <Kings K>
Best nodeValue(Bound bound, std::int32_t depth, const Position& p, const Terms& terms,
               SearchStats* stats, const GamePath* path) {
  if constexpr (K == Kings::Trusted) {
    const CheckTest checks(p);
    return nodeValue<K>(bound, depth, p, terms, stats, path, &checks);
  } else {
    return nodeValue<K>(bound, depth, p, terms, stats, path, nullptr);
  }
}

// `nodeValue` with the node's check test (none below an irregular position).
template <Kings K>
Best nodeValue(Bound bound, std::int32_t depth, const Position& p, const Terms& terms,
               SearchStats* stats, const GamePath* path, const CheckTest* test) {
  PackedMoveList moves;
  KeyedMoves keyed;
  ChildTerms childTerms;
  candidates<K>(depth, p, terms, test, stats, path, moves, keyed, childTerms);
  Best best{false, 0};
  for (std::size_t i = 0; i < moves.size(); ++i) {
    const std::int32_t score = depth == 1
                                   ? scoreMove<K>(1, p, moves[i], best, terms, test, stats, path)
                                   : scoreMove<K>(depth, p, keyed[i].move, best,
                                                  childTerms[keyed[i].index], test, stats, path);
    if (bound.limited && score >= bound.below) return Best{true, score};
    if (!best.found || score > best.score) best = Best{true, score};
  }
  return best;
}

// The root of a search: its scored list, assembled from the scores of its moves, given ones
// (applied to the state itself, since they may be anything) or its own.
template <Kings K>
ScoredMoveList searchRoot(Score bound, std::int32_t depth, const State& state, const Position& root,
                          const std::optional<std::vector<Move>>& moves, SearchStats* stats) {
  constexpr bool Checked = K != Kings::Trusted;
  const GamePath rootPath(state);
  const Terms terms = termsOf(root);
  std::optional<CheckTest> checks;
  if constexpr (!Checked) checks.emplace(root);
  const CheckTest* test = checks ? &*checks : nullptr;
  PackedMoveList own;
  KeyedMoves keyed;
  ChildTerms childTerms;
  if (!moves) candidates<K>(depth, root, terms, test, stats, &rootPath, own, keyed, childTerms);
  const std::size_t count = moves ? moves->size() : own.size();
  auto ownMove = [&](std::size_t i) { return depth == 1 ? own[i] : keyed[i].move; };
  auto moveAt = [&](std::size_t i) { return moves ? (*moves)[i] : unpackMove(ownMove(i)); };
  auto scoreAt = [&](std::size_t i, Best best) {
    if (!moves) {
      const Terms& moveTerms = depth == 1 ? terms : childTerms[keyed[i].index];
      return scoreMove<K>(depth, root, ownMove(i), best, moveTerms, test, stats, &rootPath);
    }
    if (stats != nullptr) ++stats->makeMoveCalls;
    const State next = makeMove(state, (*moves)[i]);
    if (depth == 1) {
      if (stats != nullptr) ++stats->evaluateCalls;
      return evaluatePosition(state.turn, next);
    }
    const Position child = positionOf(next);
    const GamePath childPath(next);
    constexpr Kings childKings = K == Kings::AlwaysChecked ? K : Kings::Checked;
    return scoreChild<childKings>(depth, child, termsOf(child), best, stats, &childPath);
  };
  ScoredMoveList acc;
  for (std::size_t i = 0; i < count; ++i) {
    const Best best = acc.empty() ? Best{false, 0} : Best{true, acc[0].score.value};
    const Score score = Number(scoreAt(i, best));
    if (score < bound) {
      insertScoredMove(moveAt(i), score, acc);
      continue;
    }
    // Cut-off: the cutting move first, then what was scored, then the unsearched rest.
    ScoredMoveList cut;
    cut.push({moveAt(i), score});
    for (const ScoredMove& entry : acc) cut.push(entry);
    for (std::size_t j = i + 1; j < count; ++j) cut.push({moveAt(j), NeverCalculated});
    return cut;
  }
  return acc;
}

// The moves of the first `count` entries (all of them if there are fewer), in list order.
std::vector<Move> firstMoves(const ScoredMoveList& list, std::size_t count) {
  std::vector<Move> out;
  out.reserve(std::min(count, list.size()));
  for (std::size_t i = 0; i < list.size() && i < count; ++i) out.push_back(list[i].move);
  return out;
}

// `searchPosition`, with the king checks made at every node when `everywhere`.
ScoredMoveList search(Score bound, std::int32_t depth, const State& state,
                      const std::optional<std::vector<Move>>& moves, SearchStats* stats,
                      bool everywhere) {
  const Position root = positionOf(state);
  if (everywhere) return searchRoot<Kings::AlwaysChecked>(bound, depth, state, root, moves, stats);
  if (irregularity(root))
    return searchRoot<Kings::Checked>(bound, depth, state, root, moves, stats);
  return searchRoot<Kings::Trusted>(bound, depth, state, root, moves, stats);
}

// The iterations up to `depth` (at most `maxSearchDepth`), each reported to `observe` when one
// is given; the first searches `rootMoves` when given, else every legal move.
ScoredMoveList deepen(const State& state, std::int32_t depth, SearchStats* stats,
                      const IterationObserver* observe, bool checkKingsEverywhere = false,
                      const std::optional<std::vector<Move>>& rootMoves = std::nullopt) {
  // The root's history goes into shared storage once, so that applying the root's moves to it
  // never allocates.
  State root = state;
  root.reversedHistory = state.reversedHistory.settled();
  // Each iteration searches the moves of the previous result in its order: all of them at
  // depth 2, the best nine at depth 3 and the best six from depth 4 on.
  ScoredMoveList result = search(PositiveInfinity, 1, root, rootMoves, stats, checkKingsEverywhere);
  if (observe != nullptr) (*observe)(1, result);
  for (std::int32_t d = 2; d <= std::min(depth, maxSearchDepth); ++d) {
    const std::size_t keep = d == 2 ? result.size() : d == 3 ? 9 : 6;
    result =
        search(PositiveInfinity, d, root, firstMoves(result, keep), stats, checkKingsEverywhere);
    if (observe != nullptr) (*observe)(d, result);
  }
  return result;
}

}  // namespace

ScoredMoveList searchPosition(Score bound, std::int32_t depth, const State& state,
                              const std::optional<std::vector<Move>>& moves, SearchStats* stats) {
  return search(bound, depth, state, moves, stats, false);
}

ScoredMoveList deepeningResultCheckingKings(const State& state) {
  return deepen(state, searchDepth, nullptr, nullptr, true);
}

ScoredMoveList deepeningResult(const State& state, std::int32_t depth, SearchStats* stats) {
  return deepen(state, depth, stats, nullptr);
}

ScoredMoveList deepeningResult(const State& state, std::int32_t depth, SearchStats* stats,
                               const IterationObserver& observe,
                               const std::optional<std::vector<Move>>& rootMoves) {
  return deepen(state, depth, stats, &observe, false, rootMoves);
}

ScoredMoveList deepeningResult(const State& state, SearchStats* stats) {
  return deepeningResult(state, searchDepth, stats);
}

namespace {

// A number that tells positions apart: the cells, the side to move, the rights and the last move.
std::uint64_t positionKey(const Position& p) noexcept {
  std::uint64_t key = mixBits(static_cast<std::uint64_t>(p.turn) << 32U |
                              p.castleStatus.rights << 16U | p.lastMove);
  for (SquareCode sq = 0; sq < 64; ++sq)
    key = mixBits(key ^ (std::uint64_t{p.cells[sq]} << (sq % 8)));
  return key;
}

}  // namespace

Move chooseMove(const ScoredMoveList& result, const State& state, std::int32_t level,
                std::optional<std::uint64_t> varietySeed) {
  const ScoredMove& best = result[0];
  if (!varietySeed || best.score.kind != Score::Kind::Number ||
      std::abs(best.score.value) >= mateStep / 2) {
    return best.move;
  }
  std::size_t count = 1;
  while (count < result.size() && result[count].score.kind == Score::Kind::Number &&
         result[count].score.value >= best.score.value - varietyMargin(level)) {
    ++count;
  }
  const std::uint64_t draw = mixBits(*varietySeed ^ positionKey(positionOf(state)));
  return result[static_cast<std::size_t>(draw % count)].move;
}

std::optional<Move> cpuMove(const State& state) {
  const ScoredMoveList result = deepeningResult(state);
  if (result.empty()) return std::nullopt;
  return result[0].move;
}

}  // namespace quenlor
