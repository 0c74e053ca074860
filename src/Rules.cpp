#include "Rules.h"

#include <algorithm>
#include <bit>

namespace quenlor {

namespace {

//=== Geometry tables ===//

struct Offset {
  int dr;
  int dc;
};

// The eight directions, indexed as the ray tables are; a direction raises the square code (so
// the nearest square of a set on its ray is the set's lowest) from index 4 on.
// clang-format off
constexpr std::array<Offset, 8> kingOffsets{{{-1,-1},{-1,0},{-1,1},{0,-1},{0,1},{1,-1},{1,0},{1,1}}};
constexpr std::array<Offset, 8> knightOffsets{{{1,2},{2,1},{-1,2},{-2,1},{1,-2},{2,-1},{-1,-2},{-2,-1}}};
// clang-format on
// The rook's and the bishop's directions in generation order, and the two kinds of line.
constexpr std::array<std::size_t, 4> rookOrder{4, 3, 6, 1};
constexpr std::array<std::size_t, 4> bishopOrder{7, 5, 2, 0};
constexpr std::array<std::size_t, 4> diagonalRays{0, 2, 5, 7};
constexpr std::array<std::size_t, 4> orthogonalRays{1, 3, 4, 6};

constexpr bool isDiagonal(std::size_t d) noexcept {
  return kingOffsets[d].dr != 0 && kingOffsets[d].dc != 0;
}

// The code of the square (row + dr, column + dc) of `sq`'s, if it is on the board.
constexpr std::optional<SquareCode> stepFrom(SquareCode sq, Offset o) noexcept {
  const Location loc = squareLocation(sq);
  const Location to{loc.row + o.dr, loc.column + o.dc};
  if (!inBoard(to)) return std::nullopt;
  return squareCode(to);
}

// The squares a step table reaches from each square, in table order, skipping off-board ones.
struct StepTargets {
  std::array<std::array<SquareCode, 8>, 64> squares{};
  std::array<std::uint8_t, 64> count{};
  std::array<std::uint64_t, 64> mask{};
};

constexpr StepTargets makeStepTargets(const std::array<Offset, 8>& offsets) {
  StepTargets t{};
  for (SquareCode sq = 0; sq < 64; ++sq) {
    for (const Offset& o : offsets) {
      if (const auto to = stepFrom(sq, o)) {
        t.squares[sq][t.count[sq]++] = *to;
        t.mask[sq] |= squareBit(*to);
      }
    }
  }
  return t;
}

constexpr StepTargets kingTargets = makeStepTargets(kingOffsets);
constexpr StepTargets knightTargets = makeStepTargets(knightOffsets);

// Per square: the squares from it to the edge in each direction, the squares strictly between
// it and each square on one of its lines, and its diagonal and orthogonal lines.
struct LineTables {
  std::array<std::array<std::uint64_t, 8>, 64> ray{};
  std::array<std::array<std::uint64_t, 64>, 64> between{};
  std::array<std::uint64_t, 64> diagonal{};
  std::array<std::uint64_t, 64> orthogonal{};
};

LineTables makeLineTables() {
  LineTables t{};
  for (SquareCode sq = 0; sq < 64; ++sq) {
    for (std::size_t d = 0; d < 8; ++d) {
      std::uint64_t passed = 0;
      for (auto to = stepFrom(sq, kingOffsets[d]); to; to = stepFrom(*to, kingOffsets[d])) {
        t.between[sq][*to] = passed;
        passed |= squareBit(*to);
      }
      t.ray[sq][d] = passed;
      (isDiagonal(d) ? t.diagonal : t.orthogonal)[sq] |= passed;
    }
  }
  return t;
}

const LineTables lines = makeLineTables();

// Per colour and square: the squares from which a pawn of that colour captures onto it.
struct PawnSources {
  std::array<std::array<std::uint64_t, 64>, 2> mask{};
};

constexpr PawnSources makePawnSources() {
  PawnSources t{};
  for (SquareCode sq = 0; sq < 64; ++sq) {
    for (int dc : {-1, 1}) {
      if (const auto from = stepFrom(sq, {1, dc})) t.mask[0][sq] |= squareBit(*from);
      if (const auto from = stepFrom(sq, {-1, dc})) t.mask[1][sq] |= squareBit(*from);
    }
  }
  return t;
}

constexpr PawnSources pawnSources = makePawnSources();

// The nearest square of a non-empty set lying on ray d of some square.
SquareCode nearestOn(std::uint64_t bits, std::size_t d) noexcept {
  return static_cast<SquareCode>(d >= 4 ? std::countr_zero(bits) : 63 - std::countl_zero(bits));
}

// The squares a slider on `sq` reaches along ray d: the empty ones and the first occupied one.
std::uint64_t rayTargets(SquareCode sq, std::size_t d, std::uint64_t occupied) noexcept {
  std::uint64_t ray = lines.ray[sq][d];
  if (const std::uint64_t blockers = ray & occupied; blockers != 0) {
    ray ^= lines.ray[nearestOn(blockers, d)][d];
  }
  return ray;
}

// The sliders of a set that move along diagonals, and along rows and columns.
std::uint64_t diagonalSliders(const SquareMap& s, std::uint64_t set) noexcept {
  return (s.pieces(PieceType::Bishop) | s.pieces(PieceType::Queen)) & set;
}
std::uint64_t straightSliders(const SquareMap& s, std::uint64_t set) noexcept {
  return (s.pieces(PieceType::Rook) | s.pieces(PieceType::Queen)) & set;
}

// The pieces of `blockers` that alone stand between `king` and one of `diagonal` or `straight`
// (sliders along the matching lines); for each, `line` receives the squares from the king up to
// and including that slider.
[[gnu::always_inline]] inline std::uint64_t loneBlockers(
    SquareCode king, std::uint64_t occupied, std::uint64_t blockers, std::uint64_t diagonal,
    std::uint64_t straight, std::array<std::uint64_t, 64>& line) noexcept {
  std::uint64_t found = 0;
  if (((diagonal & lines.diagonal[king]) | (straight & lines.orthogonal[king])) == 0) return 0;
  for (std::size_t d = 0; d < 8; ++d) {
    const std::uint64_t sliders = isDiagonal(d) ? diagonal : straight;
    const std::uint64_t ray = lines.ray[king][d];
    if ((ray & sliders) == 0) continue;
    std::uint64_t onRay = ray & occupied;
    const SquareCode first = nearestOn(onRay, d);
    if ((blockers & squareBit(first)) == 0) continue;
    onRay &= ~squareBit(first);
    if (onRay == 0) continue;
    const SquareCode second = nearestOn(onRay, d);
    if ((sliders & squareBit(second)) == 0) continue;
    found |= squareBit(first);
    line[first] = lines.between[king][second] | squareBit(second);
  }
  return found;
}

// The pieces among `attackers` (all of `colour`) that attack `sq` with the given occupied
// squares (a king on the square itself counts), so that a move's effect can be judged without
// applying it; with `AnyOne`, a non-empty part of them as soon as one is found.
template <bool AnyOne>
std::uint64_t findAttackers(const SquareMap& s, Colour colour, SquareCode sq,
                            std::uint64_t occupied, std::uint64_t attackers) noexcept {
  std::uint64_t found =
      ((knightTargets.mask[sq] & s.pieces(PieceType::Knight)) |
       ((kingTargets.mask[sq] | squareBit(sq)) & s.pieces(PieceType::King)) |
       (pawnSources.mask[static_cast<std::size_t>(colour)][sq] & s.pieces(PieceType::Pawn))) &
      attackers;
  if (AnyOne && found != 0) return found;
  const std::uint64_t diagonal = diagonalSliders(s, attackers) & lines.diagonal[sq];
  const std::uint64_t straight = straightSliders(s, attackers) & lines.orthogonal[sq];
  if ((diagonal | straight) == 0) return found;
  for (std::size_t d = 0; d < 8; ++d) {
    const std::uint64_t sliders = isDiagonal(d) ? diagonal : straight;
    const std::uint64_t ray = lines.ray[sq][d];
    if ((ray & sliders) == 0) continue;
    found |= sliders & squareBit(nearestOn(ray & occupied, d));
    if (AnyOne && found != 0) return found;
  }
  return found;
}

//=== Square-by-square attacks, for any square on the board or off it ===//

// The content of a square given by any coordinates: off-board squares read as empty.
std::uint8_t cellAt(const Board& board, std::int64_t row, std::int64_t column) {
  if (row < 1 || row > 8 || column < 1 || column > 8) return 0;
  return board.squares.cells[squareCode({static_cast<int>(row), static_cast<int>(column)})];
}

// The cell of the first occupied square along a ray (0 when there is none). The ray runs from
// the square, exclusive, to the last row or column number of its direction (1 or 8); for a
// square off the board, its off-board squares read as empty, so only the on-board stretch (a
// contiguous range of steps) is walked. Arithmetic is in 64 bits, since a square off the board
// may hold any 32-bit numbers.
std::uint8_t firstCellInLine(const Board& board, Location square, int rowStep, int columnStep) {
  std::int64_t low = 1;
  std::int64_t high = INT64_MAX;
  auto limit = [&](std::int64_t x, int step) {
    if (step == 0) {
      if (x < 1 || x > 8) high = 0;
    } else if (step > 0) {
      low = std::max(low, 1 - x);
      high = std::min(high, 8 - x);
    } else {
      low = std::max(low, x - 8);
      high = std::min(high, x - 1);
    }
  };
  limit(square.row, rowStep);
  limit(square.column, columnStep);
  high = std::min(high, low + 7);  // at most eight on-board squares
  for (std::int64_t k = low; k <= high; ++k) {
    const std::uint8_t cell =
        cellAt(board, square.row + k * rowStep, square.column + k * columnStep);
    if (cell != 0) return cell;
  }
  return 0;
}

bool attackedSquareBySquare(const Board& board, Colour c, Location square,
                            bool kingOnSquareCounts) {
  const std::int64_t r = square.row;
  const std::int64_t col = square.column;
  auto at = [&](std::int64_t row, std::int64_t column) { return cellAt(board, row, column); };
  const std::uint8_t queen = cellOf({c, PieceType::Queen});
  for (std::size_t d = 0; d < 8; ++d) {
    const std::uint8_t cell = firstCellInLine(board, square, kingOffsets[d].dr, kingOffsets[d].dc);
    const PieceType slider = isDiagonal(d) ? PieceType::Bishop : PieceType::Rook;
    if (cell == queen || cell == cellOf({c, slider})) return true;
  }
  for (const Offset& o : knightOffsets) {
    if (at(r + o.dr, col + o.dc) == cellOf({c, PieceType::Knight})) return true;
  }
  for (const Offset& o : kingOffsets) {
    if (at(r + o.dr, col + o.dc) == cellOf({c, PieceType::King})) return true;
  }
  if (kingOnSquareCounts && at(r, col) == cellOf({c, PieceType::King})) return true;
  const std::int64_t pr = c == Colour::White ? r + 1 : r - 1;
  const std::uint8_t pawn = cellOf({c, PieceType::Pawn});
  return at(pr, col - 1) == pawn || at(pr, col + 1) == pawn;
}

//=== Legality ===//

// The legality test of the side to move's moves, the same decisions as applying each move and
// testing the king, made cheaply. A move other than a king move, castling or a diagonal pawn
// move from the en-passant row leaves the king where it is and changes only its own two squares,
// so it is legal exactly when it ends every check (it takes the one checking piece or steps
// between it and the king; nothing ends two checks) and, if its piece is pinned, stays on the
// pin's line. King moves are tested on their target with the king lifted; castling and the
// diagonal pawn moves from the en-passant row (possibly en passant) are applied to a copy and
// tested. The side to move must have exactly one king.
class Legality {
 public:
  explicit Legality(const Position& p) noexcept
      : p_(p), enemy_(toggle(p.turn)), king_(p.kingSquare(p.turn)), occupied_(p.occupied()) {
    const std::uint64_t them = p.pieces(enemy_);
    const std::uint64_t checkers = findAttackers<false>(p, enemy_, king_, occupied_, them);
    if (checkers != 0) {
      evasion_ = (checkers & (checkers - 1)) == 0
                     ? checkers | lines.between[king_][std::countr_zero(checkers)]
                     : 0;
    }
    pinned_ = loneBlockers(king_, occupied_, p.pieces(p.turn), diagonalSliders(p, them),
                           straightSliders(p, them), pinLine_);
  }

