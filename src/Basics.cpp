#include "Basics.h"

#include <bit>

namespace quenlor {

Score negateScore(Score score) {
  switch (score.kind) {
    case Score::Kind::NegativeInfinity: return PositiveInfinity;
    case Score::Kind::PositiveInfinity: return NegativeInfinity;
    case Score::Kind::Number:
      return Number(static_cast<std::int32_t>(0U - static_cast<std::uint32_t>(score.value)));
    case Score::Kind::NeverCalculated: break;
  }
  fatalError("negateScore called on NeverCalculated");
}

Location findKing(const Board& board, Colour colour) {
  const auto kings = board.index.codesOf(pieceCode({colour, PieceType::King}));
  if (kings.size() == 1) return squareLocation(kings[0]);
  std::string list = "[";
  for (std::size_t i = 0; i < kings.size(); ++i) {
    if (i > 0) list += ",";
    list += showLocation(squareLocation(kings[i]));
  }
  list += "]";
  fatalError("findKing found kings at " + list + "\nin the board\n" + niceShowBoard(board));
}

const Board& initialPosition() {
  static const Board board = [] {
    std::vector<PlacedPiece> placed;
    auto backRank = [&](std::int32_t row, Colour colour) {
      for (std::int32_t column = 1; column <= 8; ++column) {
        placed.push_back({{row, column}, {colour, pieces[static_cast<std::size_t>(column - 1)]}});
      }
    };
    auto pawnRank = [&](std::int32_t row, Colour colour) {
      for (std::int32_t column = 1; column <= 8; ++column) {
        placed.push_back({{row, column}, {colour, PieceType::Pawn}});
      }
    };
    backRank(1, Colour::Black);
    pawnRank(2, Colour::Black);
    pawnRank(7, Colour::White);
    backRank(8, Colour::White);
    return initBoard(placed);
  }();
  return board;
}

State newGame() {
  CastleStatus all;
  for (BoardSide side : {BoardSide::KingSide, BoardSide::QueenSide}) {
    for (Colour colour : {Colour::White, Colour::Black}) all = all.with(side, colour, true);
  }
  return State{Colour::White, 1, History{}, initialPosition(), all};
}

std::optional<Move> lastMove(const State& state) noexcept {
  return state.reversedHistory.front();
}

void applyMoveToBoard(Board& board, Colour mover, Move move, const History& history) {
  if (move.kind == MoveKind::PromotePawn) {
    // The new piece takes the mover's colour whatever stood on `from`, even nothing at all.
    if (!inBoard(move.to))
      fatalError("setSquare called on a square off the board: " + showLocation(move.to));
    if (inBoard(move.from)) boardstore::emptySquareInPlace(board, squareCode(move.from));
    boardstore::setSquareInPlace(board, squareCode(move.to), pieceCode({mover, move.promoted}));
    return;
  }
  const Location from = move.from;
  const Location to = move.to;
  if (!inBoard(from) || board.squares.cells[squareCode(from)] == 0) {
    fatalError("getPieceFromSquare called on empty square");
  }
  if (!inBoard(to)) fatalError("movePiece called on a square off the board: " + showLocation(to));
  const PieceType type =
      pieceOfCode(static_cast<PieceCode>(board.squares.cells[squareCode(from)] - 1)).type;
  const std::int32_t h = homeRow(mover);

  if (type == PieceType::King && from.row == h && from.column == 5 && to.row == h &&
      (to.column == 7 || to.column == 3)) {
    const BoardSide side = to.column == 7 ? BoardSide::KingSide : BoardSide::QueenSide;
    for (const auto& [pairFrom, pairTo] : castling(mover, side)) {
      boardstore::movePieceInPlace(board, squareCode(pairFrom), squareCode(pairTo));
    }
    return;
  }

  if (type == PieceType::Pawn) {
    const bool white = mover == Colour::White;
    const std::int32_t e = white ? 4 : 5;  // row where en passant is possible
    const std::int32_t d = white ? 3 : 6;  // row the capturing pawn lands on
    const std::int32_t o = white ? 2 : 7;  // start row of the passed pawn
    if (from.row == e && to.row == d && from.column != to.column &&
        history.front() == MovePiece({o, to.column}, {e, to.column})) {
      const SquareCode passed = squareCode({e, to.column});
      const std::uint8_t cell = board.squares.cells[passed];
      if (cell != 0) {
        const Piece victim = pieceOfCode(static_cast<PieceCode>(cell - 1));
        if (victim.colour != mover && victim.type == PieceType::Pawn) {
          boardstore::emptySquareInPlace(board, passed);
          boardstore::emptySquareInPlace(board, squareCode(from));
          boardstore::setSquareInPlace(board, squareCode(to), pieceCode({mover, PieceType::Pawn}));
          return;
        }
      }
    }
  }
  boardstore::movePieceInPlace(board, squareCode(from), squareCode(to));
}

namespace {

CastleStatus rightsAfter(CastleStatus rights, Colour mover, Move move) {
  CastleStatus out = rights;
  if (move.kind == MoveKind::MovePiece) {
    // Leaving the king's or a rook's home square gives up the mover's rights on that side.
    for (BoardSide side : {BoardSide::KingSide, BoardSide::QueenSide}) {
      const auto pairs = castling(mover, side);
      if (move.from == pairs[0].first || move.from == pairs[1].first) {
        out = out.with(side, mover, false);
      }
    }
  }
  // Any move onto the opponent's rook home square removes (captures) that rook, so the
  // opponent loses the right on that side even if another rook reaches the corner later.
  const Colour opponent = toggle(mover);
  const std::int32_t ho = homeRow(opponent);
  if (move.to == Location{ho, 8}) out = out.with(BoardSide::KingSide, opponent, false);
  if (move.to == Location{ho, 1}) out = out.with(BoardSide::QueenSide, opponent, false);
  return out;
}

}  // namespace

State makeMove(const State& state, Move move) {
  // The board is copied once, into the new state, and the move applied there.
  State next{toggle(state.turn),
             static_cast<std::int32_t>(static_cast<std::uint32_t>(state.moveNum) + 1U),
             state.reversedHistory.with(move), state.getBoard,
             rightsAfter(state.castleStatus, state.turn, move)};
  applyMoveToBoard(next.getBoard, state.turn, move, state.reversedHistory);
  return next;
}

}  // namespace quenlor

