#include "Search.h"

#include <algorithm>
#include <bit>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

#include "Basics.h"
#include "Evaluation.h"
#include "Rules.h"

namespace quenlor {

//=== Keys ===//

namespace {

struct KeyTables {
  std::array<std::array<std::uint64_t, 64>, 13> cell{};  // cell 0 (empty) keys nothing
  std::array<std::uint64_t, 16> rights{};
  std::array<std::uint64_t, 9> enPassantFile{};  // index 8: no capture possible
  std::uint64_t blackToMove = 0;
};

constexpr KeyTables makeKeyTables() {
  KeyTables t{};
  std::uint64_t seed = 0x51E7A1C0FFEEULL;
  for (std::size_t c = 1; c < 13; ++c) {
    for (std::size_t sq = 0; sq < 64; ++sq) t.cell[c][sq] = seed = mixBits(seed);
  }
  for (std::size_t r = 1; r < 16; ++r) t.rights[r] = seed = mixBits(seed);
  for (std::size_t f = 0; f < 8; ++f) t.enPassantFile[f] = seed = mixBits(seed);
  t.blackToMove = mixBits(seed);
  return t;
}

constexpr KeyTables keys = makeKeyTables();

// The file of the en-passant capture the side to move can make (8 when there is none): after a
// double step, with a pawn of its own beside the pawn that made it.
std::size_t enPassantFile(const Position& p) noexcept {
  const PackedMove last = p.lastMove;
  if (last == noMove || isPackedPromotion(last)) return 8;
  const SquareCode from = packedFrom(last);
  const SquareCode to = packedTo(last);
  if (p.cells[to] != cellOf({toggle(p.turn), PieceType::Pawn}) || (from ^ to) != 16U) return 8;
  std::uint64_t beside = 0;
  if (to % 8 > 0) beside |= squareBit(static_cast<SquareCode>(to - 1));
  if (to % 8 < 7) beside |= squareBit(static_cast<SquareCode>(to + 1));
  return (p.pieces(p.turn, PieceType::Pawn) & beside) != 0 ? to % 8U : 8;
}

std::uint64_t stateKey(const Position& p) noexcept {
  return keys.rights[p.castleStatus.rights & 15U] ^ keys.enPassantFile[enPassantFile(p)] ^
         (p.turn == Colour::Black ? keys.blackToMove : 0);
}

}  // namespace

std::uint64_t zobristKey(const Position& p) noexcept {
  std::uint64_t key = stateKey(p);
  for (std::uint64_t bits = p.occupied(); bits != 0; bits &= bits - 1) {
    const auto sq = static_cast<std::size_t>(std::countr_zero(bits));
    key ^= keys.cell[p.cells[sq]][sq];
  }
  return key;
}

std::uint64_t keyAfter(const Position& before, std::uint64_t key, const Position& after) noexcept {
  key ^= stateKey(before) ^ stateKey(after);
  // A move changes the colour standing on every square it changes.
  for (std::uint64_t changed =
           (before.byColour[0] ^ after.byColour[0]) | (before.byColour[1] ^ after.byColour[1]);
       changed != 0; changed &= changed - 1) {
    const auto sq = static_cast<std::size_t>(std::countr_zero(changed));
    key ^= keys.cell[before.cells[sq]][sq] ^ keys.cell[after.cells[sq]][sq];
  }
  return key;
}

//=== Games ===//

namespace {

// Whether a move of the side to move is a capture or a pawn move, after which no earlier
// position can come back.
bool irreversible(const Position& p, PackedMove move) noexcept {
  return isPackedPromotion(move) || p.cells[packedTo(move)] != 0 ||
         p.typeOn(packedFrom(move)) == PieceType::Pawn;
}

}  // namespace

GameRecord::GameRecord(const Position& start, std::int32_t halfmoveClock)
    : position_(start), halfmoveClock_(std::max(halfmoveClock, 0)), keys_{zobristKey(start)} {}

void GameRecord::play(PackedMove move) {
  const Position before = position_;
  const bool reset = irreversible(before, move);
  applyMove(position_, move);
  const std::uint64_t key = keyAfter(before, keys_.back(), position_);
  if (reset) {
    keys_.clear();
    halfmoveClock_ = 0;
  } else if (halfmoveClock_ < std::numeric_limits<std::int32_t>::max()) {
    ++halfmoveClock_;
  }
  keys_.push_back(key);
}

//=== Transposition table ===//

namespace {

constexpr std::int32_t infinity = mateScore + 1;
constexpr std::int32_t noScore = std::numeric_limits<std::int16_t>::min();

struct TableEntry {
  std::uint64_t key = 0;
  PackedMove move = noMove;
  std::int16_t score = 0;
  std::int16_t eval = 0;
  std::uint8_t depth = 0;
  std::uint8_t generationBound = 0;  // generation in bits 2-7, `ScoreBound` + 1 in bits 0-1

