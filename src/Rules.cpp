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

// clang-format off
constexpr std::array<Offset, 8> kingOffsets{{{-1,-1},{-1,0},{-1,1},{0,-1},{0,1},{1,-1},{1,0},{1,1}}};
constexpr std::array<Offset, 8> knightOffsets{{{1,2},{2,1},{-1,2},{-2,1},{1,-2},{2,-1},{-1,-2},{-2,-1}}};
constexpr std::array<Offset, 4> rookDirections{{{0,1},{0,-1},{1,0},{-1,0}}};
constexpr std::array<Offset, 4> bishopDirections{{{1,1},{1,-1},{-1,1},{-1,-1}}};
constexpr std::array<Offset, 4> diagonalDirections{{{-1,-1},{-1,1},{1,-1},{1,1}}};
constexpr std::array<Offset, 4> orthogonalDirections{{{-1,0},{1,0},{0,-1},{0,1}}};
// clang-format on

constexpr std::uint64_t bitOf(SquareCode sq) noexcept {
  return std::uint64_t{1} << sq;
}
constexpr int rowOf(SquareCode sq) noexcept {
  return sq / 8 + 1;
}
constexpr int columnOf(SquareCode sq) noexcept {
  return sq % 8 + 1;
}
constexpr bool onBoard(int row, int column) noexcept {
  return row >= 1 && row <= 8 && column >= 1 && column <= 8;
}
constexpr SquareCode codeAt(int row, int column) noexcept {
  return static_cast<SquareCode>((row - 1) * 8 + column - 1);
}

// The squares a step table reaches from each square, in table order, skipping off-board ones.
struct StepTargets {
  std::array<std::array<SquareCode, 8>, 64> squares{};
  std::array<std::uint8_t, 64> count{};
  std::array<std::uint64_t, 64> mask{};
};

constexpr StepTargets makeStepTargets(const std::array<Offset, 8>& offsets) {
  StepTargets t{};
  for (int sq = 0; sq < 64; ++sq) {
    const auto s = static_cast<SquareCode>(sq);
    for (const Offset& o : offsets) {
      const int r = rowOf(s) + o.dr;
      const int c = columnOf(s) + o.dc;
      if (!onBoard(r, c)) continue;
      t.squares[s][t.count[s]++] = codeAt(r, c);
      t.mask[s] |= bitOf(codeAt(r, c));
    }
  }
  return t;
}

constexpr StepTargets kingTargets = makeStepTargets(kingOffsets);
constexpr StepTargets knightTargets = makeStepTargets(knightOffsets);

// The squares strictly between two squares on one line (empty when they share no line).
struct BetweenTable {
  std::array<std::array<std::uint64_t, 64>, 64> mask{};
};

BetweenTable makeBetween() {
  BetweenTable t{};
  for (int a = 0; a < 64; ++a) {
    for (const Offset& o : kingOffsets) {
      std::uint64_t between = 0;
      int r = rowOf(static_cast<SquareCode>(a)) + o.dr;
      int c = columnOf(static_cast<SquareCode>(a)) + o.dc;
      while (onBoard(r, c)) {
        t.mask[static_cast<std::size_t>(a)][codeAt(r, c)] = between;
        between |= bitOf(codeAt(r, c));
        r += o.dr;
        c += o.dc;
      }
    }
  }
  return t;
}

const BetweenTable betweenTable = makeBetween();

// The squares from a square to the edge in one of the eight king directions.
struct RayTable {
  std::array<std::array<std::uint64_t, 8>, 64> mask{};
};

constexpr RayTable makeRays() {
  RayTable t{};
  for (int sq = 0; sq < 64; ++sq) {
    for (std::size_t d = 0; d < kingOffsets.size(); ++d) {
      int r = rowOf(static_cast<SquareCode>(sq)) + kingOffsets[d].dr;
      int c = columnOf(static_cast<SquareCode>(sq)) + kingOffsets[d].dc;
      while (onBoard(r, c)) {
        t.mask[static_cast<std::size_t>(sq)][d] |= bitOf(codeAt(r, c));
        r += kingOffsets[d].dr;
        c += kingOffsets[d].dc;
      }
    }
  }
  return t;
}

constexpr RayTable rayTable = makeRays();

constexpr std::uint8_t cellOf(Piece p) noexcept {
  return static_cast<std::uint8_t>(pieceCode(p) + 1);
}

//=== Attack detection ===//

// The indexed attack test for an on-board square.
bool attackedOnBoard(const Board& board, Colour c, SquareCode sq) {
  const std::uint64_t occupied = board.squares.occupied();
  const int r = rowOf(sq);
  const int col = columnOf(sq);
  const auto& between = betweenTable.mask[sq];
  const auto& index = board.index;

  // A slider attacks when it shares the line and nothing stands strictly between: it is then
  // the first piece met walking from the square towards it.
  auto slidesIn = [&](PieceType type, bool diagonal) {
    for (SquareCode s : index.codesOf(pieceCode({c, type}))) {
      const int dr = rowOf(s) - r;
      const int dc = columnOf(s) - col;
      const bool aligned = diagonal ? (dr == dc || dr == -dc) && dr != 0 : (dr == 0) != (dc == 0);
      if (aligned && (between[s] & occupied) == 0) return true;
    }
    return false;
  };
  if (slidesIn(PieceType::Queen, true) || slidesIn(PieceType::Bishop, true)) return true;
  if (slidesIn(PieceType::Queen, false) || slidesIn(PieceType::Rook, false)) return true;
  for (SquareCode s : index.codesOf(pieceCode({c, PieceType::Knight}))) {
    if ((knightTargets.mask[sq] & bitOf(s)) != 0) return true;
  }
  for (SquareCode s : index.codesOf(pieceCode({c, PieceType::King}))) {
    if (s == sq || (kingTargets.mask[sq] & bitOf(s)) != 0) return true;
  }
  const int pr = c == Colour::White ? r + 1 : r - 1;
  const std::uint8_t pawn = cellOf({c, PieceType::Pawn});
  if (pr >= 1 && pr <= 8) {
    if (col > 1 && board.squares.cells[codeAt(pr, col - 1)] == pawn) return true;
    if (col < 8 && board.squares.cells[codeAt(pr, col + 1)] == pawn) return true;
  }
  return false;
}

