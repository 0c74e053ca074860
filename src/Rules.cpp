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
  bool found = false;
  forEachLegalMove(state, [&](Move) {
    found = true;
    return false;
  });
  return found;
}

std::size_t countLegalMoves(const State& state) {
  std::size_t n = 0;
  forEachLegalMove(state, [&](Move) {
    ++n;
    return true;
  });
  return n;
}

}  // namespace quenlor