  [[nodiscard]] ScoreBound bound() const noexcept {
    return static_cast<ScoreBound>((generationBound & 3U) - 1U);
  }
  [[nodiscard]] bool used() const noexcept { return (generationBound & 3U) != 0; }
  [[nodiscard]] std::uint8_t generation() const noexcept { return generationBound >> 2U; }
};
static_assert(sizeof(TableEntry) == 16);

// Four entries share a cache line; a position may be stored in any of them.
struct alignas(64) Bucket {
  std::array<TableEntry, 4> entries;
};

// Mate scores are stored relative to the node, so that a mate found along one path keeps its
// distance when the position is reached along another.
std::int32_t toTable(std::int32_t score, std::int32_t ply) noexcept {
  if (score > mateBound) return score + ply;
  if (score < -mateBound) return score - ply;
  return score;
}
std::int32_t fromTable(std::int32_t score, std::int32_t ply) noexcept {
  if (score > mateBound) return score - ply;
  if (score < -mateBound) return score + ply;
  return score;
}

class TranspositionTable {
 public:
  void resize(std::size_t megabytes) {
    std::size_t count = 1;
    const std::size_t wanted = std::max<std::size_t>(megabytes, 1) * 1024 * 1024 / sizeof(Bucket);
    while (count * 2 <= wanted) count *= 2;
    buckets_.assign(count, Bucket{});
    mask_ = count - 1;
  }
  void clear() noexcept { std::fill(buckets_.begin(), buckets_.end(), Bucket{}); }
  void nextGeneration() noexcept {
    generation_ = static_cast<std::uint8_t>((generation_ + 1) & 63U);
  }

  [[nodiscard]] const TableEntry* probe(std::uint64_t key) const noexcept {
    for (const TableEntry& e : bucket(key).entries) {
      if (e.used() && e.key == key) return &e;
    }
    return nullptr;
  }

  void store(std::uint64_t key, PackedMove move, std::int32_t score, std::int32_t eval,
             std::int32_t depth, ScoreBound bound) noexcept {
    Bucket& b = buckets_[key & mask_];
    TableEntry* slot = &b.entries[0];
    for (TableEntry& e : b.entries) {
      if (!e.used() || e.key == key) {
        slot = &e;
        break;
      }
      // Replace the shallowest entry, counting older searches' entries as shallower.
      if (worth(e) < worth(*slot)) slot = &e;
    }
    if (slot->key == key && slot->used()) {
      if (move == noMove) move = slot->move;
      if (bound != ScoreBound::Exact && depth + 2 < slot->depth &&
          slot->generation() == generation_) {
        return;
      }
    }
    slot->key = key;
    slot->move = move;
    slot->score = static_cast<std::int16_t>(score);
    slot->eval = static_cast<std::int16_t>(eval);
    slot->depth = static_cast<std::uint8_t>(std::clamp(depth, 0, 255));
    slot->generationBound =
        static_cast<std::uint8_t>(generation_ << 2U | (static_cast<unsigned>(bound) + 1U));
  }

  // Per mille of a sample of entries written by the current search.
  [[nodiscard]] std::int32_t hashFull() const noexcept {
    const std::size_t sample = std::min<std::size_t>(buckets_.size(), 250);
    std::int32_t used = 0;
    for (std::size_t i = 0; i < sample; ++i) {
      for (const TableEntry& e : buckets_[i].entries) {
        used += e.used() && e.generation() == generation_ ? 1 : 0;
      }
    }
    return static_cast<std::int32_t>(used * 1000 / static_cast<std::int32_t>(sample * 4));
  }

 private:
  [[nodiscard]] const Bucket& bucket(std::uint64_t key) const noexcept {
    return buckets_[key & mask_];
  }
  [[nodiscard]] int worth(const TableEntry& e) const noexcept {
    return e.depth - 8 * ((generation_ - e.generation()) & 63);
  }