// The content of a square given by any coordinates: off-board squares read as empty.
std::uint8_t cellAt(const Board& board, std::int64_t row, std::int64_t column) {
  if (row < 1 || row > 8 || column < 1 || column > 8) return 0;
  return board.squares.cells[codeAt(static_cast<int>(row), static_cast<int>(column))];
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

// The square-by-square attack test for any square, on the board or off it.
bool attackedSquareBySquare(const Board& board, Colour c, Location square,
                            bool kingOnSquareCounts) {
  const std::int64_t r = square.row;
  const std::int64_t col = square.column;
  auto at = [&](std::int64_t row, std::int64_t column) { return cellAt(board, row, column); };
  auto firstInLine = [&](Offset d) { return firstCellInLine(board, square, d.dr, d.dc); };
  const std::uint8_t queen = cellOf({c, PieceType::Queen});
  for (const Offset& d : diagonalDirections) {
    const std::uint8_t cell = firstInLine(d);
    if (cell == queen || cell == cellOf({c, PieceType::Bishop})) return true;
  }
  for (const Offset& d : orthogonalDirections) {
    const std::uint8_t cell = firstInLine(d);
    if (cell == queen || cell == cellOf({c, PieceType::Rook})) return true;
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

bool attacked(const Board& board, Colour c, Location square) {
  if (inBoard(square)) return attackedOnBoard(board, c, squareCode(square));
  return attackedSquareBySquare(board, c, square, true);
}

// Whether the mover's king is attacked after `move`, by applying it to a copy of the board.
bool leavesKingAttacked(const State& state, Move move) {
  Board board = state.getBoard;
  applyMoveToBoard(board, state.turn, move, state.reversedHistory);
  const Location king = findKing(board, state.turn);
  return attackedOnBoard(board, toggle(state.turn), squareCode(king));
}

//=== Move generation ===//

void addCastlingMoves(Colour colour, const State& state, MoveList& out) {
  const Board& board = state.getBoard;
  const Colour other = toggle(colour);
  for (BoardSide side : {BoardSide::KingSide, BoardSide::QueenSide}) {
    if (!state.castleStatus.holds(side, colour)) continue;
    const auto pairs = castling(colour, side);
    const Location kingFrom = pairs[0].first;
    const Location kingTo = pairs[0].second;
    const Location rookFrom = pairs[1].first;
    if (board.squares.cells[squareCode(kingFrom)] != cellOf({colour, PieceType::King})) continue;
    if (board.squares.cells[squareCode(rookFrom)] != cellOf({colour, PieceType::Rook})) continue;
    if ((betweenTable.mask[squareCode(kingFrom)][squareCode(rookFrom)] &
         board.squares.occupied()) != 0) {
      continue;
    }
    const auto crossed = kingInbetweenSquares(kingFrom, kingTo);
    if (attackedOnBoard(board, other, squareCode(crossed[0])) ||
        attackedOnBoard(board, other, squareCode(crossed[1]))) {
      continue;
    }
    out.push(MovePiece(kingFrom, kingTo));
  }
}

// The open-square rule: on the board (guaranteed by the tables) and not the mover's own piece.
void addSteps(const StepTargets& targets, SquareCode from, std::uint64_t own, MoveList& out) {
  const Location origin = squareLocation(from);
  for (std::uint8_t i = 0; i < targets.count[from]; ++i) {
    const SquareCode to = targets.squares[from][i];
    if ((own & bitOf(to)) == 0) out.push(MovePiece(origin, squareLocation(to)));
  }
}

void addSlides(const std::array<Offset, 4>& directions, SquareCode from, const Board& board,
               std::uint64_t own, MoveList& out) {
  const Location origin = squareLocation(from);
  const std::uint64_t occupied = board.squares.occupied();
  for (const Offset& d : directions) {
    int r = origin.row + d.dr;
    int c = origin.column + d.dc;
    while (onBoard(r, c)) {
      const SquareCode to = codeAt(r, c);
      if ((own & bitOf(to)) != 0) break;
      out.push(MovePiece(origin, {r, c}));
      if ((occupied & bitOf(to)) != 0) break;
      r += d.dr;
      c += d.dc;
    }
  }
}

void addPawnMoves(Colour colour, SquareCode from, const State& state, MoveList& out) {
  const Board& board = state.getBoard;
  const bool white = colour == Colour::White;
  const int d = white ? -1 : 1;
  const int startRow = white ? 7 : 2;
  const int promotionRow = white ? 2 : 7;
  const int enPassantRow = white ? 4 : 5;
  const std::uint64_t occupied = board.squares.occupied();
  const std::uint64_t enemy = board.squares.byColour[white ? 1 : 0];
  const Location origin = squareLocation(from);
  const int r = origin.row;
  const int c = origin.column;

  std::array<Location, 4> targets{};
  std::size_t count = 0;
  // The advance must stay on the board: a pawn left unpromoted on its last row has no advance.
  if (onBoard(r + d, c) && (occupied & bitOf(codeAt(r + d, c))) == 0) {
    targets[count++] = {r + d, c};
    if (r == startRow && (occupied & bitOf(codeAt(r + 2 * d, c))) == 0) {
      targets[count++] = {r + 2 * d, c};
    }
  }
  for (int dc : {-1, 1}) {
    if (onBoard(r + d, c + dc) && (enemy & bitOf(codeAt(r + d, c + dc))) != 0) {
      targets[count++] = {r + d, c + dc};
    }
  }
  if (r == promotionRow) {
    for (std::size_t i = 0; i < count; ++i) {
      for (PieceType t :
           {PieceType::Queen, PieceType::Rook, PieceType::Bishop, PieceType::Knight}) {
        out.push(PromotePawn(origin, targets[i], t));
      }
    }
    return;
  }
  for (std::size_t i = 0; i < count; ++i) out.push(MovePiece(origin, targets[i]));
  if (r != enPassantRow) return;
  const std::optional<Move> last = lastMove(state);
  if (!last) return;
  const std::uint8_t enemyPawn = cellOf({toggle(colour), PieceType::Pawn});
  for (int dc : {-1, 1}) {
    const int cc = c + dc;
    if (!onBoard(r + d, cc)) continue;
    if (board.squares.cells[codeAt(r, cc)] != enemyPawn) continue;
    if (*last == MovePiece({r + 2 * d, cc}, {r, cc})) out.push(MovePiece(origin, {r + d, cc}));
  }
}

void addPieceMoves(Piece piece, SquareCode from, const State& state, MoveList& out) {
  const Board& board = state.getBoard;
  const std::uint64_t own = board.squares.byColour[static_cast<std::size_t>(piece.colour)];
  switch (piece.type) {
    case PieceType::King:
      addSteps(kingTargets, from, own, out);
      addCastlingMoves(piece.colour, state, out);
      return;
    case PieceType::Knight: addSteps(knightTargets, from, own, out); return;
    case PieceType::Rook: addSlides(rookDirections, from, board, own, out); return;
    case PieceType::Bishop: addSlides(bishopDirections, from, board, own, out); return;
    case PieceType::Queen:
      addSlides(rookDirections, from, board, own, out);
      addSlides(bishopDirections, from, board, own, out);
      return;
    case PieceType::Pawn: addPawnMoves(piece.colour, from, state, out); return;
  }
}

//=== Legality ===//

// What decides the legality of the mover's moves without applying most of them. When the king
// is not in check, a move other than a king move, castling or en passant can expose the king only
// by leaving a line between the king and an enemy slider; so such a move is legal unless its
// piece is pinned and it leaves the line of the pin. Every other move is applied and tested.
struct LegalityContext {
  const State& state;
  bool exact = false;  // every move must be applied and tested
  SquareCode king = 0;
  std::uint64_t pinned = 0;               // the mover's pieces pinned to the king
  std::array<std::uint64_t, 64> pinLine;  // read only for pinned pieces: the squares they may reach

  explicit LegalityContext(const State& s) : state(s) {
    const Board& board = s.getBoard;
    const Colour mover = s.turn;
    const auto kings = board.index.codesOf(pieceCode({mover, PieceType::King}));
    if (kings.size() != 1) {
      exact = true;  // the trial application reports the missing or extra king
      return;
    }
    king = kings[0];
    const Colour enemy = toggle(mover);
    if (attackedOnBoard(board, enemy, king)) {
      exact = true;
      return;
    }
    const std::uint64_t occupied = board.squares.occupied();
    const std::uint64_t own = board.squares.byColour[static_cast<std::size_t>(mover)];
    const std::uint8_t queen = cellOf({enemy, PieceType::Queen});
    for (std::size_t d = 0; d < kingOffsets.size(); ++d) {
      const bool diagonal = kingOffsets[d].dr != 0 && kingOffsets[d].dc != 0;
      const std::uint8_t slider = cellOf({enemy, diagonal ? PieceType::Bishop : PieceType::Rook});
      const std::uint64_t ray = rayTable.mask[king][d];
      const bool increasing = kingOffsets[d].dr * 8 + kingOffsets[d].dc > 0;
      auto nearest = [&](std::uint64_t bits) {
        return static_cast<SquareCode>(increasing ? std::countr_zero(bits)
                                                  : 63 - std::countl_zero(bits));
      };
      std::uint64_t blockers = ray & occupied;
      if (blockers == 0) continue;
      const SquareCode first = nearest(blockers);
      if ((own & bitOf(first)) == 0) continue;
      blockers &= ~bitOf(first);
      if (blockers == 0) continue;
      const std::uint8_t cell = board.squares.cells[nearest(blockers)];
      if (cell == queen || cell == slider) {
        pinned |= bitOf(first);
        pinLine[first] = ray;
      }
    }
  }

  [[nodiscard]] bool isLegal(Move move, PieceType type) const {
    if (exact || type == PieceType::King) return !leavesKingAttacked(state, move);
    const SquareCode from = squareCode(move.from);
    // A diagonal pawn move from the en-passant row may be an en-passant capture, which empties a
    // second square of that row.
    const int enPassantRow = state.turn == Colour::White ? 4 : 5;
    if (type == PieceType::Pawn && move.kind == MoveKind::MovePiece &&
        move.from.column != move.to.column && move.from.row == enPassantRow) {
      return !leavesKingAttacked(state, move);
    }
    if ((pinned & bitOf(from)) == 0) return true;
    return (pinLine[from] & bitOf(squareCode(move.to))) != 0;
  }
};

// Calls `visit` with each legal move in generation order until it returns false.
template <typename Visit>
void forEachLegalMove(const State& state, Visit&& visit) {
  const Board& board = state.getBoard;
  std::uint64_t own = board.squares.byColour[static_cast<std::size_t>(state.turn)];
  if (own == 0) return;
  const LegalityContext legality(state);
  MoveList pseudo;
  while (own != 0) {
    const auto from = static_cast<SquareCode>(std::countr_zero(own));
    own &= own - 1;
    const Piece piece = pieceOfCode(static_cast<PieceCode>(board.squares.cells[from] - 1));
    pseudo.clear();
    addPieceMoves(piece, from, state, pseudo);
    for (const Move& m : pseudo) {
      if (legality.isLegal(m, piece.type) && !visit(m)) return;
    }
  }
}

//=== Bit-set attacks and generation on a Position ===//

// Whether walking in king direction d raises the square code (so the nearest square of a set
// on the ray is its lowest bit), and the generation orders of the sliders' directions.
constexpr std::array<bool, 8> increasing{false, false, false, false, true, true, true, true};
constexpr std::array<std::size_t, 4> rookOrder{4, 3, 6, 1};
constexpr std::array<std::size_t, 4> bishopOrder{7, 5, 2, 0};
constexpr std::array<std::size_t, 4> diagonalRays{0, 2, 5, 7};
constexpr std::array<std::size_t, 4> orthogonalRays{1, 3, 4, 6};

// Per colour and square: the squares from which a pawn of that colour captures onto it.
struct PawnSources {
  std::array<std::array<std::uint64_t, 64>, 2> mask{};
};

constexpr PawnSources makePawnSources() {
  PawnSources t{};
  for (int sq = 0; sq < 64; ++sq) {
    const auto s = static_cast<SquareCode>(sq);
    for (int dc : {-1, 1}) {
      if (onBoard(rowOf(s) + 1, columnOf(s) + dc))
        t.mask[0][s] |= bitOf(codeAt(rowOf(s) + 1, columnOf(s) + dc));
      if (onBoard(rowOf(s) - 1, columnOf(s) + dc))
        t.mask[1][s] |= bitOf(codeAt(rowOf(s) - 1, columnOf(s) + dc));
    }
  }
  return t;
}

constexpr PawnSources pawnSources = makePawnSources();

// The diagonal and the orthogonal lines through each square, the square itself excluded.
struct LineTable {
  std::array<std::uint64_t, 64> diagonal{};
  std::array<std::uint64_t, 64> orthogonal{};
};

constexpr LineTable makeLines() {
  LineTable t{};
  for (std::size_t sq = 0; sq < 64; ++sq) {
    for (std::size_t d : diagonalRays) t.diagonal[sq] |= rayTable.mask[sq][d];
    for (std::size_t d : orthogonalRays) t.orthogonal[sq] |= rayTable.mask[sq][d];
  }
  return t;
}

constexpr LineTable lineTable = makeLines();

// The nearest square of a non-empty set lying on ray d of some square.
SquareCode nearestOn(std::uint64_t bits, std::size_t d) noexcept {
  return static_cast<SquareCode>(increasing[d] ? std::countr_zero(bits)
                                               : 63 - std::countl_zero(bits));
}

// The squares a slider on `sq` reaches along ray d: the empty ones and the first occupied one.
std::uint64_t rayTargets(SquareCode sq, std::size_t d, std::uint64_t occupied) noexcept {
  std::uint64_t ray = rayTable.mask[sq][d];
  if (const std::uint64_t blockers = ray & occupied; blockers != 0) {
    ray ^= rayTable.mask[nearestOn(blockers, d)][d];
  }
  return ray;
}

// Whether one of `sliders` is the first piece met from `sq` along ray d.
bool sliderOnRay(SquareCode sq, std::size_t d, std::uint64_t occupied,
                 std::uint64_t sliders) noexcept {
  const std::uint64_t ray = rayTable.mask[sq][d];
  if ((ray & sliders) == 0) return false;
  const std::uint64_t blockers = ray & occupied;
  return blockers != 0 && ((sliders >> nearestOn(blockers, d)) & 1U) != 0;
}

// The attack test with the occupied squares given and only the pieces of `colour` in `keep`
// counted, so that a move's effect can be tested without applying it.
bool attackedWith(const Position& p, Colour colour, SquareCode sq, std::uint64_t occupied,
                  std::uint64_t keep) noexcept {
  const std::uint64_t them = p.byColour[static_cast<std::size_t>(colour)] & keep;
  const auto& type = p.byType;
  if ((knightTargets.mask[sq] & type[3] & them) != 0) return true;
  if (((kingTargets.mask[sq] | bitOf(sq)) & type[0] & them) != 0) return true;
  if ((pawnSources.mask[static_cast<std::size_t>(colour)][sq] & type[5] & them) != 0) return true;
  if (const std::uint64_t diagonal = (type[4] | type[1]) & them;
      (diagonal & lineTable.diagonal[sq]) != 0) {
    for (std::size_t d : diagonalRays) {
      if (sliderOnRay(sq, d, occupied, diagonal)) return true;
    }
  }
  if (const std::uint64_t straight = (type[2] | type[1]) & them;
      (straight & lineTable.orthogonal[sq]) != 0) {
    for (std::size_t d : orthogonalRays) {
      if (sliderOnRay(sq, d, occupied, straight)) return true;
    }
  }
  return false;
}

// The pieces of `colour` that attack `sq` (a king of `colour` on the square counts).
std::uint64_t attackersOf(const Position& p, Colour colour, SquareCode sq,
                          std::uint64_t occupied) noexcept {
  const std::uint64_t them = p.byColour[static_cast<std::size_t>(colour)];
  const auto& type = p.byType;
  std::uint64_t found = (knightTargets.mask[sq] & type[3]) |
                        ((kingTargets.mask[sq] | bitOf(sq)) & type[0]) |
                        (pawnSources.mask[static_cast<std::size_t>(colour)][sq] & type[5]);
  found &= them;
  const std::uint64_t diagonal = (type[4] | type[1]) & them;
  const std::uint64_t straight = (type[2] | type[1]) & them;
  if (((diagonal & lineTable.diagonal[sq]) | (straight & lineTable.orthogonal[sq])) == 0) {
    return found;
  }
  for (std::size_t d = 0; d < 8; ++d) {
    const bool isDiagonal = kingOffsets[d].dr != 0 && kingOffsets[d].dc != 0;
    const std::uint64_t sliders = isDiagonal ? diagonal : straight;
    const std::uint64_t ray = rayTable.mask[sq][d];
    if ((ray & sliders) == 0) continue;
    const SquareCode first = nearestOn(ray & occupied, d);
    if ((sliders & bitOf(first)) != 0) found |= bitOf(first);
  }
  return found;
}

// The legality test of the side to move's moves on a Position, the same decisions as applying
// each move and testing the king, made cheaply. A move other than a king move, castling or a
// diagonal pawn move from the en-passant row leaves the king where it is and changes only its
// own two squares, so it is legal exactly when it ends every check (it takes the one checking
// piece or steps between it and the king; nothing ends two checks) and, if its piece is pinned,
// stays on the pin's line. King moves are tested on their target with the king lifted; castling
// and the diagonal pawn moves from the en-passant row (possibly en passant) are applied to a
// copy and tested.
class PositionLegality {
 public:
  explicit PositionLegality(const Position& p)
      : p_(p),
        mover_(p.turn),
        enemy_(toggle(p.turn)),
        king_(p.kingSquare(p.turn)),
        occupied_(p.occupied()) {
    const std::uint64_t checkers = attackersOf(p, enemy_, king_, occupied_);
    check_ = checkers != 0;
    if (check_) {
      const bool single = (checkers & (checkers - 1)) == 0;
      evasion_ = single ? checkers | betweenTable.mask[king_][std::countr_zero(checkers)] : 0;
    }
    const std::uint64_t own = p.byColour[static_cast<std::size_t>(mover_)];
    const std::uint64_t them = p.byColour[static_cast<std::size_t>(enemy_)];
    const std::uint64_t diagonal = (p.byType[4] | p.byType[1]) & them;
    const std::uint64_t straight = (p.byType[2] | p.byType[1]) & them;
    if (((diagonal & lineTable.diagonal[king_]) | (straight & lineTable.orthogonal[king_])) == 0)
      return;
    for (std::size_t d = 0; d < 8; ++d) {
      const bool isDiagonal = kingOffsets[d].dr != 0 && kingOffsets[d].dc != 0;
      const std::uint64_t sliders = isDiagonal ? diagonal : straight;
      const std::uint64_t ray = rayTable.mask[king_][d];
      if ((ray & sliders) == 0) continue;
      std::uint64_t blockers = ray & occupied_;
      const SquareCode first = nearestOn(blockers, d);
      if ((own & bitOf(first)) == 0) continue;
      blockers &= ~bitOf(first);
      if (blockers == 0 || (sliders & bitOf(nearestOn(blockers, d))) == 0) continue;
      pinned_ |= bitOf(first);
      pinLine_[first] = ray;
    }
  }

  [[nodiscard]] std::uint64_t pinned() const noexcept { return pinned_; }
  [[nodiscard]] bool isPinned(SquareCode from) const noexcept {
    return (pinned_ & bitOf(from)) != 0;
  }
  // The squares that end every check (all of them when there is none).
  [[nodiscard]] std::uint64_t evasion() const noexcept { return evasion_; }
  // The targets a piece on `from`, not the king, may move to by a move of its own two squares.
  [[nodiscard]] std::uint64_t allowed(SquareCode from) const noexcept {
    return isPinned(from) ? evasion_ & pinLine_[from] : evasion_;
  }
  // A move of a piece other than the king that is neither castling nor en passant.
  [[nodiscard]] bool ordinary(SquareCode from, SquareCode to) const noexcept {
    return (allowed(from) & bitOf(to)) != 0;
  }
  [[nodiscard]] bool kingStep(SquareCode from, SquareCode to) const noexcept {
    return !attackedWith(p_, enemy_, to, (occupied_ & ~bitOf(from)) | bitOf(to), ~bitOf(to));
  }
  [[nodiscard]] bool byApplying(PackedMove move) const noexcept {
    Position after = p_;
    if (!applyMove(after, move)) return false;  // cannot happen for generated moves
    return !attackedWith(after, enemy_, after.kingSquare(mover_), after.occupied(),
                         ~std::uint64_t{0});
  }

 private:
  const Position& p_;
  Colour mover_;
  Colour enemy_;
  SquareCode king_;
  std::uint64_t occupied_;
  bool check_ = false;
  std::uint64_t evasion_ = ~std::uint64_t{0};
  std::uint64_t pinned_ = 0;
  std::array<std::uint64_t, 64> pinLine_;  // read only for pinned pieces
};

// The castling moves of the side to move whose conditions hold (the landing square is left to
// the legality test), king side first.
template <typename Visit>
bool forEachCastling(const Position& p, const PositionLegality& legality, Visit&& visit) {
  const Colour colour = p.turn;
  const Colour other = toggle(colour);
  for (BoardSide side : {BoardSide::KingSide, BoardSide::QueenSide}) {
    if ((p.castleRights & CastleStatus::bit(side, colour)) == 0) continue;
    const auto pairs = castling(colour, side);
    const SquareCode kingFrom = squareCode(pairs[0].first);
    const SquareCode kingTo = squareCode(pairs[0].second);
    const SquareCode rookFrom = squareCode(pairs[1].first);
    if (p.cells[kingFrom] != cellOf({colour, PieceType::King})) continue;
    if (p.cells[rookFrom] != cellOf({colour, PieceType::Rook})) continue;
    const std::uint64_t occupied = p.occupied();
    if ((betweenTable.mask[kingFrom][rookFrom] & occupied) != 0) continue;
    const auto crossed = static_cast<SquareCode>((kingFrom + kingTo) / 2);
    if (attackedWith(p, other, kingFrom, occupied, ~std::uint64_t{0}) ||
        attackedWith(p, other, crossed, occupied, ~std::uint64_t{0})) {
      continue;
    }
    const PackedMove move = packedMove(kingFrom, kingTo);
    if (legality.byApplying(move) && !visit(move)) return false;
  }
  return true;
}

// The legal moves of one pawn in generation order; false once `visit` has returned false.
template <typename Visit>
bool forEachPawnMove(const Position& p, const PositionLegality& legality, SquareCode from,
                     Visit&& visit) {
  const bool white = p.turn == Colour::White;
  const int d = white ? -1 : 1;
  const int row = from / 8;  // 0 for the first row
  const int column = from % 8;
  const int startRow = white ? 6 : 1;
  const int promotionRow = white ? 1 : 6;
  const int enPassantRow = white ? 3 : 4;
  const std::uint64_t occupied = p.occupied();
  const std::uint64_t enemy = p.byColour[white ? 1 : 0];
  std::array<SquareCode, 4> targets{};
  std::size_t count = 0;
  // The advance must stay on the board: a pawn left unpromoted on its last row has no advance.
  const int next = row + d;
  if (next >= 0 && next <= 7) {
    const auto advance = static_cast<SquareCode>(next * 8 + column);
    if ((occupied & bitOf(advance)) == 0) {
      targets[count++] = advance;
      const auto twoAhead = static_cast<SquareCode>((row + 2 * d) * 8 + column);
      if (row == startRow && (occupied & bitOf(twoAhead)) == 0) targets[count++] = twoAhead;
    }
    for (int dc : {-1, 1}) {
      const int c = column + dc;
      if (c < 0 || c > 7) continue;
      const auto target = static_cast<SquareCode>(next * 8 + c);
      if ((enemy & bitOf(target)) != 0) targets[count++] = target;
    }
  }
  if (row == promotionRow) {
    for (std::size_t i = 0; i < count; ++i) {
      if (!legality.ordinary(from, targets[i])) continue;
      for (PieceType t :
           {PieceType::Queen, PieceType::Rook, PieceType::Bishop, PieceType::Knight}) {
        if (!visit(packedPromotion(from, targets[i], t))) return false;
      }
    }
    return true;
  }
  for (std::size_t i = 0; i < count; ++i) {
    const PackedMove move = packedMove(from, targets[i]);
    // A diagonal move from the en-passant row may be an en-passant capture when applied.
    const bool legal = row == enPassantRow && targets[i] % 8 != column
                           ? legality.byApplying(move)
                           : legality.ordinary(from, targets[i]);
    if (legal && !visit(move)) return false;
  }
  if (row != enPassantRow || p.lastMove == noMove) return true;
  const std::uint8_t enemyPawn = cellOf({toggle(p.turn), PieceType::Pawn});
  for (int dc : {-1, 1}) {
    const int c = column + dc;
    if (c < 0 || c > 7) continue;
    const auto beside = static_cast<SquareCode>(row * 8 + c);
    if (p.cells[beside] != enemyPawn) continue;
    const auto start = static_cast<SquareCode>((row + 2 * d) * 8 + c);
    if (p.lastMove != packedMove(start, beside)) continue;
    const PackedMove move = packedMove(from, static_cast<SquareCode>(next * 8 + c));
    if (legality.byApplying(move) && !visit(move)) return false;
  }
  return true;
}

// Calls `visit` with each legal move of the side to move in generation order until it returns
// false, given the position's legality test.
template <typename Visit>
void forEachLegalMove(const Position& p, const PositionLegality& legality, Visit&& visit) {
  const std::uint64_t ownAll = p.byColour[static_cast<std::size_t>(p.turn)];
  const std::uint64_t occupied = p.occupied();
  // One ray, nearest square first; the direction is a template argument, so that the end of the
  // set to take next is known when compiling.
  auto ray = [&]<std::size_t d>(SquareCode from, std::uint64_t allowed) {
    std::uint64_t targets = rayTargets(from, d, occupied) & allowed;
    while (targets != 0) {
      const SquareCode to = nearestOn(targets, d);
      targets &= ~bitOf(to);
      if (!visit(packedMove(from, to))) return false;
    }
    return true;
  };
  // The rook's and the bishop's directions in generation order.
  auto rookSlides = [&](SquareCode from) {
    const std::uint64_t allowed = ~ownAll & legality.allowed(from);
    return ray.template operator()<rookOrder[0]>(from, allowed) &&
           ray.template operator()<rookOrder[1]>(from, allowed) &&
           ray.template operator()<rookOrder[2]>(from, allowed) &&
           ray.template operator()<rookOrder[3]>(from, allowed);
  };
  auto bishopSlides = [&](SquareCode from) {
    const std::uint64_t allowed = ~ownAll & legality.allowed(from);
    return ray.template operator()<bishopOrder[0]>(from, allowed) &&
           ray.template operator()<bishopOrder[1]>(from, allowed) &&
           ray.template operator()<bishopOrder[2]>(from, allowed) &&
           ray.template operator()<bishopOrder[3]>(from, allowed);
  };
  // The table's squares in table order: a knight keeps those its legality allows, a king those
  // where it would not stand attacked.
  auto steps = [&](SquareCode from, const StepTargets& table, bool king) {
    const std::uint64_t allowed = ~ownAll & (king ? ~std::uint64_t{0} : legality.allowed(from));
    for (std::uint8_t i = 0; i < table.count[from]; ++i) {
      const SquareCode to = table.squares[from][i];
      if ((allowed & bitOf(to)) == 0 || (king && !legality.kingStep(from, to))) continue;
      if (!visit(packedMove(from, to))) return false;
    }
    return true;
  };
  for (std::uint64_t own = ownAll; own != 0; own &= own - 1) {
    const auto from = static_cast<SquareCode>(std::countr_zero(own));
    bool more = true;
    switch (p.typeOn(from)) {
      case PieceType::King:
        more = steps(from, kingTargets, true) && forEachCastling(p, legality, visit);
        break;
      case PieceType::Knight: more = steps(from, knightTargets, false); break;
      case PieceType::Rook: more = rookSlides(from); break;
      case PieceType::Bishop: more = bishopSlides(from); break;
      case PieceType::Queen: more = rookSlides(from) && bishopSlides(from); break;
      case PieceType::Pawn: more = forEachPawnMove(p, legality, from, visit); break;
    }
    if (!more) return;
  }
}

template <typename Visit>
void forEachLegalMove(const Position& p, Visit&& visit) {
  if (p.byColour[static_cast<std::size_t>(p.turn)] == 0) return;
  forEachLegalMove(p, PositionLegality(p), visit);
}

// The moves of the pawns that are neither pinned nor on the en-passant row: advances, double
// steps and captures shifted as sets and kept where they end every check, a promotion counting
// four.
std::size_t countFreePawnMoves(const Position& p, const PositionLegality& legality,
                               int enPassantRow) {
  constexpr std::uint64_t fileA = 0x0101010101010101ULL;
  constexpr std::uint64_t fileH = fileA << 7U;
  const bool white = p.turn == Colour::White;
  const std::uint64_t pawns =
      p.pieces(p.turn, PieceType::Pawn) & ~(0xFFULL << (8U * enPassantRow)) & ~legality.pinned();
  const std::uint64_t empty = ~p.occupied();
  const std::uint64_t evasion = legality.evasion();
  const std::uint64_t enemy = p.byColour[white ? 1 : 0];
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
  return static_cast<std::size_t>(targets(others) + countBits(doubleStep) +
                                  (promoting != 0 ? 4 * targets(promoting) : 0));
}

// The number of legal moves, counted by target sets where no move needs a test of its own.
std::size_t countMoves(const Position& p) {
  const std::uint64_t ownAll = p.byColour[static_cast<std::size_t>(p.turn)];
  if (ownAll == 0) return 0;
  const PositionLegality legality(p);
  std::size_t n = 0;
  auto one = [&n](PackedMove) {
    ++n;
    return true;
  };
  const std::uint64_t occupied = p.occupied();
  const bool white = p.turn == Colour::White;
  const int enPassantRow = white ? 3 : 4;
  n += countFreePawnMoves(p, legality, enPassantRow);
  for (std::uint64_t own = ownAll; own != 0; own &= own - 1) {
    const auto from = static_cast<SquareCode>(std::countr_zero(own));
    std::uint64_t targets = 0;
    switch (p.typeOn(from)) {
      case PieceType::King:
        for (std::uint64_t t = kingTargets.mask[from] & ~ownAll; t != 0; t &= t - 1) {
          if (legality.kingStep(from, static_cast<SquareCode>(std::countr_zero(t)))) ++n;
        }
        forEachCastling(p, legality, one);
        continue;
      case PieceType::Knight: targets = knightTargets.mask[from]; break;
      case PieceType::Rook:
        for (std::size_t d : orthogonalRays) targets |= rayTargets(from, d, occupied);
        break;
      case PieceType::Bishop:
        for (std::size_t d : diagonalRays) targets |= rayTargets(from, d, occupied);
        break;
      case PieceType::Queen:
        for (std::size_t d = 0; d < 8; ++d) targets |= rayTargets(from, d, occupied);
        break;
      case PieceType::Pawn:  // the unpinned ones off the en-passant row are counted as a set
        if (legality.isPinned(from) || from / 8 == enPassantRow) {
          forEachPawnMove(p, legality, from, one);
        }
        continue;
    }
    n += static_cast<std::size_t>(countBits(targets & ~ownAll & legality.allowed(from)));
  }
  return n;
}

// The working form of a state for move generation: its index agrees with its squares and the
// side to move has exactly one king (otherwise the State path reports the missing king).
std::optional<Position> workingPosition(const State& state) {
  if (!indexAgreesWithSquares(state.getBoard)) return std::nullopt;
  const Position position = positionOf(state);
  if (!position.hasOneKing(position.turn)) return std::nullopt;
  return position;
}

}  // namespace

std::optional<Piece> nextPieceInLine(const Board& board, Location square, int rowStep,
                                     int columnStep) {
  if (rowStep == 0 && columnStep == 0) fatalError("nextPieceInLine called without a direction");
  const std::uint8_t cell = firstCellInLine(board, square, rowStep, columnStep);
  if (cell == 0) return std::nullopt;
  return pieceOfCode(static_cast<PieceCode>(cell - 1));
}

bool givenColourIsAttackingTheSquare(const Board& board, Colour colour, Location square) {
  return attacked(board, colour, square);
}

bool slowGivenColourIsAttackingTheSquare(const Board& board, Colour colour, Location square) {
  return attackedSquareBySquare(board, colour, square, false);
}

bool kingAttacked(const Board& board, Colour colour) {
  const Location king = findKing(board, colour);
  return attackedOnBoard(board, toggle(colour), squareCode(king));
}

bool inCheck(const State& state, Colour colour) {
  return kingAttacked(state.getBoard, colour);
}

bool moveResultsInOwnCheck(const State& state, Move move) {
  return leavesKingAttacked(state, move);
}

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
  MoveList out;
  addCastlingMoves(colour, state, out);
  return out;
}

MoveList possibleMovesForPiece(Piece piece, Location square, const State& state) {
  // Pieces only ever stand on the board; a square off it has no generation rule.
  if (!inBoard(square)) fatalError("Shouldn't happen");
  MoveList out;
  addPieceMoves(piece, squareCode(square), state, out);
  return out;
}

void generateLegalMoves(const State& state, MoveList& out) {
  // Listed on the state itself: building the working form and unpacking its moves would cost
  // more than it saves for one list.
  out.clear();
  forEachLegalMove(state, [&](Move m) {
    out.push(m);
    return true;
  });
}

MoveList legalMoves(const State& state) {
  MoveList out;
  generateLegalMoves(state, out);
  return out;
}

bool hasLegalMove(const State& state) {
  if (const std::optional<Position> p = workingPosition(state)) return hasLegalMove(*p);
  bool found = false;
  forEachLegalMove(state, [&](Move) {
    found = true;
    return false;
  });
  return found;
}

std::size_t countLegalMoves(const State& state) {
  if (const std::optional<Position> p = workingPosition(state)) return countMoves(*p);
  std::size_t n = 0;
  forEachLegalMove(state, [&](Move) {
    ++n;
    return true;
  });
  return n;
}

}  // namespace quenlor

