#include "Fen.h"

#include <algorithm>
#include <sstream>
#include <vector>

#include "Basics.h"
#include "Parser.h"

namespace quenlor {

namespace {

std::optional<PieceType> typeOfLetter(char letter) {
  switch (letter >= 'a' ? static_cast<char>(letter - 32) : letter) {
    case 'K': return PieceType::King;
    case 'Q': return PieceType::Queen;
    case 'R': return PieceType::Rook;
    case 'N': return PieceType::Knight;
    case 'B': return PieceType::Bishop;
    case 'P': return PieceType::Pawn;
    default: return std::nullopt;
  }
}

std::optional<State> fail(std::string* error, const std::string& reason) {
  if (error != nullptr) *error = reason;
  return std::nullopt;
}

}  // namespace

std::optional<State> stateFromFen(std::string_view fen, std::string* error) {
  std::istringstream fields{std::string(fen)};
  std::string placement, side, rights = "-", enPassant = "-";
  if (!(fields >> placement >> side))
    return fail(error, "a FEN needs at least a placement and a side to move");
  fields >> rights >> enPassant;

  // Ranks 8 to 1 are rows 1 to 8, files a to h columns 1 to 8: the FEN is read in ascending
  // square order already.
  std::vector<PlacedPiece> placed;
  std::int32_t row = 1;
  std::int32_t column = 1;
  for (const char c : placement) {
    if (c == '/') {
      if (column != 9)
        return fail(error, "rank " + std::to_string(9 - row) + " does not have 8 squares");
      ++row;
      column = 1;
    } else if (c >= '1' && c <= '8') {
      column += c - '0';
    } else if (const auto type = typeOfLetter(c)) {
      if (column > 8)
        return fail(error, "rank " + std::to_string(9 - row) + " has more than 8 squares");
      placed.push_back({{row, column}, {c >= 'a' ? Colour::Black : Colour::White, *type}});
      ++column;
    } else {
      return fail(error, "unexpected character " + quoteInput({&c, 1}) + " in the placement");
    }
    if (column > 9)
      return fail(error, "rank " + std::to_string(9 - row) + " has more than 8 squares");
  }
  if (row != 8 || column != 9)
    return fail(error, "the placement does not describe 8 ranks of 8 squares");

  if (side != "w" && side != "b") return fail(error, "the side to move must be w or b");
  const Colour turn = side == "w" ? Colour::White : Colour::Black;

  const Board board = initBoard(placed);
  CastleStatus castle;
  for (BoardSide s : {BoardSide::KingSide, BoardSide::QueenSide}) {
    for (Colour colour : {Colour::White, Colour::Black}) castle = castle.with(s, colour, false);
  }
  if (rights != "-") {
    for (const char c : rights) {
      // K, Q, k, q, or the file of the rook (Shredder-FEN, X-FEN): A, H, a, h name the usual
      // rooks, so they need the king on its e-file square and that rook in its corner.
      const char upper = c >= 'a' ? static_cast<char>(c - 32) : c;
      const Colour colour = c >= 'a' ? Colour::Black : Colour::White;
      const bool kingSide = upper == 'K' || upper == 'H';
      if (upper != 'K' && upper != 'Q' && upper != 'A' && upper != 'H') {
        return fail(error, "unexpected castling right " + quoteInput({&c, 1}));
      }
      if (upper == 'A' || upper == 'H') {
        const std::int32_t homeRow = colour == Colour::White ? 8 : 1;
        const Location rook{homeRow, kingSide ? 8 : 1};
        if (getSquare(board, {homeRow, 5}) != Piece{colour, PieceType::King} ||
            getSquare(board, rook) != Piece{colour, PieceType::Rook}) {
          return fail(error, "castling right " + quoteInput({&c, 1}) + " needs the king on " +
                                 niceShowLocation({homeRow, 5}) + " and a rook on " +
                                 niceShowLocation(rook));
        }
      }
      castle = castle.with(kingSide ? BoardSide::KingSide : BoardSide::QueenSide, colour, true);
    }
  }

  History history;
  if (enPassant != "-") {
    if (enPassant.size() != 2 || enPassant[0] < 'a' || enPassant[0] > 'h' ||
        (enPassant[1] != '3' && enPassant[1] != '6')) {
      return fail(error, "bad en-passant square " + quoteInput(enPassant));
    }
    const std::int32_t file = enPassant[0] - 'a' + 1;
    // e3 follows e2e4 (rows 7 to 5); d6 follows d7d5 (rows 2 to 4).
    history = enPassant[1] == '3' ? history.with(MovePiece({7, file}, {5, file}))
                                  : history.with(MovePiece({2, file}, {4, file}));
  }
  return State{turn, 1, history, board, castle};
}

std::string fenPlacement(const Board& board) {
  std::string out;
  for (std::int32_t row = 1; row <= 8; ++row) {
    int empty = 0;
    for (std::int32_t column = 1; column <= 8; ++column) {
      const std::optional<Piece> piece = getSquare(board, {row, column});
      if (!piece) {
        ++empty;
        continue;
      }
      if (empty > 0) out += static_cast<char>('0' + empty);
      empty = 0;
      out += niceShowPiece(*piece);
    }
    if (empty > 0) out += static_cast<char>('0' + empty);
    if (row < 8) out += '/';
  }
  return out;
}

std::string fenCastling(CastleStatus status) {
  std::string out;
  if (status.holds(BoardSide::KingSide, Colour::White)) out += 'K';
  if (status.holds(BoardSide::QueenSide, Colour::White)) out += 'Q';
  if (status.holds(BoardSide::KingSide, Colour::Black)) out += 'k';
  if (status.holds(BoardSide::QueenSide, Colour::Black)) out += 'q';
  return out.empty() ? "-" : out;
}

std::string fenFromState(const State& state) {
  std::string enPassant = "-";
  if (const std::optional<Move> last = lastMove(state)) {
    const std::optional<Piece> mover = getSquare(state.getBoard, last->to);
    if (last->kind == MoveKind::MovePiece && mover && mover->type == PieceType::Pawn &&
        last->from.column == last->to.column &&
        (last->from.row - last->to.row == 2 || last->to.row - last->from.row == 2)) {
      enPassant = niceShowLocation({(last->from.row + last->to.row) / 2, last->to.column});
    }
  }
  return fenPlacement(state.getBoard) + (state.turn == Colour::White ? " w " : " b ") +
         fenCastling(state.castleStatus) + " " + enPassant + " 0 " +
         std::to_string((state.moveNum + 1) / 2);
}

std::int32_t fenHalfmoveClock(std::string_view fen) {
  std::istringstream fields{std::string(fen)};
  std::string field;
  for (int i = 0; i < 5; ++i) {
    if (!(fields >> field)) return 0;
  }
  std::int32_t clock = 0;
  for (const char c : field) {
    if (c < '0' || c > '9') return 0;
    clock = std::min(clock * 10 + (c - '0'), 100000);
  }
  return clock;
}

}  // namespace quenlor