  std::vector<Bucket> buckets_;
  std::size_t mask_ = 0;
  std::uint8_t generation_ = 0;
};

//=== Move ordering ===//

// The order of the first moves tried: the table's move, then the captures that win or keep
// material (most valuable victim first, least valuable attacker first), then the killer moves,
// the quiet moves by history, and last the captures that lose material.
constexpr std::int32_t tableMoveOrder = 1 << 30;
constexpr std::int32_t goodCaptureOrder = 1 << 28;
constexpr std::int32_t killerOrder = 1 << 27;
constexpr std::int32_t badCaptureOrder = -(1 << 28);
constexpr std::int32_t historyLimit = 1 << 14;

// The material a move may win before any recapture: the victim, plus a promotion's gain.
std::int32_t victimValue(const Position& p, PackedMove move) noexcept {
  std::int32_t value = p.cells[packedTo(move)] != 0 ? exchangeValue(p.typeOn(packedTo(move))) : 0;
  if (isPackedPromotion(move)) value += exchangeValue(packedPromoted(move)) - 100;
  return value;
}

bool isCapture(const Position& p, PackedMove move) noexcept {
  if (p.cells[packedTo(move)] != 0) return true;
  // En passant: a pawn's diagonal step onto an empty square.
  return p.typeOn(packedFrom(move)) == PieceType::Pawn &&
         packedFrom(move) % 8 != packedTo(move) % 8;
}

bool isTactical(const Position& p, PackedMove move) noexcept {
  return isPackedPromotion(move) || isCapture(p, move);
}

// The moves of a node with their order keys, handed out best first; the moves handed out so far
// stay at the front in the order they were handed out.
struct MovePicker {
  PackedMoveList list;  // filled by the generator
  std::array<PackedMove, maxMoves> moves;
  std::array<std::int32_t, maxMoves> order;
  std::size_t size = 0;
  std::size_t next = 0;

  bool pick(PackedMove& move) noexcept {
    if (next >= size) return false;
    std::size_t best = next;
    for (std::size_t i = next + 1; i < size; ++i) {
      if (order[i] > order[best]) best = i;
    }
    std::swap(moves[next], moves[best]);
    std::swap(order[next], order[best]);
    move = moves[next++];
    return true;
  }
};

}  // namespace

//=== The search ===//

struct StrongSearch::Impl {
  using Clock = std::chrono::steady_clock;

  TranspositionTable table;
  std::array<std::array<PackedMove, 2>, maxPly + 1> killers{};
  std::array<std::array<std::array<std::int32_t, 64>, 64>, 2> history{};
  std::vector<MovePicker> pickers = std::vector<MovePicker>(maxPly + 1);
  std::array<std::array<PackedMove, maxPly + 1>, maxPly + 1> pv{};
  std::array<std::int32_t, maxPly + 1> pvLength{};
  std::array<std::int32_t, maxPly + 1> staticEval{};
  std::array<std::array<std::int32_t, 64>, 64> reductions{};

  // The keys of the game's positions and the search's path, with the plies since the last
  // irreversible move (or pass) of each.
  std::vector<std::uint64_t> keyPath;
  std::vector<std::int32_t> fiftyPath;
  std::vector<std::int32_t> repetitionPath;
  std::size_t rootIndex = 0;

  // The search in progress.
  const SearchLimits* limits = nullptr;
  SearchControl* control = nullptr;
  Clock::time_point start;
  std::int64_t softTime = 0;
  std::int64_t hardTime = 0;
  bool timed = false;
  std::uint64_t nodes = 0;
  std::int32_t selDepth = 0;
  std::int32_t completedDepth = 0;
  bool stopped = false;

  struct RootMove {
    PackedMove move;
    std::int32_t score = -infinity;
    std::int32_t previousScore = -infinity;
    std::int32_t depth = 0;
    std::int32_t selDepth = 0;
    ScoreBound bound = ScoreBound::Exact;
    std::vector<PackedMove> pv;
  };
  std::vector<RootMove> rootMoves;

  Impl() {
    for (std::size_t d = 1; d < 64; ++d) {
      for (std::size_t m = 1; m < 64; ++m) {
        reductions[d][m] = static_cast<std::int32_t>(
            0.75 + std::log(static_cast<double>(d)) * std::log(static_cast<double>(m)) / 2.25);
      }
    }
  }

  [[nodiscard]] std::int64_t elapsed() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
  }

  [[nodiscard]] bool pondering() const noexcept {
    return limits->ponder && !control->ponderHit.load(std::memory_order_relaxed);
  }

  // Sets `stopped` when the search must end now: told to stop, out of nodes, or past the
  // hard time limit.
  void checkLimits() {
    // The first iteration always finishes, so there is a searched move to play.
    if (completedDepth == 0) return;
    if (control->stop.load(std::memory_order_relaxed)) {
      stopped = true;
      return;
    }
    if (limits->nodes != 0 && nodes >= limits->nodes) stopped = true;
    if (timed && (nodes & 1023U) == 0 && !pondering() && elapsed() >= hardTime) stopped = true;
  }