  [[nodiscard]] std::uint64_t pinned() const noexcept { return pinned_; }
  // The squares that end every check (all of them when there is none).
  [[nodiscard]] std::uint64_t evasion() const noexcept { return evasion_; }
  // The targets a piece on `from`, not the king, may move to by a move of its own two squares.
  [[nodiscard]] std::uint64_t allowed(SquareCode from) const noexcept {
    return (pinned_ & squareBit(from)) != 0 ? evasion_ & pinLine_[from] : evasion_;
  }
  [[nodiscard]] bool kingStep(SquareCode from, SquareCode to) const noexcept {
    return findAttackers<true>(p_, enemy_, to, (occupied_ & ~squareBit(from)) | squareBit(to),
                               p_.pieces(enemy_) & ~squareBit(to)) == 0;
  }
  [[nodiscard]] bool byApplying(PackedMove move) const {
    Position after = p_;
    applyMove(after, move);
    return !attacked(after, enemy_, after.kingSquare(p_.turn));
  }

 private:
  const Position& p_;
  Colour enemy_;
  SquareCode king_;
  std::uint64_t occupied_;
  std::uint64_t evasion_ = ~std::uint64_t{0};
  std::uint64_t pinned_ = 0;
  std::array<std::uint64_t, 64> pinLine_;  // read only for pinned pieces
};

// No legality test: every pseudo-legal move passes.
struct PseudoLegality {
  [[nodiscard]] static constexpr std::uint64_t pinned() noexcept { return 0; }
  [[nodiscard]] static constexpr std::uint64_t evasion() noexcept { return ~std::uint64_t{0}; }
  [[nodiscard]] static constexpr std::uint64_t allowed(SquareCode) noexcept {
    return ~std::uint64_t{0};
  }
  [[nodiscard]] static constexpr bool kingStep(SquareCode, SquareCode) noexcept { return true; }
  [[nodiscard]] static constexpr bool byApplying(PackedMove) noexcept { return true; }
};

//=== The generator ===//

// Takes the moves of the generator one by one (`operator()`, false to stop) or, when counting,
// also whole target sets at once (`add`).
struct MoveCounter {
  std::size_t count = 0;
  bool operator()(PackedMove) noexcept {
    ++count;
    return true;
  }
  void add(int n) noexcept { count += static_cast<std::size_t>(n); }
};

// The moves of the side to move in generation order, filtered by `legality`, each given to
// `visit` until it returns false (then false is returned). `Counting` lets the generator hand
// over sets of moves that need no test of their own, and the free pawns' moves all at once.
template <bool Counting, typename Legal, typename Visit>
class Generator {
 public:
  Generator(const Position& p, const Legal& legality, Visit& visit) noexcept
      : p_(p),
        legality_(legality),
        visit_(visit),
        own_(p.pieces(p.turn)),
        occupied_(p.occupied()),
        white_(p.turn == Colour::White) {}

