#include "Types.h"

#include <algorithm>
#include <cstring>

namespace quenlor {

void fatalError(const std::string& message) {
  throw FatalError(message);
}

//=== Constant lists and letters ===//

std::vector<std::int32_t> inc(std::int32_t n) {
  std::vector<std::int32_t> out;
  for (std::int32_t i = n; i <= 8; ++i) out.push_back(i);
  return out;
}

std::vector<std::int32_t> dec(std::int32_t n) {
  std::vector<std::int32_t> out;
  for (std::int32_t i = n; i >= 1; --i) out.push_back(i);
  return out;
}

namespace {
constexpr std::array<char, 6> typeLetters{'K', 'Q', 'R', 'N', 'B', 'P'};
constexpr std::array<const char*, 6> typeNames{"King", "Queen", "Rook", "Knight", "Bishop", "Pawn"};
}  // namespace

std::string niceShowPieceType(PieceType type) {
  return std::string(1, typeLetters[static_cast<std::size_t>(type)]);
}

std::string niceShowColour(Colour colour) {
  return colour == Colour::White ? "W" : "B";
}

std::string niceShowPiece(Piece piece) {
  const char letter = typeLetters[static_cast<std::size_t>(piece.type)];
  return std::string(1, piece.colour == Colour::White ? letter : static_cast<char>(letter + 32));
}

std::string showColourName(Colour colour) {
  return colour == Colour::White ? "White" : "Black";
}

std::string showPieceTypeName(PieceType type) {
  return typeNames[static_cast<std::size_t>(type)];
}

//=== Board store ===//

std::vector<Location> LocationList::toVector() const {
  std::vector<Location> out;
  out.reserve(count_);
  for (std::size_t i = 0; i < count_; ++i) out.push_back(squareLocation(codes_[i]));
  return out;
}

namespace {

[[noreturn]] void offBoardUpdate(const char* operation, Location loc) {
  fatalError(std::string(operation) + " called on a square off the board: " + showLocation(loc));
}

// Puts `sq` at the front of the list of `piece`.
void prependInPlace(PieceLocationMap& index, PieceCode piece, SquareCode sq) {
  const std::uint8_t total = index.start[12];
  if (total == index.pool.size()) fatalError("piece-location index is full");
  const std::uint8_t at = index.start[piece];
  std::memmove(index.pool.data() + at + 1, index.pool.data() + at, total - at);
  index.pool[at] = sq;
  for (std::size_t k = piece + 1U; k < index.start.size(); ++k) ++index.start[k];
  index.present = static_cast<std::uint16_t>(index.present | (1U << piece));
}

// Takes the first occurrence of `sq` out of the list of `piece`.
void removeFirstInPlace(PieceLocationMap& index, PieceCode piece, SquareCode sq) {
  const std::uint8_t first = index.start[piece];
  const std::uint8_t last = index.start[piece + 1];
  std::uint8_t at = first;
  while (at < last && index.pool[at] != sq) ++at;
  if (at == last) fatalError("primRemovePiece for non-existent piece?");
  std::memmove(index.pool.data() + at, index.pool.data() + at + 1, index.start[12] - at - 1U);
  // Places past the end stay zero, so that equal boards are equal byte for byte.
  index.pool[index.start[12] - 1U] = 0;
  for (std::size_t k = piece + 1U; k < index.start.size(); ++k) --index.start[k];
  index.present = static_cast<std::uint16_t>(index.present | (1U << piece));
}

// Replaces the whole list of `piece`.
void replaceListInPlace(PieceLocationMap& index, PieceCode piece,
                        const std::vector<Location>& list) {
  const std::size_t oldLength = index.start[piece + 1] - index.start[piece];
  const std::size_t total = index.start[12];
  if (total - oldLength + list.size() > index.pool.size()) {
    fatalError("piece-location index is full");
  }
  std::array<SquareCode, 64> codes{};
  for (std::size_t i = 0; i < list.size(); ++i) {
    if (!inBoard(list[i])) offBoardUpdate("primModifyPLM", list[i]);
    codes[i] = squareCode(list[i]);
  }
  std::array<SquareCode, 64> pool{};
  std::size_t out = 0;
  for (PieceCode k = 0; k < 12; ++k) {
    const std::size_t begin = out;
    if (k == piece) {
      for (std::size_t i = 0; i < list.size(); ++i) pool[out++] = codes[i];
    } else {
      for (SquareCode sq : index.codesOf(k)) pool[out++] = sq;
    }
    index.start[k] = static_cast<std::uint8_t>(begin);
  }
  index.start[12] = static_cast<std::uint8_t>(out);
  index.pool = pool;
  index.present = static_cast<std::uint16_t>(index.present | (1U << piece));
}

}  // namespace

void Board::clear(SquareCode sq) {
  const std::uint8_t cell = squares.cells[sq];
  if (cell == 0) return;
  removeFirstInPlace(index, static_cast<PieceCode>(cell - 1), sq);
  squares.clear(sq);
}

void Board::place(SquareCode sq, std::uint8_t cell) {
  const std::uint8_t old = squares.cells[sq];
  const auto piece = static_cast<PieceCode>(cell - 1);
  // The same piece placed again keeps its list as it was; another occupant leaves its list
  // first, so that the pool never overflows.
  if (old == cell) {
    index.present = static_cast<std::uint16_t>(index.present | (1U << piece));
    return;
  }
  if (old != 0) removeFirstInPlace(index, static_cast<PieceCode>(old - 1), sq);
  prependInPlace(index, piece, sq);
  squares.place(sq, cell);
}

void Board::shift(SquareCode from, SquareCode to) {
  const std::uint8_t cell = squares.cells[from];
  if (cell == 0) fatalError("movePiece called on empty square");
  const auto piece = static_cast<PieceCode>(cell - 1);
  // What `to` holds once the piece has left `from`.
  const std::uint8_t captured = from == to ? 0 : squares.cells[to];
  if (captured == cell) {
    // Onto a square held by the same piece: its list loses `from` and keeps `to` where it is.
    removeFirstInPlace(index, piece, from);
    squares.shift(from, to);
    return;
  }
  // Removing the first `from` of the piece's list and putting `to` in front keeps the list's
  // length, so it is one shift inside the piece's own stretch of the pool.
  SquareCode* first = index.pool.data() + index.start[piece];
  SquareCode* last = index.pool.data() + index.start[piece + 1];
  SquareCode* at = std::find(first, last, from);
  if (at == last) fatalError("primRemovePiece for non-existent piece?");
  std::copy_backward(first, at, at + 1);
  *first = to;
  index.present = static_cast<std::uint16_t>(index.present | (1U << piece));
  if (captured != 0) removeFirstInPlace(index, static_cast<PieceCode>(captured - 1), to);
  squares.shift(from, to);
}

std::optional<Piece> primLookupSquare(const SquareMap& squares, Location loc) noexcept {
  if (!inBoard(loc)) return std::nullopt;
  const std::uint8_t cell = squares.cells[squareCode(loc)];
  if (cell == 0) return std::nullopt;
  return pieceOfCode(static_cast<PieceCode>(cell - 1));
}

std::optional<Piece> getSquare(const Board& board, Location loc) noexcept {
  return primLookupSquare(board.squares, loc);
}

LocationList primGetPieceLocs(const PieceLocationMap& index, Piece piece) noexcept {
  LocationList out;
  for (SquareCode sq : index.codesOf(pieceCode(piece))) out.pushBack(sq);
  return out;
}

LocationList findGivenPiece(const Board& board, Piece piece) noexcept {
  return primGetPieceLocs(board.index, piece);
}

PieceLocationMap primModifyPLM(Piece piece,
                               const std::function<std::vector<Location>(std::vector<Location>)>& f,
                               const PieceLocationMap& index) {
  PieceLocationMap out = index;
  const PieceCode code = pieceCode(piece);
  replaceListInPlace(out, code, f(primGetPieceLocs(index, piece).toVector()));
  return out;
}

PieceLocationMap primRemovePiece(Piece piece, Location loc, const PieceLocationMap& index) {
  // An off-board location is in no list.
  if (!inBoard(loc)) fatalError("primRemovePiece for non-existent piece?");
  PieceLocationMap out = index;
  removeFirstInPlace(out, pieceCode(piece), squareCode(loc));
  return out;
}

Board emptySquare(Location loc, const Board& board) {
  if (!inBoard(loc)) return board;  // reads as empty
  Board out = board;
  out.clear(squareCode(loc));
  return out;
}

Board setSquare(Location loc, Piece piece, const Board& board) {
  if (!inBoard(loc)) offBoardUpdate("setSquare", loc);
  Board out = board;
  out.place(squareCode(loc), cellOf(piece));
  return out;
}

Board movePiece(Location from, Location to, const Board& board) {
  if (!inBoard(from) || board.squares.cells[squareCode(from)] == 0) {
    fatalError("movePiece called on empty square");
  }
  if (!inBoard(to)) offBoardUpdate("movePiece", to);
  Board out = board;
  out.shift(squareCode(from), squareCode(to));
  return out;
}

Board initBoard(const std::vector<PlacedPiece>& placed) {
  if (placed.size() > 64) fatalError("initBoard given more than 64 pieces");
  Board board;
  for (const PlacedPiece& pp : placed) {
    if (!inBoard(pp.location)) offBoardUpdate("initBoard", pp.location);
    board.squares.place(squareCode(pp.location), cellOf(pp.piece));
  }
  // Each piece's list holds its locations in input order; the lists lie in piece-code order.
  std::uint8_t out = 0;
  for (PieceCode k = 0; k < 12; ++k) {
    board.index.start[k] = out;
    for (const PlacedPiece& pp : placed) {
      if (pieceCode(pp.piece) == k) board.index.pool[out++] = squareCode(pp.location);
    }
  }
  board.index.start[12] = out;
  board.index.present = 0x0FFF;
  return board;
}

std::vector<PlacedPiece> findAllPieces(const Board& board) {
  std::vector<PlacedPiece> out;
  for (SquareCode sq = 0; sq < 64; ++sq) {
    const std::uint8_t cell = board.squares.cells[sq];
    if (cell != 0)
      out.push_back({squareLocation(sq), pieceOfCode(static_cast<PieceCode>(cell - 1))});
  }
  return out;
}

std::vector<PlacedPiece> findAllPiecesGivenColour(Colour colour, const Board& board) {
  std::vector<PlacedPiece> out;
  for (const PlacedPiece& pp : findAllPieces(board)) {
    if (pp.piece.colour == colour) out.push_back(pp);
  }
  return out;
}

Piece getPieceFromSquare(const Board& board, Location loc) {
  const std::optional<Piece> content = getSquare(board, loc);
  if (!content) fatalError("getPieceFromSquare called on empty square");
  return *content;
}

bool emptySquareOrColouredPiece(Colour colour, std::optional<Piece> content) noexcept {
  return !content || content->colour == colour;
}

std::string niceShowSquare(std::optional<Piece> content) {
  return content ? niceShowPiece(*content) : ".";
}

std::string niceShowBoard(const Board& board) {
  std::string out;
  for (std::int32_t row = 1; row <= 8; ++row) {
    for (std::int32_t column = 1; column <= 8; ++column) {
      out += niceShowSquare(getSquare(board, {row, column}));
    }
    out += '\n';
  }
  return out;
}

//=== History ===//

struct History::Node {
  std::size_t refs;
  std::vector<Move> moves;  // game order, oldest first
};

// The reference count is plain, not atomic: states are never shared between threads.
History::History(const History& other) noexcept
    : older_(other.older_), recent_(other.recent_), recentCount_(other.recentCount_) {
  if (older_ != nullptr) ++older_->refs;
}

History& History::operator=(const History& other) noexcept {
  if (this != &other) {
    if (other.older_ != nullptr) ++other.older_->refs;
    if (older_ != nullptr && --older_->refs == 0) delete older_;
    older_ = other.older_;
    recent_ = other.recent_;
    recentCount_ = other.recentCount_;
  }
  return *this;
}

History::~History() {
  if (older_ != nullptr && --older_->refs == 0) delete older_;
}

std::size_t History::size() const noexcept {
  return (older_ != nullptr ? older_->moves.size() : 0) + recentCount_;
}

std::optional<Move> History::front() const noexcept {
  if (recentCount_ > 0) return unpackMove(recent_[recentCount_ - 1U]);
  if (older_ != nullptr && !older_->moves.empty()) return older_->moves.back();
  return std::nullopt;
}

std::vector<Move> History::toVector() const {
  std::vector<Move> out;
  out.reserve(size());
  for (std::size_t i = recentCount_; i > 0; --i) out.push_back(unpackMove(recent_[i - 1]));
  if (older_ != nullptr) out.insert(out.end(), older_->moves.rbegin(), older_->moves.rend());
  return out;
}

History History::with(Move move) const {
  const std::optional<PackedMove> packed = packMove(move);
  if (packed && recentCount_ < recentCapacity) {
    History out(*this);
    out.recent_[out.recentCount_++] = *packed;
    return out;
  }
  // No room inline (or a move with off-board squares): everything moves into a new node.
  return spilled(&move);
}

History History::settled() const {
  return recentCount_ == 0 ? *this : spilled(nullptr);
}

History History::withAll(const std::vector<Move>& moves) const {
  if (moves.empty()) return *this;
  History out = spilled(nullptr);
  out.older_->moves.reserve(out.older_->moves.size() + moves.size());
  out.older_->moves.insert(out.older_->moves.end(), moves.begin(), moves.end());
  return out;
}

History History::spilled(const Move* extra) const {
  auto* node = new Node{1, {}};
  node->moves.reserve(size() + 1);
  if (older_ != nullptr) node->moves = older_->moves;
  for (std::size_t i = 0; i < recentCount_; ++i) node->moves.push_back(unpackMove(recent_[i]));
  if (extra != nullptr) node->moves.push_back(*extra);
  History out;
  out.older_ = node;
  return out;
}

//=== Rendering ===//

std::string niceShowLocation(Location loc) {
  // Wrapping arithmetic: a parsed location may hold any 32-bit numbers.
  const auto rank = static_cast<std::int32_t>(9U - static_cast<std::uint32_t>(loc.row));
  const auto file =
      static_cast<char>(static_cast<unsigned char>(96U + static_cast<std::uint32_t>(loc.column)));
  return std::string(1, file) + std::to_string(rank);
}

std::string niceShowMove(Move move) {
  std::string out = niceShowLocation(move.from) + niceShowLocation(move.to);
  if (move.kind == MoveKind::PromotePawn) {
    out += static_cast<char>(typeLetters[static_cast<std::size_t>(move.promoted)] + 32);
  }
  return out;
}

std::string intersperseNumbers(std::int32_t start, const std::vector<std::string>& texts) {
  std::string out;
  std::int32_t n = start;
  for (std::size_t i = 0; i < texts.size(); i += 2, ++n) {
    out += std::to_string(n) + ". " + texts[i];
    if (i + 1 < texts.size()) out += " " + texts[i + 1] + " ";
  }
  return out;
}

std::string niceShowMoves(const std::vector<Move>& moves) {
  std::vector<std::string> texts;
  texts.reserve(moves.size());
  for (const Move& m : moves) texts.push_back(niceShowMove(m));
  return intersperseNumbers(1, texts);
}

std::string niceShowStatus(CastleStatus status) {
  auto rightsOf = [&](Colour colour) {
    std::string text;
    if (status.holds(BoardSide::KingSide, colour)) text = "O-O";
    if (status.holds(BoardSide::QueenSide, colour)) text += text.empty() ? "O-O-O" : " O-O-O";
    return text;
  };
  return "W(" + rightsOf(Colour::White) + "), B(" + rightsOf(Colour::Black) + ")";
}

std::string niceShowState(const State& state) {
  std::vector<Move> gameOrder = state.reversedHistory.toVector();
  std::reverse(gameOrder.begin(), gameOrder.end());
  return std::string(37, '=') + "\n" + niceShowBoard(state.getBoard) + "\n" + "[Move " +
         std::to_string(state.moveNum) + "; Turn " + niceShowColour(state.turn) +
         "; Castle Status " + niceShowStatus(state.castleStatus) + "; ]\n" +
         niceShowMoves(gameOrder) + "\n" + std::string(38, '=') + "\n";
}

std::string showLocation(Location loc) {
  return "(" + std::to_string(loc.row) + "," + std::to_string(loc.column) + ")";
}

std::string showMoveConstructor(Move move) {
  if (move.kind == MoveKind::MovePiece) {
    return "MovePiece " + showLocation(move.from) + " " + showLocation(move.to);
  }
  return "PromotePawn " + showLocation(move.from) + " " + showLocation(move.to) + " " +
         showPieceTypeName(move.promoted);
}

}  // namespace quenlor