  // The time plan of a clock: a soft limit for starting no new iteration, a hard one to stop.
  void planTime() {
    timed = false;
    const std::int64_t overhead = std::max<std::int64_t>(limits->moveOverhead, 0);
    if (limits->moveTime) {
      timed = true;
      softTime = hardTime = std::max<std::int64_t>(*limits->moveTime - overhead, 1);
      return;
    }
    if (!limits->time) return;
    timed = true;
    const std::int64_t left = std::max<std::int64_t>(*limits->time - overhead, 1);
    const std::int64_t movesLeft = limits->movesToGo > 0 ? std::min(limits->movesToGo, 40) : 22;
    const std::int64_t increment = std::max<std::int64_t>(limits->increment, 0);
    std::int64_t soft = left / movesLeft + increment * 3 / 4;
    const std::int64_t hard =
        std::min(left * (movesLeft == 1 ? 8 : 4) / 10, std::max<std::int64_t>(soft * 3, 1));
    softTime = std::max<std::int64_t>(std::min(soft, hard), 1);
    hardTime = std::max<std::int64_t>(hard, 1);
  }

  [[nodiscard]] bool isDraw(std::int32_t ply) const noexcept {
    const std::size_t index = rootIndex + static_cast<std::size_t>(ply);
    if (fiftyPath[index] >= 100) return true;
    const std::uint64_t key = keyPath[index];
    const std::int32_t back = std::min(fiftyPath[index], repetitionPath[index]);
    for (std::int32_t i = 4; i <= back; i += 2) {
      if (keyPath[index - static_cast<std::size_t>(i)] == key) return true;
    }
    return false;
  }

  // Enters the child of the node at `ply`, reached by `move` (noMove: a pass).
  void push(std::int32_t ply, const Position& parent, const Position& child, PackedMove move) {
    const std::size_t index = rootIndex + static_cast<std::size_t>(ply);
    keyPath[index + 1] = keyAfter(parent, keyPath[index], child);
    const bool reset = move != noMove && irreversible(parent, move);
    fiftyPath[index + 1] = reset ? 0 : fiftyPath[index] + 1;
    repetitionPath[index + 1] = reset || move == noMove ? 0 : repetitionPath[index] + 1;
  }

  void orderMoves(const Position& p, MovePicker& picker, PackedMove tableMove, std::int32_t ply) {
    const auto side = static_cast<std::size_t>(p.turn);
    const auto& killer = killers[static_cast<std::size_t>(ply)];
    picker.size = picker.list.size();
    for (std::size_t i = 0; i < picker.size; ++i) {
      const PackedMove m = picker.list[i];
      picker.moves[i] = m;
      std::int32_t key = 0;
      if (m == tableMove) {
        key = tableMoveOrder;
      } else if (isTactical(p, m)) {
        const std::int32_t attacker =
            static_cast<std::int32_t>(exchangeValue(p.typeOn(packedFrom(m)))) / 100;
        const std::int32_t gain = victimValue(p, m) * 16 - attacker;
        key = exchangeAtLeast(p, m, 0) ? goodCaptureOrder + gain : badCaptureOrder + gain;
      } else if (m == killer[0]) {
        key = killerOrder + 1;
      } else if (m == killer[1]) {
        key = killerOrder;
      } else {
        key = history[side][packedFrom(m)][packedTo(m)];
      }
      picker.order[i] = key;
    }
    picker.next = 0;
  }

  void rewardQuiet(const Position& p, PackedMove move, std::int32_t ply, std::int32_t depth,
                   const MovePicker& picker) {
    auto& killer = killers[static_cast<std::size_t>(ply)];
    if (killer[0] != move) {
      killer[1] = killer[0];
      killer[0] = move;
    }
    const auto side = static_cast<std::size_t>(p.turn);
    const std::int32_t bonus = std::min(depth * depth, 400);
    const auto update = [&](PackedMove m, std::int32_t delta) {
      std::int32_t& h = history[side][packedFrom(m)][packedTo(m)];
      h += delta - h * std::abs(delta) / historyLimit;
    };
    update(move, bonus);
    // The quiet moves tried before it failed to cut: they lose some of their standing.
    for (std::size_t i = 0; i + 1 < picker.next; ++i) {
      const PackedMove m = picker.moves[i];
      if (m != move && !isTactical(p, m)) update(m, -bonus);
    }
  }