  bool all() {
    std::uint64_t pieces = own_;
    if constexpr (Counting) {
      const std::uint64_t free =
          p_.pieces(p_.turn, PieceType::Pawn) & ~enPassantRow() & ~legality_.pinned();
      visit_.add(freePawnMoves(free));
      pieces &= ~free;
    }
    for (; pieces != 0; pieces &= pieces - 1) {
      const auto from = static_cast<SquareCode>(std::countr_zero(pieces));
      if (!piece(p_.typeOn(from), from)) return false;
    }
    return true;
  }

  // The moves of a piece of the given type on `from` (standing there or not).
  bool piece(PieceType type, SquareCode from) {
    switch (type) {
      case PieceType::King: return kingSteps(from) && castlings();
      case PieceType::Knight: return steps(from, knightTargets);
      case PieceType::Rook: return slides<rookOrder>(from);
      case PieceType::Bishop: return slides<bishopOrder>(from);
      case PieceType::Queen: return slides<rookOrder>(from) && slides<bishopOrder>(from);
      case PieceType::Pawn: return pawn(from);
    }
    return true;
  }

  // The castling moves whose conditions hold (the landing square is left to the legality test),
  // king side first.
  bool castlings() {
    const Colour colour = p_.turn;
    const Colour other = toggle(colour);
    for (BoardSide side : {BoardSide::KingSide, BoardSide::QueenSide}) {
      if (!p_.castleStatus.holds(side, colour)) continue;
      const auto pairs = castling(colour, side);
      const SquareCode kingFrom = squareCode(pairs[0].first);
      const SquareCode kingTo = squareCode(pairs[0].second);
      const SquareCode rookFrom = squareCode(pairs[1].first);
      if (p_.cells[kingFrom] != cellOf({colour, PieceType::King})) continue;
      if (p_.cells[rookFrom] != cellOf({colour, PieceType::Rook})) continue;
      if ((lines.between[kingFrom][rookFrom] & occupied_) != 0) continue;
      const auto crossed = static_cast<SquareCode>((kingFrom + kingTo) / 2);
      if (attacked(p_, other, kingFrom) || attacked(p_, other, crossed)) continue;
      const PackedMove move = packedMove(kingFrom, kingTo);
      if (legality_.byApplying(move) && !visit_(move)) return false;
    }
    return true;
  }