namespace quenlor {

std::optional<Position> searchablePosition(const State& state) {
  if (!indexAgreesWithSquares(state.getBoard)) return std::nullopt;
  const Position position = positionOf(state);
  if (!position.hasOneKing(Colour::White) || !position.hasOneKing(Colour::Black)) {
    return std::nullopt;
  }
  if (moverLeftInCheck(position)) return std::nullopt;
  return position;
}

bool attackedBy(const Position& position, Colour colour, SquareCode square) noexcept {
  return attackedWith(position, colour, square, position.occupied(), ~std::uint64_t{0});
}

bool moverLeftInCheck(const Position& position) noexcept {
  return attackedBy(position, position.turn, position.kingSquare(toggle(position.turn)));
}

bool inCheck(const Position& position) noexcept {
  return attackedBy(position, toggle(position.turn), position.kingSquare(position.turn));
}

void generateLegalMoves(const Position& position, PackedMoveList& out) {
  out.clear();
  forEachLegalMove(position, [&](PackedMove m) {
    out.push(m);
    return true;
  });
}

bool hasLegalMove(const Position& position) {
  const Colour mover = position.turn;
  const std::uint64_t own = position.byColour[static_cast<std::size_t>(mover)];
  if (own == 0) return false;
  const PositionLegality legality(position);
  // The king's steps first: it is asked mostly of a side in check, whose king can often step away.
  const SquareCode king = position.kingSquare(mover);
  for (std::uint64_t t = kingTargets.mask[king] & ~own; t != 0; t &= t - 1) {
    if (legality.kingStep(king, static_cast<SquareCode>(std::countr_zero(t)))) return true;
  }
  bool found = false;
  forEachLegalMove(position, legality, [&](PackedMove) {
    found = true;
    return false;
  });
  return found;
}

std::size_t countLegalMoves(const Position& position) {
  return countMoves(position);
}

}  // namespace quenlor