  void updatePv(std::int32_t ply, PackedMove move) {
    const auto at = static_cast<std::size_t>(ply);
    pv[at][at] = move;
    for (std::int32_t i = ply + 1; i < pvLength[at + 1]; ++i) {
      pv[at][static_cast<std::size_t>(i)] = pv[at + 1][static_cast<std::size_t>(i)];
    }
    pvLength[at] = std::max(pvLength[at + 1], ply + 1);
  }

  // Counts a node at `ply` and starts its line; false when the search must end now.
  bool enter(std::int32_t ply) {
    ++nodes;
    checkLimits();
    if (stopped) return false;
    pvLength[static_cast<std::size_t>(ply)] = ply;
    selDepth = std::max(selDepth, ply);
    return true;
  }

  std::int32_t quiesce(const Position& p, std::int32_t alpha, std::int32_t beta, std::int32_t ply) {
    if (!enter(ply)) return 0;
    const auto at = static_cast<std::size_t>(ply);
    if (ply >= maxPly) return evaluateStrong(p);
    const bool checked = inCheck(p);
    const std::uint64_t key = keyPath[rootIndex + at];
    PackedMove tableMove = noMove;
    if (const TableEntry* e = table.probe(key)) {
      const std::int32_t s = fromTable(e->score, ply);
      const ScoreBound b = e->bound();
      if (b == ScoreBound::Exact || (b == ScoreBound::Lower && s >= beta) ||
          (b == ScoreBound::Upper && s <= alpha)) {
        return s;
      }
      tableMove = e->move;
    }
    std::int32_t best = -mateScore + ply;
    std::int32_t standPat = noScore;
    MovePicker& picker = pickers[at];
    if (checked) {
      generateLegalMoves(p, picker.list);
      if (picker.list.empty()) return best;
    } else {
      standPat = evaluateStrong(p);
      if (standPat >= beta) return standPat;
      alpha = std::max(alpha, standPat);
      best = standPat;
      generateForcingMoves(p, picker.list);
    }
    orderMoves(p, picker, tableMove, ply);
    const std::int32_t originalAlpha = alpha;
    PackedMove bestMove = noMove;
    PackedMove move = noMove;
    while (picker.pick(move)) {
      if (!checked) {
        // Captures that cannot raise the score enough, or that lose material, are not tried.
        if (!isPackedPromotion(move) && standPat + victimValue(p, move) + 200 <= alpha) continue;
        if (!exchangeAtLeast(p, move, 0)) continue;
      }
      Position child = p;
      applyMove(child, move);
      push(ply, p, child, move);
      const std::int32_t score = -quiesce(child, -beta, -alpha, ply + 1);
      if (stopped) return 0;
      if (score > best) {
        best = score;
        if (score > alpha) {
          alpha = score;
          bestMove = move;
          updatePv(ply, move);
          if (score >= beta) break;
        }
      }
    }
    const ScoreBound bound = best >= beta           ? ScoreBound::Lower
                             : best > originalAlpha ? ScoreBound::Exact
                                                    : ScoreBound::Upper;
    table.store(key, bestMove, toTable(best, ply), standPat == noScore ? 0 : standPat, 0, bound);
    return best;
  }

