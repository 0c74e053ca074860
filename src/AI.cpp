#include "AI.h"

#include <algorithm>
#include <bit>

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

}  // namespace

std::int32_t doubledPawnPenalty(Colour colour, const Board& board) noexcept {
  std::array<std::uint8_t, 8> perFile{};
  for (SquareCode sq : board.index.codesOf(pieceCode({colour, PieceType::Pawn}))) ++perFile[sq % 8];
  std::int32_t penalty = 0;
  for (std::uint8_t n : perFile) {
    if (n == 2) penalty += 20;
    if (n >= 3) penalty += 80;
  }
  return -penalty;
}

std::int32_t checkAdjustment(const State& state) {
  if (!inCheck(state, state.turn)) return 0;
  return hasLegalMove(state) ? 50 : 100000000;
}

namespace {

// Value plus placement of every piece on the board, from White's side.
std::int32_t placementFromWhite(const Board& board) {
  std::int32_t whiteView = 0;
  for (std::uint64_t bits = board.squares.occupied(); bits != 0; bits &= bits - 1) {
    const auto sq = static_cast<SquareCode>(std::countr_zero(bits));
    whiteView += placementTable.score[board.squares.cells[sq] - 1U][sq];
  }
  return whiteView;
}

// Material, placement and doubled pawns for `colour`, given the placement sum from White's side.
std::int32_t boardTerms(Colour colour, const Board& board, std::int32_t whiteView) {
  const std::int32_t material = colour == Colour::White ? whiteView : -whiteView;
  return material + doubledPawnPenalty(colour, board) - doubledPawnPenalty(toggle(colour), board);
}

// `evaluatePosition` of the position after `move`, for the side making it, given the placement
// sum of the position before it. A move changes only the squares it empties, fills or
// recolours (its own two, and a rook's or a passed pawn's), so the new sum is the old one
// corrected on those squares. The new state is built only when the side to move then stands in
// check and its replies must be looked at.
std::int32_t evaluateMove(const State& state, Move move, std::int32_t parentWhiteView) {
  const Board& before = state.getBoard;
  Board board = before;
  applyMoveToBoard(board, state.turn, move, state.reversedHistory);
  std::uint64_t changed = (before.squares.byColour[0] ^ board.squares.byColour[0]) |
                          (before.squares.byColour[1] ^ board.squares.byColour[1]);
  if (inBoard(move.to)) changed |= std::uint64_t{1} << squareCode(move.to);
  std::int32_t whiteView = parentWhiteView;
  for (; changed != 0; changed &= changed - 1) {
    const auto sq = static_cast<SquareCode>(std::countr_zero(changed));
    if (const std::uint8_t cell = before.squares.cells[sq]; cell != 0) {
      whiteView -= placementTable.score[cell - 1U][sq];
    }
    if (const std::uint8_t cell = board.squares.cells[sq]; cell != 0) {
      whiteView += placementTable.score[cell - 1U][sq];
    }
  }
  const std::int32_t terms = boardTerms(state.turn, board, whiteView);
  if (!kingAttacked(board, toggle(state.turn))) return terms;
  return terms + (hasLegalMove(makeMove(state, move)) ? 50 : 100000000);
}

}  // namespace

std::int32_t evaluatePosition(Colour colour, const State& state) {
  return boardTerms(colour, state.getBoard, placementFromWhite(state.getBoard)) +
         checkAdjustment(state);
}

//=== Scored lists and ordering ===//

void ScoredMoveList::insertAt(std::size_t position, ScoredMove entry) {
  if (size_ == MoveList::capacity) fatalError("scored move list overflow");
  std::copy_backward(entries_.data() + position, entries_.data() + size_,
                     entries_.data() + size_ + 1);
  entries_[position] = entry;
  ++size_;
}

std::vector<Move> ScoredMoveList::firstMoves(std::size_t count) const {
  std::vector<Move> out;
  out.reserve(std::min(count, size_));
  for (std::size_t i = 0; i < size_ && i < count; ++i) out.push_back(entries_[i].move);
  return out;
}

void insertScoredMove(Move move, Score score, ScoredMoveList& list) {
  std::size_t position = 0;
  while (position < list.size() && compare(score, list[position].score) != Ordering::Greater) {
    ++position;
  }
  list.insertAt(position, {move, score});
}