namespace quenlor {

//=== Packed moves and positions ===//

std::optional<PackedMove> packMove(Move move) noexcept {
  if (!inBoard(move.from) || !inBoard(move.to)) return std::nullopt;
  return static_cast<PackedMove>(static_cast<unsigned>(move.kind) << 15U |
                                 squareCode(move.from) << 9U | squareCode(move.to) << 3U |
                                 static_cast<unsigned>(move.promoted));
}

namespace {

// The location of each square code.
constexpr std::array<Location, 64> locations = [] {
  std::array<Location, 64> out{};
  for (SquareCode sq = 0; sq < 64; ++sq) out[sq] = squareLocation(sq);
  return out;
}();

}  // namespace

Move unpackMove(PackedMove move) noexcept {
  return Move{locations[packedFrom(move)], locations[packedTo(move)],
              isPackedPromotion(move) ? MoveKind::PromotePawn : MoveKind::MovePiece,
              packedPromoted(move)};
}

bool indexAgreesWithSquares(const Board& board) noexcept {
  std::uint64_t listed = 0;
  for (PieceCode piece = 0; piece < 12; ++piece) {
    for (SquareCode sq : board.index.codesOf(piece)) {
      if (board.squares.cells[sq] != piece + 1 || (listed >> sq & 1U) != 0) return false;
      listed |= std::uint64_t{1} << sq;
    }
  }
  return listed == board.squares.occupied();
}

Position positionOf(const State& state) noexcept {
  Position position{};
  position.cells = state.getBoard.squares.cells;
  position.byColour = state.getBoard.squares.byColour;
  for (std::uint64_t bits = position.occupied(); bits != 0; bits &= bits - 1) {
    const auto sq = static_cast<SquareCode>(std::countr_zero(bits));
    position.byType[static_cast<std::size_t>(position.typeOn(sq))] |= std::uint64_t{1} << sq;
  }
  position.turn = state.turn;
  position.castleRights = state.castleStatus.rights;
  const std::optional<Move> last = lastMove(state);
  const std::optional<PackedMove> packed = last ? packMove(*last) : std::nullopt;
  position.lastMove = packed ? *packed : noMove;
  return position;
}

namespace {

constexpr std::uint64_t bit(SquareCode sq) noexcept {
  return std::uint64_t{1} << sq;
}

// The colour and the type of a cell's piece (cell 0, an empty square, reads as White King and
// is never asked).
constexpr std::array<std::uint8_t, 13> cellColour{0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1};
constexpr std::array<std::uint8_t, 13> cellType{0, 0, 1, 2, 3, 4, 5, 0, 1, 2, 3, 4, 5};

void clearSquare(Position& p, SquareCode sq) noexcept {
  if (const std::uint8_t cell = p.cells[sq]; cell != 0) {
    p.cells[sq] = 0;
    p.byColour[cellColour[cell]] &= ~bit(sq);
    p.byType[cellType[cell]] &= ~bit(sq);
  }
}

void placePiece(Position& p, SquareCode sq, std::uint8_t cell) noexcept {
  clearSquare(p, sq);
  p.cells[sq] = cell;
  p.byColour[cellColour[cell]] |= bit(sq);
  p.byType[cellType[cell]] |= bit(sq);
}

// The occupant (`cell`) of `from` moves to `to`, capturing whatever stood there. The sets are
// toggled: a capture's own toggle on `to` puts back a bit the move's toggle took away when the
// captured piece shares the mover's colour or type, and `from` = `to` toggles twice.
void shiftPiece(Position& p, SquareCode from, SquareCode to, std::uint8_t cell) noexcept {
  const std::uint8_t captured = p.cells[to];
  const std::uint64_t both = bit(from) ^ bit(to);
  p.cells[from] = 0;
  p.cells[to] = cell;
  p.byColour[cellColour[cell]] ^= both;
  p.byType[cellType[cell]] ^= both;
  if (captured != 0) {
    p.byColour[cellColour[captured]] ^= bit(to);
    p.byType[cellType[captured]] ^= bit(to);
  }
  if (from == to) {  // the toggles above cancelled: the piece stays where it was
    p.cells[to] = cell;
    p.byColour[cellColour[cell]] |= bit(to);
    p.byType[cellType[cell]] |= bit(to);
  }
}

// The castling rights each square takes away: moving from a square (a `MovePiece` of the
// mover) and moving onto it (any move, for the opponent's rook corners), per mover colour.
struct RightsTable {
  std::array<std::array<std::uint8_t, 64>, 2> leaving{};
  std::array<std::array<std::uint8_t, 64>, 2> entering{};
};

constexpr RightsTable makeRightsTable() {
  RightsTable t{};
  for (Colour mover : {Colour::White, Colour::Black}) {
    const auto c = static_cast<std::size_t>(mover);
    for (BoardSide side : {BoardSide::KingSide, BoardSide::QueenSide}) {
      const auto pairs = castling(mover, side);
      t.leaving[c][squareCode(pairs[0].first)] |= CastleStatus::bit(side, mover);
      t.leaving[c][squareCode(pairs[1].first)] |= CastleStatus::bit(side, mover);
      const Colour opponent = toggle(mover);
      t.entering[c][squareCode(castling(opponent, side)[1].first)] |=
          CastleStatus::bit(side, opponent);
    }
  }
  return t;
}

constexpr RightsTable rightsTable = makeRightsTable();

}  // namespace

namespace {

// `applyMove` for every kind of move, castling, en passant and promotions included.
bool applyAnyMove(Position& p, PackedMove move) noexcept {
  const Colour mover = p.turn;
  const auto c = static_cast<std::size_t>(mover);
  const SquareCode from = packedFrom(move);
  const SquareCode to = packedTo(move);
  std::uint8_t lost = rightsTable.entering[c][to];
  if (isPackedPromotion(move)) {
    // The new piece takes the mover's colour whatever stood on `from`, even nothing at all.
    clearSquare(p, from);
    placePiece(p, to, static_cast<std::uint8_t>(pieceCode({mover, packedPromoted(move)}) + 1));
  } else {
    const std::uint8_t cell = p.cells[from];
    if (cell == 0) return false;
    lost |= rightsTable.leaving[c][from];
    const auto type = static_cast<PieceType>(cellType[cell]);
    const int h = (homeRow(mover) - 1) * 8;  // code of the home row's first square
    if (type == PieceType::King && from == h + 4 && (to == h + 6 || to == h + 2)) {
      const SquareCode rookFrom = static_cast<SquareCode>(to == h + 6 ? h + 7 : h);
      const SquareCode rookTo = static_cast<SquareCode>(to == h + 6 ? h + 5 : h + 3);
      shiftPiece(p, from, to, cell);
      const std::uint8_t rook = p.cells[rookFrom];
      if (rook == 0) return false;
      shiftPiece(p, rookFrom, rookTo, rook);
    } else if (type == PieceType::Pawn && from % 8 != to % 8 &&
               from / 8 == (mover == Colour::White ? 3 : 4) &&
               to / 8 == (mover == Colour::White ? 2 : 5)) {
      // A diagonal step onto the row behind a pawn that has just made its double step past it.
      const auto passed = static_cast<SquareCode>(from / 8 * 8 + to % 8);
      const auto start = static_cast<SquareCode>((mover == Colour::White ? 1 : 6) * 8 + to % 8);
      const std::uint8_t enemyPawn =
          static_cast<std::uint8_t>(pieceCode({toggle(mover), PieceType::Pawn}) + 1);
      if (p.lastMove == packedMove(start, passed) && p.cells[passed] == enemyPawn) {
        clearSquare(p, passed);
        clearSquare(p, from);
        placePiece(p, to, cell);
      } else {
        shiftPiece(p, from, to, cell);
      }
    } else {
      shiftPiece(p, from, to, cell);
    }
  }
  p.castleRights = static_cast<std::uint8_t>(p.castleRights & ~lost);
  p.turn = toggle(mover);
  p.lastMove = move;
  return true;
}

}  // namespace

bool applyMove(Position& p, PackedMove move) noexcept {
  const SquareCode from = packedFrom(move);
  const SquareCode to = packedTo(move);
  const std::uint8_t cell = p.cells[from];
  const std::uint8_t type = cellType[cell];
  // Most moves shift one piece: not a promotion, not a king leaving a castling square, not a
  // diagonal pawn move (possibly en passant).
  const bool plain = !isPackedPromotion(move) && cell != 0 &&
                     !(type == 0 && (from == 4 || from == 60)) &&
                     !(type == 5 && ((from ^ to) & 7U) != 0);
  if (!plain) return applyAnyMove(p, move);
  const auto c = static_cast<std::size_t>(p.turn);
  shiftPiece(p, from, to, cell);
  p.castleRights = static_cast<std::uint8_t>(
      p.castleRights & ~(rightsTable.entering[c][to] | rightsTable.leaving[c][from]));
  p.turn = toggle(p.turn);
  p.lastMove = move;
  return true;
}

}  // namespace quenlor