  // The value of `p` searched `depth` plies deep; `checked` tells whether its side to move stands
  // in check, which the parent already knows from making the move.
  std::int32_t search(const Position& p, std::int32_t alpha, std::int32_t beta, std::int32_t depth,
                      std::int32_t ply, bool nullAllowed, bool checked) {
    const bool pvNode = beta - alpha > 1;
    if (depth <= 0) return quiesce(p, alpha, beta, ply);
    if (!enter(ply)) return 0;
    const auto at = static_cast<std::size_t>(ply);
    if (isDraw(ply)) return 0;
    if (ply >= maxPly) return evaluateStrong(p);
    // No line from here can do better than a mate at once, or worse than being mated now.
    alpha = std::max(alpha, -mateScore + ply);
    beta = std::min(beta, mateScore - ply - 1);
    if (alpha >= beta) return alpha;

    const std::uint64_t key = keyPath[rootIndex + at];
    PackedMove tableMove = noMove;
    std::int32_t eval = noScore;
    if (const TableEntry* e = table.probe(key)) {
      tableMove = e->move;
      const std::int32_t s = fromTable(e->score, ply);
      const ScoreBound b = e->bound();
      if (!pvNode && e->depth >= depth &&
          (b == ScoreBound::Exact || (b == ScoreBound::Lower && s >= beta) ||
           (b == ScoreBound::Upper && s <= alpha))) {
        return s;
      }
      eval = e->eval;
    }
    if (checked) {
      eval = noScore;
    } else if (eval == noScore) {
      eval = evaluateStrong(p);
    }
    staticEval[at] = eval;
    const bool improving =
        !checked && ply >= 2 && staticEval[at - 2] != noScore && eval > staticEval[at - 2];

    if (!pvNode && !checked) {
      // A position far above beta stays above it after any reasonable reply.
      if (depth <= 6 && std::abs(beta) < mateBound && eval - 85 * (depth - improving) >= beta) {
        return eval;
      }
      // Passing still keeps the score above beta: the position is good enough to cut.
      if (nullAllowed && depth >= 3 && eval >= beta && hasPieces(p, p.turn)) {
        const std::int32_t r = 3 + depth / 4 + std::min((eval - beta) / 200, 3);
        Position passed = p;
        passed.turn = toggle(p.turn);
        passed.lastMove = noMove;
        push(ply, p, passed, noMove);
        std::int32_t score =
            -search(passed, -beta, -beta + 1, depth - 1 - r, ply + 1, false, false);
        if (stopped) return 0;
        if (score >= beta) return score > mateBound ? beta : score;
      }
    }
    // Without a move from the table a deep node is searched one ply less: its order is a guess.
    if (tableMove == noMove && depth >= 4 && pvNode) --depth;

    MovePicker& picker = pickers[at];
    generateLegalMoves(p, picker.list);
    if (picker.list.empty()) return checked ? -mateScore + ply : 0;
    orderMoves(p, picker, tableMove, ply);

    const std::int32_t originalAlpha = alpha;
    std::int32_t best = -infinity;
    PackedMove bestMove = noMove;
    std::int32_t searched = 0;
    PackedMove move = noMove;
    while (picker.pick(move)) {
      const bool tactical = isTactical(p, move);
      const bool killer = move == killers[at][0] || move == killers[at][1];
      Position child = p;
      applyMove(child, move);
      const bool givesCheck = inCheck(child);
      if (!pvNode && !checked && best > -mateBound && !givesCheck) {
        if (!tactical) {
          // Late quiet moves of a shallow node, and quiet moves that cannot reach alpha.
          if (depth <= 4 && searched >= 3 + depth * depth * (improving ? 2 : 1)) continue;
          if (depth <= 3 && eval + 120 * depth + 60 <= alpha) continue;
        } else if (depth <= 3 && !exchangeAtLeast(p, move, -100 * depth)) {
          continue;
        }
      }
      push(ply, p, child, move);
      const std::int32_t newDepth = depth - 1 + (givesCheck ? 1 : 0);
      std::int32_t score = 0;
      if (searched == 0) {
        score = -search(child, -beta, -alpha, newDepth, ply + 1, true, givesCheck);
      } else {
        std::int32_t r = 0;
        if (depth >= 3 && searched >= 2 && !tactical && !checked && !givesCheck) {
          r = reductions[static_cast<std::size_t>(std::min(depth, 63))]
                        [static_cast<std::size_t>(std::min(searched, 63))];
          if (pvNode) --r;
          if (killer) --r;
          if (!improving) ++r;
          const std::int32_t h =
              history[static_cast<std::size_t>(p.turn)][packedFrom(move)][packedTo(move)];
          r -= h / 5000;
          r = std::clamp(r, 0, newDepth - 1);
        }
        score = -search(child, -alpha - 1, -alpha, newDepth - r, ply + 1, true, givesCheck);
        if (score > alpha && r > 0) {
          score = -search(child, -alpha - 1, -alpha, newDepth, ply + 1, true, givesCheck);
        }
        if (score > alpha && score < beta) {
          score = -search(child, -beta, -alpha, newDepth, ply + 1, true, givesCheck);
        }
      }
      if (stopped) return 0;
      ++searched;
      if (score > best) {
        best = score;
        if (score > alpha) {
          alpha = score;
          bestMove = move;
          if (pvNode) updatePv(ply, move);
          if (score >= beta) {
            if (!tactical) rewardQuiet(p, move, ply, depth, picker);
            break;
          }
        }
      }
    }
    if (searched == 0) return alpha;  // every move was pruned: no better than alpha
    const ScoreBound bound = best >= beta           ? ScoreBound::Lower
                             : best > originalAlpha ? ScoreBound::Exact
                                                    : ScoreBound::Upper;
    table.store(key, bestMove, toTable(best, ply), eval == noScore ? 0 : eval, depth, bound);
    return best;
  }