namespace quenlor {

CheckTest::CheckTest(const Position& p) noexcept {
  const Colour mover = p.turn;
  const SquareCode king = p.kingSquare(toggle(mover));
  const std::uint64_t occupied = p.occupied();
  std::uint64_t diagonal = 0;
  std::uint64_t straight = 0;
  for (std::size_t d : diagonalRays) diagonal |= rayTargets(king, d, occupied);
  for (std::size_t d : orthogonalRays) straight |= rayTargets(king, d, occupied);
  attackFrom_[static_cast<std::size_t>(PieceType::King)] = kingTargets.mask[king] | bitOf(king);
  attackFrom_[static_cast<std::size_t>(PieceType::Queen)] = diagonal | straight;
  attackFrom_[static_cast<std::size_t>(PieceType::Rook)] = straight;
  attackFrom_[static_cast<std::size_t>(PieceType::Knight)] = knightTargets.mask[king];
  attackFrom_[static_cast<std::size_t>(PieceType::Bishop)] = diagonal;
  attackFrom_[static_cast<std::size_t>(PieceType::Pawn)] =
      pawnSources.mask[static_cast<std::size_t>(mover)][king];
  const std::uint64_t own = p.byColour[static_cast<std::size_t>(mover)];
  const std::uint64_t queens = p.byType[static_cast<std::size_t>(PieceType::Queen)];
  const std::uint64_t diagonalSliders =
      (p.byType[static_cast<std::size_t>(PieceType::Bishop)] | queens) & own;
  const std::uint64_t straightSliders =
      (p.byType[static_cast<std::size_t>(PieceType::Rook)] | queens) & own;
  for (std::size_t d = 0; d < 8; ++d) {
    const bool isDiagonal = kingOffsets[d].dr != 0 && kingOffsets[d].dc != 0;
    const std::uint64_t sliders = isDiagonal ? diagonalSliders : straightSliders;
    const std::uint64_t ray = rayTable.mask[king][d];
    if ((ray & sliders) == 0) continue;
    std::uint64_t blockers = ray & occupied;
    const SquareCode first = nearestOn(blockers, d);
    if ((own & bitOf(first)) == 0) continue;
    blockers &= ~bitOf(first);
    if (blockers == 0) continue;
    const SquareCode second = nearestOn(blockers, d);
    if ((sliders & bitOf(second)) == 0) continue;
    uncovering_ |= bitOf(first);
    lineOf_[first] = betweenTable.mask[king][second];
  }
}

}  // namespace quenlor