namespace {

struct KeyedMove {
  std::int32_t key;
  Move move;
};

void sortByEvaluation(const State& state, const MoveList& moves, MoveList& out,
                      SearchStats* stats) {
  // Ordering happens at every interior node, so the keys live on the stack, not the heap.
  std::array<KeyedMove, MoveList::capacity> keyed;
  const std::int32_t whiteView = placementFromWhite(state.getBoard);
  for (std::size_t i = 0; i < moves.size(); ++i) {
    if (stats != nullptr) {
      ++stats->makeMoveCalls;
      ++stats->evaluateCalls;
    }
    keyed[i] = {evaluateMove(state, moves[i], whiteView), moves[i]};
  }
  std::sort(keyed.begin(), keyed.begin() + static_cast<std::ptrdiff_t>(moves.size()),
            [](const KeyedMove& a, const KeyedMove& b) {
              return a.key != b.key ? a.key > b.key : a.move > b.move;
            });
  out.clear();
  for (std::size_t i = 0; i < moves.size(); ++i) out.push(keyed[i].move);
}

// The bound of a node: `PositiveInfinity` (limits nothing) or a number to stay below. Every score
// the search computes is a Number, so the bound is all of the `Score` order it needs.
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

Best nodeValue(Bound bound, std::int32_t depth, const State& state, SearchStats* stats);

// The score of `move` in a node of `depth` plies whose best score so far is `best`; at depth 1
// `whiteView` is the placement sum of the node's position.
std::int32_t scoreMove(std::int32_t depth, const State& state, Move move, Best best,
                       std::int32_t whiteView, SearchStats* stats) {
  if (stats != nullptr) ++stats->makeMoveCalls;
  if (depth == 1) {
    if (stats != nullptr) ++stats->evaluateCalls;
    return evaluateMove(state, move, whiteView);
  }
  const State child = makeMove(state, move);
  const Bound childBound = best.found ? Bound{true, negated(best.score)} : unlimited;
  const Best reply = nodeValue(childBound, depth - 1, child, stats);
  if (!reply.found) return inCheck(child, child.turn) ? depth * 10000000 : 0;  // mate or stalemate
  return negated(reply.score);
}

// The candidate moves of a node that generates its own.
void candidateMoves(std::int32_t depth, const State& state, MoveList& out, SearchStats* stats) {
  if (stats != nullptr) ++stats->legalMovesCalls;
  if (depth < 2) {
    generateLegalMoves(state, out);
    return;
  }
  MoveList generated;
  generateLegalMoves(state, generated);
  sortByEvaluation(state, generated, out, stats);
}

// The score of the first entry of the node's scored list, or nothing when it has no move. Only
// that score travels up the tree, so inner nodes keep no list: the best score so far is the
// first entry's score (a later equal score stays behind it), and a cut-off returns the
// cutting score.
Best nodeValue(Bound bound, std::int32_t depth, const State& state, SearchStats* stats) {
  MoveList moves;
  candidateMoves(depth, state, moves, stats);
  Best best{false, 0};
  const std::int32_t whiteView = depth == 1 ? placementFromWhite(state.getBoard) : 0;
  for (const Move& move : moves) {
    const std::int32_t score = scoreMove(depth, state, move, best, whiteView, stats);
    if (bound.limited && score >= bound.below) return Best{true, score};
    if (!best.found || score > best.score) best = Best{true, score};
  }
  return best;
}

//=== The search on the working form ===//

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

Terms termsOf(const Position& p) noexcept {
  Terms t{0, {}};
  for (std::uint64_t bits = p.occupied(); bits != 0; bits &= bits - 1) {
    const auto sq = static_cast<SquareCode>(std::countr_zero(bits));
    t.whiteView += placementTable.score[p.cells[sq] - 1U][sq];
  }
  for (Colour c : {Colour::White, Colour::Black}) {
    t.doubled[static_cast<std::size_t>(c)] = doubledPenaltyOf(p.pieces(c, PieceType::Pawn));
  }
  return t;
}

// `evaluatePosition` of the position after `move` for the side making it, with the child's terms
// in `childTerms`: the parent's terms corrected on the squares the move changed. The move is
// applied to a copy; the replies are generated only when the side to move then stands in check.
std::int32_t evaluateByApplying(const Position& p, const Terms& terms, PackedMove move,
                                Terms& childTerms) {
  Position child = p;
  if (!applyMove(child, move)) fatalError("a searched move could not be applied");
  std::uint64_t changed = (p.byColour[0] ^ child.byColour[0]) |
                          (p.byColour[1] ^ child.byColour[1]) | std::uint64_t{1} << packedTo(move);
  childTerms = terms;
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
  const bool white = p.turn == Colour::White;
  const std::int32_t value = (white ? childTerms.whiteView : -childTerms.whiteView) +
                             childTerms.doubled[white ? 0 : 1] - childTerms.doubled[white ? 1 : 0];
  if (!inCheck(child)) return value;
  return value + (hasLegalMove(child) ? 50 : 100000000);
}

// The same for a generated move, without applying a plain one: its placement change is read off
// its two squares, the doubled pawns are recounted only when a pawn changes file or is taken,
// and `checks` tells whether it gives check (only then is the child built, for its replies).
// Without `checks` (moves not generated here) every move is applied.
std::int32_t evaluateChild(const Position& p, const Terms& terms, const CheckTest* checks,
                           PackedMove move, Terms& childTerms) {
  if (checks == nullptr || !isPlainMove(p, move)) {
    return evaluateByApplying(p, terms, move, childTerms);
  }
  const SquareCode from = packedFrom(move);
  const SquareCode to = packedTo(move);
  const std::uint8_t cell = p.cells[from];
  const std::uint8_t captured = p.cells[to];
  const auto mover = static_cast<std::size_t>(p.turn);
  const PieceType type = typeOfCell[cell];
  childTerms = terms;
  childTerms.whiteView +=
      placementTable.score[cell - 1U][to] - placementTable.score[cell - 1U][from];
  if (captured != 0) {
    childTerms.whiteView -= placementTable.score[captured - 1U][to];
    if (typeOfCell[captured] == PieceType::Pawn) {
      const std::uint64_t pawns = p.pieces(toggle(p.turn), PieceType::Pawn);
      childTerms.doubled[1 - mover] = doubledPenaltyOf(pawns & ~(std::uint64_t{1} << to));
    }
  }
  if (type == PieceType::Pawn && from % 8 != to % 8) {
    const std::uint64_t pawns = p.pieces(p.turn, PieceType::Pawn);
    childTerms.doubled[mover] =
        doubledPenaltyOf((pawns & ~(std::uint64_t{1} << from)) | std::uint64_t{1} << to);
  }
  const std::int32_t value = (mover == 0 ? childTerms.whiteView : -childTerms.whiteView) +
                             childTerms.doubled[mover] - childTerms.doubled[1 - mover];
  if (!checks->gives(from, to, type)) return value;
  Position child = p;
  if (!applyMove(child, move)) fatalError("a searched move could not be applied");
  return value + (hasLegalMove(child) ? 50 : 100000000);
}

// A move keyed for ordering, with the place of its child's terms.
struct KeyedPackedMove {
  std::int32_t key;
  PackedMove move;
  std::uint16_t index;
};

// The moves of `p` ordered by their static score, highest first, equal scores the greater move
// first; `childTerms` receives the terms of each move's child at the move's original place.
void orderMoves(const Position& p, const Terms& terms, const CheckTest& checks,
                const PackedMoveList& moves, std::array<KeyedPackedMove, MoveList::capacity>& keyed,
                std::array<Terms, MoveList::capacity>& childTerms, SearchStats* stats) {
  for (std::size_t i = 0; i < moves.size(); ++i) {
    if (stats != nullptr) {
      ++stats->makeMoveCalls;
      ++stats->evaluateCalls;
    }
    keyed[i] = {evaluateChild(p, terms, &checks, moves[i], childTerms[i]), moves[i],
                static_cast<std::uint16_t>(i)};
  }
  std::sort(keyed.begin(), keyed.begin() + static_cast<std::ptrdiff_t>(moves.size()),
            [](const KeyedPackedMove& a, const KeyedPackedMove& b) {
              return a.key != b.key ? a.key > b.key : a.move > b.move;
            });
}

Best fastNodeValue(Bound bound, std::int32_t depth, const Position& p, const Terms& terms,
                   SearchStats* stats);

// The score of `move` in a node of `depth` plies whose best score so far is `best`, given the
// terms of the node (at depth 1) or of the move's child (deeper); `checks` is the node's check
// test for generated moves, or nothing.
std::int32_t fastScoreMove(std::int32_t depth, const Position& p, PackedMove move, Best best,
                           const Terms& terms, const CheckTest* checks, SearchStats* stats) {
  if (stats != nullptr) ++stats->makeMoveCalls;
  if (depth == 1) {
    if (stats != nullptr) ++stats->evaluateCalls;
    Terms childTerms;
    return evaluateChild(p, terms, checks, move, childTerms);
  }
  Position child = p;
  if (!applyMove(child, move)) fatalError("a searched move could not be applied");
  const Bound childBound = best.found ? Bound{true, negated(best.score)} : unlimited;
  const Best reply = fastNodeValue(childBound, depth - 1, child, terms, stats);
  if (!reply.found) return inCheck(child) ? depth * 10000000 : 0;  // mate or stalemate
  return negated(reply.score);
}

// `nodeValue` on the working form.
Best fastNodeValue(Bound bound, std::int32_t depth, const Position& p, const Terms& terms,
                   SearchStats* stats) {
  if (stats != nullptr) ++stats->legalMovesCalls;
  PackedMoveList moves;
  generateLegalMoves(p, moves);
  Best best{false, 0};
  auto take = [&](std::int32_t score) {
    if (bound.limited && score >= bound.below) {
      best = Best{true, score};
      return false;
    }
    if (!best.found || score > best.score) best = Best{true, score};
    return true;
  };
  const CheckTest checks(p);
  if (depth < 2) {
    for (const PackedMove move : moves) {
      if (!take(fastScoreMove(depth, p, move, best, terms, &checks, stats))) break;
    }
    return best;
  }
  std::array<KeyedPackedMove, MoveList::capacity> keyed;
  std::array<Terms, MoveList::capacity> childTerms;
  orderMoves(p, terms, checks, moves, keyed, childTerms, stats);
  for (std::size_t i = 0; i < moves.size(); ++i) {
    const std::int32_t score =
        fastScoreMove(depth, p, keyed[i].move, best, childTerms[keyed[i].index], nullptr, stats);
    if (!take(score)) break;
  }
  return best;
}

// `searchPosition` on the working form, or nothing when the state cannot be searched there
// (see `searchablePosition`; given moves must also be on the board, applicable, and leave
// both kings standing and the mover's out of check).
std::optional<ScoredMoveList> fastSearchPosition(Score bound, std::int32_t depth,
                                                 const State& state,
                                                 const std::optional<std::vector<Move>>& moves,
                                                 SearchStats* stats) {
  const std::optional<Position> root = searchablePosition(state);
  if (!root) return std::nullopt;
  const Terms terms = termsOf(*root);
  const CheckTest rootChecks(*root);
  PackedMoveList candidates;
  std::array<Terms, MoveList::capacity> childTerms;
  if (moves) {
    for (const Move& m : *moves) {
      const std::optional<PackedMove> packed = packMove(m);
      if (!packed) return std::nullopt;
      Position child = *root;
      if (!applyMove(child, *packed) || !child.hasOneKing(Colour::White) ||
          !child.hasOneKing(Colour::Black) || moverLeftInCheck(child)) {
        return std::nullopt;
      }
      childTerms[candidates.size()] = termsOf(child);
      candidates.push(*packed);
    }
  } else {
    if (stats != nullptr) ++stats->legalMovesCalls;
    PackedMoveList generated;
    generateLegalMoves(*root, generated);
    if (depth < 2) {
      candidates = generated;
    } else {
      std::array<KeyedPackedMove, MoveList::capacity> keyed;
      std::array<Terms, MoveList::capacity> unordered;
      orderMoves(*root, terms, rootChecks, generated, keyed, unordered, stats);
      for (std::size_t i = 0; i < generated.size(); ++i) {
        childTerms[i] = unordered[keyed[i].index];
        candidates.push(keyed[i].move);
      }
    }
  }
  ScoredMoveList acc;
  for (std::size_t i = 0; i < candidates.size(); ++i) {
    const Best best = acc.empty() ? Best{false, 0} : Best{true, acc[0].score.value};
    const Score score =
        Number(fastScoreMove(depth, *root, candidates[i], best, depth == 1 ? terms : childTerms[i],
                             moves ? nullptr : &rootChecks, stats));
    if (score < bound) {
      insertScoredMove(unpackMove(candidates[i]), score, acc);
      continue;
    }
    // Cut-off: the cutting move first, then what was scored, then the unsearched rest.
    ScoredMoveList cut;
    cut.push({unpackMove(candidates[i]), score});
    for (const ScoredMove& entry : acc) cut.push(entry);
    for (std::size_t j = i + 1; j < candidates.size(); ++j)
      cut.push({unpackMove(candidates[j]), NeverCalculated});
    return cut;
  }
  return acc;
}

}  // namespace