  // One pass over the root moves from `first` on, within (alpha, beta).
  std::int32_t searchRoot(const Position& root, std::int32_t alpha, std::int32_t beta,
                          std::int32_t depth, std::size_t first) {
    ++nodes;
    std::int32_t best = -infinity;
    for (std::size_t i = first; i < rootMoves.size(); ++i) {
      RootMove& rm = rootMoves[i];
      Position child = root;
      applyMove(child, rm.move);
      push(0, root, child, rm.move);
      const bool givesCheck = inCheck(child);
      const std::int32_t newDepth = depth - 1 + (givesCheck ? 1 : 0);
      selDepth = 0;
      std::int32_t score = 0;
      if (i == first) {
        score = -search(child, -beta, -alpha, newDepth, 1, true, givesCheck);
      } else {
        const bool late = depth >= 3 && i >= first + 4 && !isTactical(root, rm.move) && !givesCheck;
        const std::int32_t r = late ? 1 : 0;
        score = -search(child, -alpha - 1, -alpha, newDepth - r, 1, true, givesCheck);
        if (score > alpha && r > 0)
          score = -search(child, -alpha - 1, -alpha, newDepth, 1, true, givesCheck);
        if (score > alpha && score < beta)
          score = -search(child, -beta, -alpha, newDepth, 1, true, givesCheck);
      }
      if (stopped) break;
      if (i == first || score > alpha) {
        rm.score = score;
        rm.depth = depth;
        rm.selDepth = selDepth;
        rm.bound = score >= beta    ? ScoreBound::Lower
                   : score <= alpha ? ScoreBound::Upper
                                    : ScoreBound::Exact;
        rm.pv.assign(1, rm.move);
        for (std::int32_t k = 1; k < pvLength[1]; ++k)
          rm.pv.push_back(pv[1][static_cast<std::size_t>(k)]);
      } else {
        rm.score = -infinity;
      }
      if (score > best) best = score;
      if (score > alpha) {
        alpha = score;
        if (score >= beta) break;
      }
    }
    return best;
  }

  SearchReport report(std::size_t lineCount, std::int32_t depth) const {
    SearchReport r;
    r.depth = depth;
    for (std::size_t i = 0; i < lineCount && i < rootMoves.size(); ++i) {
      const RootMove& rm = rootMoves[i];
      if (rm.depth == 0) continue;
      const bool fresh = rm.score != -infinity;
      r.lines.push_back({rm.depth, rm.selDepth, fresh ? rm.score : rm.previousScore,
                         fresh ? rm.bound : ScoreBound::Exact, rm.pv});
    }
    r.nodes = nodes;
    r.milliseconds = elapsed();
    r.hashFull = table.hashFull();
    return r;
  }