 private:
  [[nodiscard]] std::uint64_t enPassantRow() const noexcept {
    return 0xFFULL << (8U * (white_ ? 3U : 4U));
  }

  // The squares of ray `D` in `targets`, nearest first; the direction is a template argument,
  // so that which end of the set comes next is known when compiling.
  template <std::size_t D>
  bool ray(SquareCode from, std::uint64_t allowed) {
    for (std::uint64_t targets = rayTargets(from, D, occupied_) & allowed; targets != 0;) {
      const SquareCode to = nearestOn(targets, D);
      targets &= ~squareBit(to);
      if (!visit_(packedMove(from, to))) return false;
    }
    return true;
  }

  // Each direction's reachable squares in the order of `Order`, nearest first.
  template <const std::array<std::size_t, 4>& Order>
  bool slides(SquareCode from) {
    const std::uint64_t allowed = ~own_ & legality_.allowed(from);
    if constexpr (Counting) {
      std::uint64_t targets = 0;
      for (std::size_t d : Order) targets |= rayTargets(from, d, occupied_);
      visit_.add(countBits(targets & allowed));
      return true;
    }
    return ray<Order[0]>(from, allowed) && ray<Order[1]>(from, allowed) &&
           ray<Order[2]>(from, allowed) && ray<Order[3]>(from, allowed);
  }

