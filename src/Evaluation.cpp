#include "Evaluation.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdlib>

#include "Rules.h"

namespace quenlor {

namespace {

//=== Geometry of the evaluation ===//

// A square's file (0 = a) and its rank counted from a colour's own side (0 = its back rank).
constexpr int fileOf(SquareCode sq) noexcept {
  return sq % 8;
}
constexpr int relativeRankOf(Colour colour, SquareCode sq) noexcept {
  return colour == Colour::White ? 7 - sq / 8 : sq / 8;
}
// The square one step towards the far side for a colour's pawns.
constexpr int forwardStep(Colour colour) noexcept {
  return colour == Colour::White ? -8 : 8;
}
constexpr std::uint64_t fileA = 0x0101010101010101ULL;
constexpr std::uint64_t fileMask(int file) noexcept {
  return fileA << static_cast<unsigned>(file);
}
constexpr std::uint64_t adjacentFiles(int file) noexcept {
  return (file > 0 ? fileMask(file - 1) : 0) | (file < 7 ? fileMask(file + 1) : 0);
}
// The squares strictly in front of `sq` (towards the far side of `colour`) on the board.
constexpr std::uint64_t aheadOf(Colour colour, SquareCode sq) noexcept {
  const unsigned row = sq / 8U;
  if (colour == Colour::White) return row == 0 ? 0 : ~std::uint64_t{0} >> (64U - 8U * row);
  return row == 7 ? 0 : ~std::uint64_t{0} << (8U * (row + 1U));
}
int distance(SquareCode a, SquareCode b) noexcept {
  return std::max(std::abs(a % 8 - b % 8), std::abs(a / 8 - b / 8));
}
// How far a square lies from the four centre squares, 0 to 6.
int centreDistance(SquareCode sq) noexcept {
  const int f = sq % 8;
  const int r = sq / 8;
  return std::max(3 - f, f - 4) + std::max(3 - r, r - 4);
}

//=== Terms ===//

// A term with its middle-game and end-game weights.
struct Pair {
  int mg = 0;
  int eg = 0;
  constexpr Pair& operator+=(Pair o) noexcept {
    mg += o.mg;
    eg += o.eg;
    return *this;
  }
  constexpr Pair& operator-=(Pair o) noexcept {
    mg -= o.mg;
    eg -= o.eg;
    return *this;
  }
  friend constexpr Pair operator*(Pair a, int k) noexcept { return {a.mg * k, a.eg * k}; }
};

// clang-format off
constexpr std::array<Pair, 6> material{{
    {0, 0} /*K*/, {1025, 936} /*Q*/, {477, 512} /*R*/, {337, 281} /*N*/, {365, 297} /*B*/,
    {82, 94} /*P*/}};
// The weight of each type in the game phase: 24 with every piece on the board.
constexpr std::array<int, 6> phaseWeight{0, 4, 2, 1, 1, 0};
// How central a file or rank is, from the edge (-3) to the middle (3).
constexpr std::array<int, 8> centrality{-3, -1, 1, 3, 3, 1, -1, -3};
constexpr std::array<int, 8> pawnAdvanceMg{0, 0, 2, 6, 12, 22, 35, 0};
constexpr std::array<int, 8> pawnAdvanceEg{0, 0, 4, 10, 18, 30, 45, 0};
constexpr std::array<int, 8> passedMg{0, 5, 8, 14, 26, 45, 70, 0};
constexpr std::array<int, 8> passedEg{0, 12, 16, 28, 50, 85, 135, 0};
constexpr std::array<int, 8> kingBackRank{20, 30, 10, 0, 0, 10, 30, 20};
// Mobility: the squares a piece reaches beyond a typical number, per square.
constexpr std::array<Pair, 6> mobilityWeight{{{0, 0}, {1, 2}, {2, 4}, {4, 4}, {5, 5}, {0, 0}}};
constexpr std::array<int, 6> mobilityBase{0, 14, 7, 4, 6, 0};
// The weight of an attacker near the enemy king, by type.
constexpr std::array<int, 6> kingAttackWeight{0, 5, 3, 2, 2, 0};
// clang-format on

// Placement of a piece of `type` on a file and relative rank, White's view.
Pair placement(PieceType type, int f, int r) noexcept {
  const int centre =
      centrality[static_cast<std::size_t>(f)] + centrality[static_cast<std::size_t>(r)];
  switch (type) {
    case PieceType::Pawn: {
      Pair p{pawnAdvanceMg[static_cast<std::size_t>(r)],
             pawnAdvanceEg[static_cast<std::size_t>(r)]};
      if ((f == 3 || f == 4) && (r == 3 || r == 4)) p.mg += 18;
      if ((f == 2 || f == 5) && (r == 3 || r == 4)) p.mg += 6;
      if ((f == 3 || f == 4) && r == 1) p.mg -= 8;
      return p;
    }
    case PieceType::Knight: return {4 * centre - (r == 0 ? 12 : 0), 4 * centre};
    case PieceType::Bishop:
      return {2 * centre - (r == 0 ? 10 : 0) + (f == r || f == 7 - r ? 8 : 0), 2 * centre};
    case PieceType::Rook: return {(r == 6 ? 20 : 0) + ((f == 3 || f == 4) && r == 0 ? 6 : 0), 0};
    case PieceType::Queen: return {centre - (r == 0 ? 4 : 0), 3 * centre};
    case PieceType::King: {
      // Safe behind its pawns in a corner in the middle game, central in the end game.
      const bool middleFile = f >= 2 && f <= 5;
      const int mg = r == 0   ? kingBackRank[static_cast<std::size_t>(f)]
                     : r == 1 ? (middleFile ? -5 : 5)
                              : -20 * r;
      return {mg, 7 * centre};
    }
  }
  return {};
}

// Material plus placement of every piece on every square, by cell, from White's view.
struct PieceSquare {
  std::array<std::array<Pair, 64>, 13> table{};
};

PieceSquare makePieceSquare() {
  PieceSquare t{};
  for (std::uint8_t cell = 1; cell <= 12; ++cell) {
    const Colour colour = colourOfCell[cell];
    const PieceType type = typeOfCell[cell];
    for (SquareCode sq = 0; sq < 64; ++sq) {
      Pair value = material[static_cast<std::size_t>(type)];
      value += placement(type, fileOf(sq), relativeRankOf(colour, sq));
      t.table[cell][sq] = colour == Colour::White ? value : value * -1;
    }
  }
  return t;
}

const PieceSquare pieceSquare = makePieceSquare();

// The squares the pawns of a colour attack.
std::uint64_t pawnAttacks(Colour colour, std::uint64_t pawns) noexcept {
  constexpr std::uint64_t notA = ~fileA;
  constexpr std::uint64_t notH = ~(fileA << 7U);
  if (colour == Colour::White) return ((pawns & notA) >> 9U) | ((pawns & notH) >> 7U);
  return ((pawns & notA) << 7U) | ((pawns & notH) << 9U);
}

// Pawn structure and passed pawns of one colour, from its own view.
Pair pawnTerms(const Position& p, Colour us) noexcept {
  const Colour them = toggle(us);
  const std::uint64_t ours = p.pieces(us, PieceType::Pawn);
  const std::uint64_t theirs = p.pieces(them, PieceType::Pawn);
  const SquareCode ownKing = p.kingSquare(us);
  const SquareCode enemyKing = p.kingSquare(them);
  Pair score;
  for (std::uint64_t bits = ours; bits != 0; bits &= bits - 1) {
    const auto sq = static_cast<SquareCode>(std::countr_zero(bits));
    const int f = fileOf(sq);
    const int r = relativeRankOf(us, sq);
    if ((ours & adjacentFiles(f)) == 0) score -= Pair{10, 14};
    if ((ours & fileMask(f) & aheadOf(us, sq)) != 0) score -= Pair{8, 18};
    const std::uint64_t front = aheadOf(us, sq) & (fileMask(f) | adjacentFiles(f));
    // A pawn left on the far rank (possible in a set-up position) has no square in front.
    if ((theirs & front) != 0 || r == 7) continue;
    // A passed pawn: worth more the further it is, and in the end game the closer the own king
    // and the farther the enemy king from the square in front of it.
    score += Pair{passedMg[static_cast<std::size_t>(r)], passedEg[static_cast<std::size_t>(r)]};
    const auto stop = static_cast<SquareCode>(sq + forwardStep(us));
    if (r >= 3) {
      score.eg += (5 * distance(enemyKing, stop) - 2 * distance(ownKing, stop)) * (r - 2);
    }
    if (p.cells[stop] != 0)
      score -= Pair{passedMg[static_cast<std::size_t>(r)] / 3,
                    passedEg[static_cast<std::size_t>(r)] / 3};
  }
  return score;
}

// Mobility, rooks on open files, the bishop pair and the attack on the enemy king of one colour,
// with the shelter of its own king, from its own view.
Pair pieceTerms(const Position& p, Colour us) noexcept {
  const Colour them = toggle(us);
  const std::uint64_t occupied = p.occupied();
  const std::uint64_t own = p.pieces(us);
  const std::uint64_t ourPawns = p.pieces(us, PieceType::Pawn);
  const std::uint64_t theirPawns = p.pieces(them, PieceType::Pawn);
  const std::uint64_t safe = ~own & ~pawnAttacks(them, theirPawns);
  const SquareCode enemyKing = p.kingSquare(them);
  const std::uint64_t kingZone =
      pieceAttacks(PieceType::King, them, enemyKing, occupied) | squareBit(enemyKing);
  Pair score;
  int attackers = 0;
  int attackUnits = 0;
  for (std::uint64_t bits = own & ~ourPawns & ~p.pieces(PieceType::King); bits != 0;
       bits &= bits - 1) {
    const auto sq = static_cast<SquareCode>(std::countr_zero(bits));
    const PieceType type = p.typeOn(sq);
    const auto t = static_cast<std::size_t>(type);
    const std::uint64_t reach = pieceAttacks(type, us, sq, occupied);
    score += mobilityWeight[t] * (countBits(reach & safe) - mobilityBase[t]);
    if (const std::uint64_t near = reach & kingZone; near != 0) {
      ++attackers;
      attackUnits += kingAttackWeight[t] * countBits(near);
    }
    if (type == PieceType::Rook) {
      const std::uint64_t file = fileMask(fileOf(sq));
      if ((file & ourPawns) == 0) score += (file & theirPawns) == 0 ? Pair{25, 10} : Pair{12, 6};
    }
  }
  if (countBits(p.pieces(us, PieceType::Bishop)) >= 2) score += Pair{30, 50};
  if (attackers >= 2 && p.pieces(us, PieceType::Queen) != 0) {
    score.mg += std::min(attackUnits * attackUnits / 2, 500);
  }
  // The own king's pawn shelter, while it stays near its back rank.
  const SquareCode king = p.kingSquare(us);
  if (relativeRankOf(us, king) <= 1) {
    const int kf = std::clamp(fileOf(king), 1, 6);
    for (int f = kf - 1; f <= kf + 1; ++f) {
      const std::uint64_t shield = ourPawns & fileMask(f) & aheadOf(us, king);
      if (shield == 0) {
        score.mg -= 18;
        continue;
      }
      const auto nearest = static_cast<SquareCode>(
          us == Colour::White ? 63 - std::countl_zero(shield) : std::countr_zero(shield));
      score.mg += relativeRankOf(us, nearest) - relativeRankOf(us, king) == 1 ? 12 : 5;
    }
  }
  return score;
}

// The material of a colour's pieces other than pawns, in middle-game values.
int pieceMaterial(const Position& p, Colour colour) noexcept {
  int sum = 0;
  for (PieceType t : {PieceType::Queen, PieceType::Rook, PieceType::Knight, PieceType::Bishop}) {
    sum += countBits(p.pieces(colour, t)) * material[static_cast<std::size_t>(t)].mg;
  }
  return sum;
}

}  // namespace

std::int32_t exchangeValue(PieceType type) noexcept {
  constexpr std::array<std::int32_t, 6> values{0, 950, 500, 320, 320, 100};
  return values[static_cast<std::size_t>(type)];
}

bool hasPieces(const Position& position, Colour colour) noexcept {
  return (position.pieces(colour) & ~position.pieces(PieceType::Pawn) &
          ~position.pieces(PieceType::King)) != 0;
}

std::int32_t evaluateStrong(const Position& p) noexcept {
  Pair white;
  int phase = 0;
  for (std::uint64_t bits = p.occupied(); bits != 0; bits &= bits - 1) {
    const auto sq = static_cast<SquareCode>(std::countr_zero(bits));
    white += pieceSquare.table[p.cells[sq]][sq];
    phase += phaseWeight[static_cast<std::size_t>(p.typeOn(sq))];
  }
  white += pawnTerms(p, Colour::White);
  white -= pawnTerms(p, Colour::Black);
  white += pieceTerms(p, Colour::White);
  white -= pieceTerms(p, Colour::Black);
  phase = std::min(phase, 24);
  int score = (white.mg * phase + white.eg * (24 - phase)) / 24;

  // Without pawns a small material edge rarely wins: scale it down; a bare king is driven to
  // the edge and the strong king brought close, so that the mate comes into the search's reach.
  const int whitePawns = countBits(p.pieces(Colour::White, PieceType::Pawn));
  const int blackPawns = countBits(p.pieces(Colour::Black, PieceType::Pawn));
  const Colour strong = score >= 0 ? Colour::White : Colour::Black;
  const Colour weak = toggle(strong);
  const int strongPawns = strong == Colour::White ? whitePawns : blackPawns;
  const int edge = pieceMaterial(p, strong) - pieceMaterial(p, weak);
  if (strongPawns == 0 && edge <= material[static_cast<std::size_t>(PieceType::Bishop)].mg) {
    score /= edge <= 0 || pieceMaterial(p, strong) < material[2].mg ? 16 : 4;
  } else if (p.pieces(weak) == p.pieces(weak, PieceType::King) && edge > 0) {
    const SquareCode loser = p.kingSquare(weak);
    const SquareCode winner = p.kingSquare(strong);
    const int drive = 12 * centreDistance(loser) + 6 * (7 - distance(loser, winner));
    score += strong == Colour::White ? drive : -drive;
  }
  const int tempo = 10;
  return (p.turn == Colour::White ? score : -score) + tempo;
}

bool exchangeAtLeast(const Position& p, PackedMove move, std::int32_t threshold) noexcept {
  if (isPackedPromotion(move)) return true;
  const SquareCode from = packedFrom(move);
  const SquareCode to = packedTo(move);
  const PieceType mover = p.typeOn(from);
  const bool enPassant = mover == PieceType::Pawn && from % 8 != to % 8 && p.cells[to] == 0;
  int swap = (p.cells[to] != 0 ? exchangeValue(p.typeOn(to)) : enPassant ? 100 : 0) - threshold;
  if (swap < 0) return false;
  swap = exchangeValue(mover) - swap;
  if (swap <= 0) return true;
  std::uint64_t occupied = (p.occupied() ^ squareBit(from)) | squareBit(to);
  Colour side = p.turn;
  bool won = true;
  while (true) {
    side = toggle(side);
    const std::uint64_t attackers = attackersTo(p, to, occupied) & occupied & p.pieces(side);
    if (attackers == 0) break;
    won = !won;
    PieceType least = PieceType::King;
    for (PieceType t : {PieceType::Pawn, PieceType::Knight, PieceType::Bishop, PieceType::Rook,
                        PieceType::Queen}) {
      if ((attackers & p.pieces(t)) != 0) {
        least = t;
        break;
      }
    }
    if (least == PieceType::King) {
      // The king may take only when nothing defends the square any more.
      if ((attackersTo(p, to, occupied) & occupied & p.pieces(toggle(side))) != 0) won = !won;
      break;
    }
    swap = exchangeValue(least) - swap;
    if (swap < static_cast<int>(won)) break;
    const std::uint64_t chosen = attackers & p.pieces(least);
    occupied ^= chosen & (0 - chosen);
  }
  return won;
}

}  // namespace quenlor