MoveList orderByEvaluation(const State& state, const MoveList& moves) {
  MoveList out;
  sortByEvaluation(state, moves, out, nullptr);
  return out;
}

ScoredMoveList searchPosition(Score bound, std::int32_t depth, const State& state,
                              const std::optional<std::vector<Move>>& moves, SearchStats* stats) {
  if (std::optional<ScoredMoveList> fast = fastSearchPosition(bound, depth, state, moves, stats)) {
    return *fast;
  }
  // States the working form cannot stand for (a missing or extra king, a king that can be
  // taken, a disordered index) are searched on the state itself.
  MoveList candidates;
  if (moves) {
    for (const Move& m : *moves) candidates.push(m);
  } else {
    candidateMoves(depth, state, candidates, stats);
  }
  ScoredMoveList acc;
  const std::int32_t whiteView = depth == 1 ? placementFromWhite(state.getBoard) : 0;
  for (std::size_t i = 0; i < candidates.size(); ++i) {
    const Best best = acc.empty() ? Best{false, 0} : Best{true, acc[0].score.value};
    const Score score = Number(scoreMove(depth, state, candidates[i], best, whiteView, stats));
    if (score < bound) {
      insertScoredMove(candidates[i], score, acc);
      continue;
    }
    // Cut-off: the cutting move first, then what was scored, then the unsearched rest.
    ScoredMoveList cut;
    cut.push({candidates[i], score});
    for (const ScoredMove& entry : acc) cut.push(entry);
    for (std::size_t j = i + 1; j < candidates.size(); ++j)
      cut.push({candidates[j], NeverCalculated});
    return cut;
  }
  return acc;
}