  // The table's squares in table order that the legality allows.
  bool steps(SquareCode from, const StepTargets& table) {
    const std::uint64_t allowed = ~own_ & legality_.allowed(from);
    if constexpr (Counting) {
      visit_.add(countBits(table.mask[from] & allowed));
      return true;
    }
    for (std::uint8_t i = 0; i < table.count[from]; ++i) {
      const SquareCode to = table.squares[from][i];
      if ((allowed & squareBit(to)) != 0 && !visit_(packedMove(from, to))) return false;
    }
    return true;
  }

  // The king's steps onto squares where it would not stand attacked.
  bool kingSteps(SquareCode from) {
    for (std::uint8_t i = 0; i < kingTargets.count[from]; ++i) {
      const SquareCode to = kingTargets.squares[from][i];
      if ((own_ & squareBit(to)) != 0 || !legality_.kingStep(from, to)) continue;
      if (!visit_(packedMove(from, to))) return false;
    }
    return true;
  }

  // One pawn's advance, double step and captures (each a promotion to four types on the last
  // row), then its en-passant captures.
  bool pawn(SquareCode from) {
    const int d = white_ ? -1 : 1;
    const int row = from / 8;  // 0 for the first row
    const int column = from % 8;
    const bool onEnPassantRow = row == (white_ ? 3 : 4);
    const std::uint64_t enemy = p_.pieces(toggle(p_.turn));
    std::array<SquareCode, 4> targets{};
    std::size_t count = 0;
    // The advance must stay on the board: a pawn left unpromoted on its last row has no advance.
    const int next = row + d;
    if (next < 0 || next > 7) return true;
    const auto advance = static_cast<SquareCode>(next * 8 + column);
    if ((occupied_ & squareBit(advance)) == 0) {
      targets[count++] = advance;
      const auto twoAhead = static_cast<SquareCode>((row + 2 * d) * 8 + column);
      if (row == (white_ ? 6 : 1) && (occupied_ & squareBit(twoAhead)) == 0) {
        targets[count++] = twoAhead;
      }
    }
    for (int dc : {-1, 1}) {
      const int c = column + dc;
      const auto target = static_cast<SquareCode>(next * 8 + c);
      if (c >= 0 && c <= 7 && (enemy & squareBit(target)) != 0) targets[count++] = target;
    }
    const std::uint64_t allowed = legality_.allowed(from);
    if (row == (white_ ? 1 : 6)) {
      for (std::size_t i = 0; i < count; ++i) {
        if ((allowed & squareBit(targets[i])) == 0) continue;
        for (PieceType t :
             {PieceType::Queen, PieceType::Rook, PieceType::Bishop, PieceType::Knight}) {
          if (!visit_(packedPromotion(from, targets[i], t))) return false;
        }
      }
      return true;
    }
    for (std::size_t i = 0; i < count; ++i) {
      const PackedMove move = packedMove(from, targets[i]);
      // A diagonal move from the en-passant row may be an en-passant capture when applied.
      const bool legal = onEnPassantRow && targets[i] % 8 != column
                             ? legality_.byApplying(move)
                             : (allowed & squareBit(targets[i])) != 0;
      if (legal && !visit_(move)) return false;
    }
    if (!onEnPassantRow || p_.lastMove == noMove) return true;
    const std::uint8_t enemyPawn = cellOf({toggle(p_.turn), PieceType::Pawn});
    for (int dc : {-1, 1}) {
      const int c = column + dc;
      if (c < 0 || c > 7) continue;
      const auto beside = static_cast<SquareCode>(row * 8 + c);
      const auto start = static_cast<SquareCode>((row + 2 * d) * 8 + c);
      if (p_.cells[beside] != enemyPawn || p_.lastMove != packedMove(start, beside)) continue;
      const PackedMove move = packedMove(from, static_cast<SquareCode>(next * 8 + c));
      if (legality_.byApplying(move) && !visit_(move)) return false;
    }
    return true;
  }

