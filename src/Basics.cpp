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

State makeMove(const State& state, Move move) {
  const Colour mover = state.turn;
  const Board& board = state.getBoard;
  if (move.kind == MoveKind::PromotePawn && !inBoard(move.to)) {
    fatalError("setSquare called on a square off the board: " + showLocation(move.to));
  }
  if (move.kind == MoveKind::MovePiece) {
    if (!inBoard(move.from) || board.squares.cells[squareCode(move.from)] == 0) {
      fatalError("getPieceFromSquare called on empty square");
    }
    if (!inBoard(move.to)) {
      fatalError("movePiece called on a square off the board: " + showLocation(move.to));
    }
  }
  // The board is copied once, into the new state, and the move applied there.
  State next{toggle(mover),
             static_cast<std::int32_t>(static_cast<std::uint32_t>(state.moveNum) + 1U),
             state.reversedHistory.with(move), board, state.castleStatus};
  if (const std::optional<PackedMove> packed = packMove(move)) {
    const std::optional<Move> last = lastMove(state);
    const std::optional<PackedMove> lastPacked = last ? packMove(*last) : std::nullopt;
    if (const char* error = applyMoveTo(next.getBoard, mover, *packed, lastPacked.value_or(noMove)))
      fatalError(error);
    next.castleStatus = state.castleStatus.without(rightsLost(mover, *packed));
  } else {
    // A promotion from a square off the board: the new piece appears on its target.
    const SquareCode to = squareCode(move.to);
    next.getBoard.place(to, cellOf({mover, move.promoted}));
    next.castleStatus =
        state.castleStatus.without(rightsLost(mover, packedPromotion(to, to, move.promoted)));
  }
  return next;
}

}  // namespace quenlor
