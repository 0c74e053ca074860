#include "Basics.h"

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