  SearchResult run(const GameRecord& game, const SearchLimits& searchLimits, SearchControl& ctl,
                   const SearchObserver& observe) {
    limits = &searchLimits;
    control = &ctl;
    start = Clock::now();
    nodes = 0;
    stopped = false;
    completedDepth = 0;
    planTime();
    table.nextGeneration();
    for (auto& k : killers) k = {noMove, noMove};
    for (auto& side : history) {
      for (auto& from : side) {
        for (std::int32_t& h : from) h /= 2;
      }
    }

    // The game's keys, then room for the search's path.
    const Position& root = game.position();
    keyPath = game.keys();
    rootIndex = keyPath.size() - 1;
    keyPath.resize(keyPath.size() + maxPly + 2);
    fiftyPath.assign(keyPath.size(), 0);
    repetitionPath.assign(keyPath.size(), 0);
    for (std::size_t i = 0; i <= rootIndex; ++i) {
      const auto behind = static_cast<std::int32_t>(rootIndex - i);
      fiftyPath[i] = std::max(game.halfmoveClock() - behind, 0);
      repetitionPath[i] = static_cast<std::int32_t>(i);
    }

    PackedMoveList legal;
    generateLegalMoves(root, legal);
    rootMoves.clear();
    for (const PackedMove m : legal) {
      const auto& only = searchLimits.rootMoves;
      if (only.empty() || std::find(only.begin(), only.end(), m) != only.end()) {
        rootMoves.push_back({m, -infinity, -infinity, 0, 0, ScoreBound::Exact, {}});
      }
    }
    SearchResult result;
    if (rootMoves.empty()) return result;
    // Captures first for the first iteration; after that each iteration's order.
    std::stable_sort(rootMoves.begin(), rootMoves.end(), [&](const RootMove& a, const RootMove& b) {
      return victimValue(root, a.move) > victimValue(root, b.move);
    });

    const std::size_t lineCount = std::min<std::size_t>(
        static_cast<std::size_t>(std::max(searchLimits.multiPV, 1)), rootMoves.size());
    const std::int32_t maxDepth = std::clamp(searchLimits.depth, 1, maxPly - 1);
    PackedMove lastBest = noMove;
    std::int32_t lastChange = 0;
    for (std::int32_t depth = 1; depth <= maxDepth; ++depth) {
      for (RootMove& rm : rootMoves)
        rm.previousScore = rm.score == -infinity ? rm.previousScore : rm.score;
      for (std::size_t line = 0; line < lineCount && !stopped; ++line) {
        const std::int32_t previous = rootMoves[line].previousScore;
        std::int32_t delta = 18;
        std::int32_t alpha = -infinity;
        std::int32_t beta = infinity;
        if (depth >= 4 && std::abs(previous) < mateBound) {
          alpha = std::max(previous - delta, -infinity);
          beta = std::min(previous + delta, infinity);
        }
        while (true) {
          const std::int32_t score = searchRoot(root, alpha, beta, depth, line);
          std::stable_sort(rootMoves.begin() + static_cast<std::ptrdiff_t>(line), rootMoves.end(),
                           [](const RootMove& a, const RootMove& b) { return a.score > b.score; });
          if (stopped) break;
          if (score <= alpha) {
            beta = (alpha + beta) / 2;
            alpha = std::max(score - delta, -infinity);
          } else if (score >= beta) {
            beta = std::min(score + delta, infinity);
          } else {
            break;
          }
          delta += delta / 2 + 5;
          if (observe && elapsed() > 3000) observe(report(lineCount, depth));
        }
        std::stable_sort(rootMoves.begin(),
                         rootMoves.begin() + static_cast<std::ptrdiff_t>(line + 1),
                         [](const RootMove& a, const RootMove& b) { return a.score > b.score; });
      }
      if (stopped && completedDepth > 0) break;
      completedDepth = depth;
      if (observe) observe(report(lineCount, depth));
      if (rootMoves[0].move != lastBest) {
        lastBest = rootMoves[0].move;
        lastChange = depth;
      }
      const std::int32_t best = rootMoves[0].score;
      const bool mate = std::abs(best) > mateBound;
      if (searchLimits.mate > 0 && best > mateBound && mateScore - best <= 2 * searchLimits.mate) {
        break;
      }
      if (limits->nodes != 0 && nodes >= limits->nodes) break;
      if (searchLimits.infinite || pondering()) continue;
      // A mate seen with room to spare is not searched deeper.
      if (mate && depth >= mateScore - std::abs(best) + 4) break;
      if (timed) {
        // No new iteration when it would likely overrun the plan: sooner when the best move has
        // not changed for a while, and at once with one legal move.
        const bool settled = depth - lastChange >= 4;
        if (elapsed() >= softTime * (settled ? 50 : 80) / 100) break;
        if (rootMoves.size() == 1) break;
      }
    }
    result.best = rootMoves[0].move;
    if (rootMoves[0].pv.size() > 1) result.ponder = rootMoves[0].pv[1];
    result.report = report(lineCount, completedDepth);
    return result;
  }
};

StrongSearch::StrongSearch(std::size_t hashMegabytes) : impl_(std::make_unique<Impl>()) {
  impl_->table.resize(hashMegabytes);
}

StrongSearch::~StrongSearch() = default;

void StrongSearch::resize(std::size_t megabytes) {
  impl_->table.resize(megabytes);
}

void StrongSearch::clear() noexcept {
  impl_->table.clear();
  for (auto& k : impl_->killers) k = {noMove, noMove};
  for (auto& side : impl_->history) {
    for (auto& from : side) from.fill(0);
  }
}

SearchResult StrongSearch::run(const GameRecord& game, const SearchLimits& limits,
                               SearchControl& control, const SearchObserver& observe) {
  return impl_->run(game, limits, control, observe);
}

SearchLimits levelLimits(std::int32_t level) {
  SearchLimits limits;
  const auto index = static_cast<std::size_t>(std::clamp(level, firstStrongLevel, topLevel - 1) -
                                              firstStrongLevel);
  limits.nodes = levelNodes[index] * (level >= topLevel ? 4 : 1);
  return limits;
}

std::string uciScoreText(std::int32_t score) {
  if (score > mateBound) return "mate " + std::to_string((mateScore - score + 1) / 2);
  if (score < -mateBound) return "mate " + std::to_string(-((mateScore + score) / 2));
  return "cp " + std::to_string(score);
}

}  // namespace quenlor