namespace {

// The iterations up to `depth`, each reported to `observe` when one is given.
ScoredMoveList deepen(const State& state, std::int32_t depth, SearchStats* stats,
                      const IterationObserver* observe) {
  // The root's history goes into shared storage once, so that the search's own moves fit
  // inline and no searched node allocates.
  State root = state;
  root.reversedHistory = state.reversedHistory.settled();
  // Each iteration searches the moves of the previous result in its order: all of them at
  // depth 2, the best nine at depth 3 and the best six at depth 4.
  ScoredMoveList result = searchPosition(PositiveInfinity, 1, root, std::nullopt, stats);
  if (observe != nullptr) (*observe)(1, result);
  for (std::int32_t d = 2; d <= std::min(depth, searchDepth); ++d) {
    const std::size_t keep = d == 2 ? result.size() : d == 3 ? 9 : 6;
    result = searchPosition(PositiveInfinity, d, root, result.firstMoves(keep), stats);
    if (observe != nullptr) (*observe)(d, result);
  }
  return result;
}

}  // namespace

ScoredMoveList deepeningResult(const State& state, std::int32_t depth, SearchStats* stats) {
  return deepen(state, depth, stats, nullptr);
}

ScoredMoveList deepeningResult(const State& state, std::int32_t depth, SearchStats* stats,
                               const IterationObserver& observe) {
  return deepen(state, depth, stats, &observe);
}

ScoredMoveList deepeningResult(const State& state, SearchStats* stats) {
  return deepeningResult(state, searchDepth, stats);
}

std::optional<Move> cpuMove(const State& state) {
  const ScoredMoveList result = deepeningResult(state);
  if (result.empty()) return std::nullopt;
  return result[0].move;
}

}  // namespace quenlor