  // The number of moves of `pawns` (unpinned, off the en-passant row): advances, double steps
  // and captures shifted as sets and kept where they end every check, a promotion counting four.
  int freePawnMoves(std::uint64_t pawns) const noexcept {
    constexpr std::uint64_t fileA = 0x0101010101010101ULL;
    constexpr std::uint64_t fileH = fileA << 7U;
    const std::uint64_t empty = ~occupied_;
    const std::uint64_t evasion = legality_.evasion();
    const std::uint64_t enemy = p_.pieces(toggle(p_.turn));
    const bool white = white_;
    // Moving one row towards the far side: down the codes for White, up for Black.
    auto forward = [white](std::uint64_t b, unsigned shift) {
      return white ? b >> shift : b << shift;
    };
    const std::uint64_t startRow = white ? 0xFFULL << 48U : 0xFFULL << 8U;
    const std::uint64_t promotionRow = white ? 0xFFULL << 8U : 0xFFULL << 48U;
    const std::uint64_t promoting = pawns & promotionRow;
    const std::uint64_t others = pawns & ~promotionRow;
    auto targets = [&](std::uint64_t from) {
      const std::uint64_t advance = forward(from, 8) & empty & evasion;
      const std::uint64_t left = forward(from & ~fileA, white ? 9 : 7) & enemy & evasion;
      const std::uint64_t right = forward(from & ~fileH, white ? 7 : 9) & enemy & evasion;
      return countBits(advance) + countBits(left) + countBits(right);
    };
    const std::uint64_t doubleStep =
        forward(forward(others & startRow, 8) & empty, 8) & empty & evasion;
    return targets(others) + countBits(doubleStep) + (promoting != 0 ? 4 * targets(promoting) : 0);
  }

  const Position& p_;
  const Legal& legality_;
  Visit& visit_;
  std::uint64_t own_;
  std::uint64_t occupied_;
  bool white_;
};

template <bool Counting, typename Legal, typename Visit>
bool generate(const Position& p, const Legal& legality, Visit&& visit) {
  return Generator<Counting, Legal, std::remove_reference_t<Visit>>(p, legality, visit).all();
}

// A legality test narrowed to the moves that land on `targets` (castling aside, which the
// caller drops): the search's quiescence asks only for captures and promotions, and the
// generator then skips every other target without testing it.
template <typename Legal>
class Targeted {
 public:
  Targeted(const Legal& inner, std::uint64_t targets) noexcept : inner_(inner), targets_(targets) {}
  [[nodiscard]] std::uint64_t pinned() const noexcept { return inner_.pinned(); }
  [[nodiscard]] std::uint64_t evasion() const noexcept { return inner_.evasion(); }
  [[nodiscard]] std::uint64_t allowed(SquareCode from) const noexcept {
    return inner_.allowed(from) & targets_;
  }
  [[nodiscard]] bool kingStep(SquareCode from, SquareCode to) const noexcept {
    return (targets_ & squareBit(to)) != 0 && inner_.kingStep(from, to);
  }
  [[nodiscard]] bool byApplying(PackedMove move) const { return inner_.byApplying(move); }

