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

namespace {

// The square map a store's updates change.
const SquareMap& squaresOf(const SquareMap& squares) noexcept {
  return squares;
}
const SquareMap& squaresOf(const Board& board) noexcept {
  return board.squares;
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
    const Colour opponent = toggle(mover);
    for (BoardSide side : {BoardSide::KingSide, BoardSide::QueenSide}) {
      const auto pairs = castling(mover, side);
      t.leaving[c][squareCode(pairs[0].first)] |= CastleStatus::bit(side, mover);
      t.leaving[c][squareCode(pairs[1].first)] |= CastleStatus::bit(side, mover);
      t.entering[c][squareCode(castling(opponent, side)[1].first)] |=
          CastleStatus::bit(side, opponent);
    }
  }
  return t;
}

constexpr RightsTable rightsTable = makeRightsTable();

}  // namespace

std::uint8_t rightsLost(Colour mover, PackedMove move) noexcept {
  const auto c = static_cast<std::size_t>(mover);
  const std::uint8_t entering = rightsTable.entering[c][packedTo(move)];
  if (isPackedPromotion(move)) return entering;
  return static_cast<std::uint8_t>(entering | rightsTable.leaving[c][packedFrom(move)]);
}

template <typename Store>
const char* applyMoveTo(Store& store, Colour mover, PackedMove move, PackedMove lastMove) {
  const SquareCode from = packedFrom(move);
  const SquareCode to = packedTo(move);
  if (isPackedPromotion(move)) {
    store.clear(from);
    store.place(to, cellOf({mover, packedPromoted(move)}));
    return nullptr;
  }
  const std::uint8_t cell = squaresOf(store).cells[from];
  if (cell == 0) return "getPieceFromSquare called on empty square";
  const bool white = mover == Colour::White;
  switch (typeOfCell[cell]) {
    case PieceType::King: {
      const int h = (homeRow(mover) - 1) * 8;  // code of the home row's first square
      if (from == h + 4 && (to == h + 6 || to == h + 2)) {
        const auto rookFrom = static_cast<SquareCode>(to == h + 6 ? h + 7 : h);
        const auto rookTo = static_cast<SquareCode>(to == h + 6 ? h + 5 : h + 3);
        store.shift(from, to);
        if (squaresOf(store).cells[rookFrom] == 0) return "movePiece called on empty square";
        store.shift(rookFrom, rookTo);
        return nullptr;
      }
      break;
    }
    case PieceType::Pawn: {
      // A diagonal step onto the row behind a pawn of the opponent that has just made its double
      // step past it takes that pawn.
      if (from % 8 == to % 8 || from / 8 != (white ? 3 : 4) || to / 8 != (white ? 2 : 5)) break;
      const auto passed = static_cast<SquareCode>(from / 8 * 8 + to % 8);
      const auto start = static_cast<SquareCode>((white ? 1 : 6) * 8 + to % 8);
      if (lastMove != packedMove(start, passed) ||
          squaresOf(store).cells[passed] != cellOf({toggle(mover), PieceType::Pawn})) {
        break;
      }
      store.clear(passed);
      store.clear(from);
      store.place(to, cellOf({mover, PieceType::Pawn}));
      return nullptr;
    }
    default: break;
  }
  store.shift(from, to);
  return nullptr;
}

template const char* applyMoveTo(Board&, Colour, PackedMove, PackedMove);
template const char* applyMoveTo(SquareMap&, Colour, PackedMove, PackedMove);

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