 private:
  const Legal& inner_;
  std::uint64_t targets_;
};

// The first pseudo-legal move of the side to move, if any.
std::optional<PackedMove> firstPseudoLegalMove(const Position& p) {
  std::optional<PackedMove> first;
  generate<false>(p, PseudoLegality{}, [&](PackedMove m) {
    first = m;
    return false;
  });
  return first;
}

// `p` with `colour` to move, for the questions asked of a given colour's pieces.
Position withTurn(const State& state, Colour colour) {
  Position p = positionOf(state);
  p.turn = colour;
  return p;
}

MoveList unpacked(const PackedMoveList& moves) {
  MoveList out;
  for (const PackedMove m : moves) out.push(unpackMove(m));
  return out;
}

}  // namespace

//=== Attacks and check ===//

bool attacked(const SquareMap& squares, Colour colour, SquareCode square) noexcept {
  return findAttackers<true>(squares, colour, square, squares.occupied(), squares.pieces(colour)) !=
         0;
}

bool inCheck(const Position& position) noexcept {
  return attacked(position, toggle(position.turn), position.kingSquare(position.turn));
}

std::uint64_t attackersTo(const SquareMap& squares, SquareCode square,
                          std::uint64_t occupied) noexcept {
  const std::uint64_t others = occupied & ~squareBit(square);
  return findAttackers<false>(squares, Colour::White, square, occupied,
                              squares.pieces(Colour::White) & others) |
         findAttackers<false>(squares, Colour::Black, square, occupied,
                              squares.pieces(Colour::Black) & others);
}

std::uint64_t pieceAttacks(PieceType type, Colour colour, SquareCode square,
                           std::uint64_t occupied) noexcept {
  std::uint64_t targets = 0;
  switch (type) {
    case PieceType::King: return kingTargets.mask[square];
    case PieceType::Knight: return knightTargets.mask[square];
    case PieceType::Pawn: return pawnSources.mask[static_cast<std::size_t>(toggle(colour))][square];
    case PieceType::Rook:
      for (std::size_t d : orthogonalRays) targets |= rayTargets(square, d, occupied);
      return targets;
    case PieceType::Bishop:
      for (std::size_t d : diagonalRays) targets |= rayTargets(square, d, occupied);
      return targets;
    case PieceType::Queen:
      for (std::size_t d = 0; d < 8; ++d) targets |= rayTargets(square, d, occupied);
      return targets;
  }
  return targets;
}

std::optional<Piece> nextPieceInLine(const Board& board, Location square, int rowStep,
                                     int columnStep) {
  if (rowStep == 0 && columnStep == 0) fatalError("nextPieceInLine called without a direction");
  const std::uint8_t cell = firstCellInLine(board, square, rowStep, columnStep);
  if (cell == 0) return std::nullopt;
  return pieceOfCode(static_cast<PieceCode>(cell - 1));
}

bool givenColourIsAttackingTheSquare(const Board& board, Colour colour, Location square) {
  if (inBoard(square)) return attacked(board.squares, colour, squareCode(square));
  return attackedSquareBySquare(board, colour, square, true);
}

bool slowGivenColourIsAttackingTheSquare(const Board& board, Colour colour, Location square) {
  return attackedSquareBySquare(board, colour, square, false);
}

bool inCheck(const State& state, Colour colour) {
  const Location king = findKing(state.getBoard, colour);
  return attacked(state.getBoard.squares, toggle(colour), squareCode(king));
}

bool moveResultsInOwnCheck(const State& state, Move move) {
  return inCheck(makeMove(state, move), state.turn);
}

//=== Castling ===//

std::vector<Location> inBetweenSquares(Location kingFrom, Location rookFrom) {
  if (kingFrom.row != rookFrom.row) fatalError("inBetweenSquares diff rows");
  std::vector<Location> out;
  const std::int32_t low = std::min(kingFrom.column, rookFrom.column);
  const std::int32_t high = std::max(kingFrom.column, rookFrom.column);
  for (std::int64_t c = std::int64_t{low} + 1; c < high; ++c) {
    out.push_back({kingFrom.row, static_cast<std::int32_t>(c)});
  }
  return out;
}

std::array<Location, 2> kingInbetweenSquares(Location kingFrom, Location kingTo) {
  if (kingFrom.row != kingTo.row) fatalError("kingInbetweenSquares diff rows");
  const std::int64_t sum = std::int64_t{kingFrom.column} + kingTo.column;
  const std::int64_t half = sum >= 0 ? sum / 2 : -((-sum + 1) / 2);  // rounded down
  return {kingFrom, {kingFrom.row, static_cast<std::int32_t>(half)}};
}

MoveList castlingMoves(Colour colour, const State& state) {
  const Position p = withTurn(state, colour);
  PackedMoveList out;
  auto add = [&](PackedMove m) {
    out.push(m);
    return true;
  };
  Generator<false, PseudoLegality, decltype(add)>(p, PseudoLegality{}, add).castlings();
  return unpacked(out);
}

//=== Move generation ===//

MoveList possibleMovesForPiece(Piece piece, Location square, const State& state) {
  // Pieces only ever stand on the board; a square off it has no generation rule.
  if (!inBoard(square)) fatalError("Shouldn't happen");
  const Position p = withTurn(state, piece.colour);
  PackedMoveList out;
  auto add = [&](PackedMove m) {
    out.push(m);
    return true;
  };
  Generator<false, PseudoLegality, decltype(add)>(p, PseudoLegality{}, add)
      .piece(piece.type, squareCode(square));
  return unpacked(out);
}

void generateLegalMoves(const Position& position, PackedMoveList& out) {
  out.clear();
  generate<false>(position, Legality(position), [&](PackedMove m) {
    out.push(m);
    return true;
  });
}

void generateForcingMoves(const Position& position, PackedMoveList& out) {
  out.clear();
  const bool white = position.turn == Colour::White;
  const std::uint64_t lastRow = white ? 0xFFULL : 0xFFULL << 56U;
  const std::uint64_t enemy = position.pieces(toggle(position.turn));
  const Legality legality(position);
  generate<false>(position, Targeted<Legality>(legality, enemy | lastRow), [&](PackedMove m) {
    if (isPackedPromotion(m) ? packedPromoted(m) == PieceType::Queen
                             : (squareBit(packedTo(m)) & enemy) != 0)
      out.push(m);
    return true;
  });
  // An en-passant capture lands on the empty square the double step passed over.
  const PackedMove last = position.lastMove;
  if (last == noMove || position.cells[packedTo(last)] == 0 ||
      typeOfCell[position.cells[packedTo(last)]] != PieceType::Pawn ||
      (packedFrom(last) ^ packedTo(last)) != 16) {
    return;
  }
  const auto passedOver = static_cast<SquareCode>((packedFrom(last) + packedTo(last)) / 2);
  const std::uint64_t pawns = position.pieces(position.turn, PieceType::Pawn);
  generate<false>(position, Targeted<Legality>(legality, squareBit(passedOver)), [&](PackedMove m) {
    if ((pawns & squareBit(packedFrom(m))) != 0 && packedTo(m) == passedOver) out.push(m);
    return true;
  });
}

std::size_t countLegalMoves(const Position& position) {
  MoveCounter counter;
  generate<true>(position, Legality(position), counter);
  return counter.count;
}

bool hasLegalMove(const Position& position) {
  const Legality legality(position);
  // The king's steps first: it is asked mostly of a side in check, whose king can often step away.
  const SquareCode king = position.kingSquare(position.turn);
  for (std::uint64_t t = kingTargets.mask[king] & ~position.pieces(position.turn); t != 0;
       t &= t - 1) {
    if (legality.kingStep(king, static_cast<SquareCode>(std::countr_zero(t)))) return true;
  }
  return !generate<false>(position, legality, [](PackedMove) { return false; });
}

void generateLegalMoves(const State& state, MoveList& out) {
  out.clear();
  const Position p = positionOf(state);
  if (!moverHasOneKing(p, GamePath(state))) return;
  generate<false>(p, Legality(p), [&](PackedMove m) {
    out.push(unpackMove(m));
    return true;
  });
}

MoveList legalMoves(const State& state) {
  MoveList out;
  generateLegalMoves(state, out);
  return out;
}

bool hasLegalMove(const State& state) {
  const Position p = positionOf(state);
  return moverHasOneKing(p, GamePath(state)) && hasLegalMove(p);
}

std::size_t countLegalMoves(const State& state) {
  const Position p = positionOf(state);
  return moverHasOneKing(p, GamePath(state)) ? countLegalMoves(p) : 0;
}

//=== Irregular positions ===//

std::optional<std::string> irregularity(const Position& p) {
  for (const Colour colour : {Colour::White, Colour::Black}) {
    const int kings = countBits(p.pieces(colour, PieceType::King));
    if (kings == 0) return showColourName(colour) + " has no king";
    if (kings > 1) return showColourName(colour) + " has " + std::to_string(kings) + " kings";
  }
  const Colour moved = toggle(p.turn);
  if (attacked(p, p.turn, p.kingSquare(moved))) {
    return showColourName(moved) + " is in check with " + showColourName(p.turn) + " to move";
  }
  return std::nullopt;
}

State GamePath::state() const {
  if (parent_ == nullptr) return *root_;
  return makeMove(parent_->state(), move_);
}

void GamePath::reportKings(Colour colour) const {
  (void)findKing(state().getBoard, colour);
  fatalError("findKing found one king where the position has another count");
}

bool moverHasOneKing(const Position& position, const GamePath& path) {
  if (position.hasOneKing(position.turn)) return true;
  if (const std::optional<PackedMove> first = firstPseudoLegalMove(position)) {
    GamePath(path, unpackMove(*first)).reportKings(position.turn);
  }
  return false;
}

//=== Move tests without applying ===//

CheckTest::CheckTest(const Position& p) noexcept {
  const Colour mover = p.turn;
  const SquareCode king = p.kingSquare(toggle(mover));
  const std::uint64_t occupied = p.occupied();
  std::uint64_t diagonal = 0;
  std::uint64_t straight = 0;
  for (std::size_t d : diagonalRays) diagonal |= rayTargets(king, d, occupied);
  for (std::size_t d : orthogonalRays) straight |= rayTargets(king, d, occupied);
  attackFrom_[static_cast<std::size_t>(PieceType::King)] = kingTargets.mask[king] | squareBit(king);
  attackFrom_[static_cast<std::size_t>(PieceType::Queen)] = diagonal | straight;
  attackFrom_[static_cast<std::size_t>(PieceType::Rook)] = straight;
  attackFrom_[static_cast<std::size_t>(PieceType::Knight)] = knightTargets.mask[king];
  attackFrom_[static_cast<std::size_t>(PieceType::Bishop)] = diagonal;
  attackFrom_[static_cast<std::size_t>(PieceType::Pawn)] =
      pawnSources.mask[static_cast<std::size_t>(mover)][king];
  const std::uint64_t own = p.pieces(mover);
  uncovering_ =
      loneBlockers(king, occupied, own, diagonalSliders(p, own), straightSliders(p, own), lineOf_);
}

}  // namespace quenlor
