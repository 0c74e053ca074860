#pragma once
// Rules: attack detection, check, castling, move generation and the legal-move list, in the
// fixed generation order the engine relies on. Uses Types and Basics.

#include <algorithm>
#include <array>
#include <cstddef>
#include <optional>
#include <vector>

#include "Basics.h"
#include "Types.h"

namespace quenlor {

// A fixed-capacity list of moves, filled without allocation. Every generated move is a distinct
// (from, to) pair with `from` holding a mover's piece and `to` not (at most 32 × 32 = 1024),
// except for the four promotions of a target (at most 8 pawns × 3 targets × 3 extra) and the
// two en-passant moves, so 1120 places always suffice.
class MoveList {
 public:
  static constexpr std::size_t capacity = 1120;

  MoveList() noexcept {}  // leaves the storage uninitialised: filling it is the caller's job
  // Copies only the moves held, not the whole capacity.
  MoveList(const MoveList& other) noexcept : size_(other.size_) {
    std::copy(other.begin(), other.end(), moves_.data());
  }
  MoveList& operator=(const MoveList& other) noexcept {
    size_ = other.size_;
    std::copy(other.begin(), other.end(), moves_.data());
    return *this;
  }
  void push(Move move) {
    if (size_ == capacity) fatalError("move list overflow");
    moves_[size_++] = move;
  }
  void clear() noexcept { size_ = 0; }
  [[nodiscard]] std::size_t size() const noexcept { return size_; }
  [[nodiscard]] bool empty() const noexcept { return size_ == 0; }
  [[nodiscard]] const Move& operator[](std::size_t i) const noexcept { return moves_[i]; }
  [[nodiscard]] const Move* begin() const noexcept { return moves_.data(); }
  [[nodiscard]] const Move* end() const noexcept { return moves_.data() + size_; }
  [[nodiscard]] std::vector<Move> toVector() const { return {begin(), end()}; }

 private:
  std::array<Move, capacity> moves_;
  std::size_t size_ = 0;
};

//=== Attacks and check ===//

// The first piece met walking from `square` (exclusive) in the direction (rowStep, columnStep),
// each step -1, 0 or +1, up to the board's edge; nothing when every square is empty.
[[nodiscard]] std::optional<Piece> nextPieceInLine(const Board& board, Location square, int rowStep,
                                                   int columnStep);

// Whether some piece of `colour` attacks `square` (a king of `colour` on the square counts).
[[nodiscard]] bool givenColourIsAttackingTheSquare(const Board& board, Colour colour,
                                                   Location square);
// The same question answered square by square, without the index; a king of `colour` standing
// on the square itself does not count here.
[[nodiscard]] bool slowGivenColourIsAttackingTheSquare(const Board& board, Colour colour,
                                                       Location square);
// Whether the king of `colour` is attacked by the other colour.
[[nodiscard]] bool inCheck(const State& state, Colour colour);
// The same question asked of a board.
[[nodiscard]] bool kingAttacked(const Board& board, Colour colour);
// Whether the mover's king is attacked after `move`.
[[nodiscard]] bool moveResultsInOwnCheck(const State& state, Move move);

//=== Castling ===//

// The squares strictly between king and rook on their row, in column order.
[[nodiscard]] std::vector<Location> inBetweenSquares(Location kingFrom, Location rookFrom);
// The king's own square, then the square it crosses.
[[nodiscard]] std::array<Location, 2> kingInbetweenSquares(Location kingFrom, Location kingTo);
// The castling moves of `colour`: king side first, then queen side.
[[nodiscard]] MoveList castlingMoves(Colour colour, const State& state);

//=== Move generation ===//

// The pseudo-legal moves of `piece` standing on `square`, in generation order.
[[nodiscard]] MoveList possibleMovesForPiece(Piece piece, Location square, const State& state);
// The legal moves of the side to move, in generation order.
[[nodiscard]] MoveList legalMoves(const State& state);
// The same, written into `out` (which is cleared first).
void generateLegalMoves(const State& state, MoveList& out);
// Whether the side to move has any legal move.
[[nodiscard]] bool hasLegalMove(const State& state);
// The number of legal moves of the side to move.
[[nodiscard]] std::size_t countLegalMoves(const State& state);

//=== The same questions on a `Position` ===//

// A fixed-capacity list of packed moves (see `MoveList` for the capacity), filled without
// allocation.
class PackedMoveList {
 public:
  PackedMoveList() noexcept {}  // leaves the storage uninitialised: filling it is the caller's job
  void push(PackedMove move) {
    if (size_ == MoveList::capacity) fatalError("move list overflow");
    moves_[size_++] = move;
  }
  void clear() noexcept { size_ = 0; }
  [[nodiscard]] std::size_t size() const noexcept { return size_; }
  [[nodiscard]] bool empty() const noexcept { return size_ == 0; }
  [[nodiscard]] PackedMove operator[](std::size_t i) const noexcept { return moves_[i]; }
  [[nodiscard]] const PackedMove* begin() const noexcept { return moves_.data(); }
  [[nodiscard]] const PackedMove* end() const noexcept { return moves_.data() + size_; }

 private:
  std::array<PackedMove, MoveList::capacity> moves_;
  std::size_t size_ = 0;
};

// The working form of `state` when it can stand in for the state in a search or a move count:
// its index agrees with its squares, each side has exactly one king, and the side that has just
// moved is not in check. Legal moves keep all three true, so no line of play from it ever takes
// a king. Nothing otherwise (the `State` operations then give the answers, errors included).
[[nodiscard]] std::optional<Position> searchablePosition(const State& state);

// The functions below need exactly one king of the side to move.
// Whether some piece of `colour` attacks `square` (a king of `colour` on the square counts).
[[nodiscard]] bool attackedBy(const Position& position, Colour colour, SquareCode square) noexcept;
// Whether the king of the side that has just moved stands attacked, and of the side to move.
[[nodiscard]] bool moverLeftInCheck(const Position& position) noexcept;
[[nodiscard]] bool inCheck(const Position& position) noexcept;
// The legal moves of the side to move, in generation order, written into `out` (cleared first).
void generateLegalMoves(const Position& position, PackedMoveList& out);
[[nodiscard]] bool hasLegalMove(const Position& position);
[[nodiscard]] std::size_t countLegalMoves(const Position& position);

// Whether a move of the side to move changes only its own two squares: no promotion, no castling
// and no diagonal pawn move from the en-passant row (which may be en passant). Such a move can
// be judged without applying it.
[[nodiscard]] inline bool isPlainMove(const Position& position, PackedMove move) noexcept {
  if (isPackedPromotion(move)) return false;
  const SquareCode from = packedFrom(move);
  const SquareCode to = packedTo(move);
  switch (position.typeOn(from)) {
    case PieceType::King: return !(to == from + 2 || to + 2 == from);
    case PieceType::Pawn:
      return from % 8 == to % 8 || from / 8 != (position.turn == Colour::White ? 3 : 4);
    default: return true;
  }
}

// Whether a plain legal move of the side to move puts the other king in check, answered without
// applying it: from the squares from which each piece type would attack that king, and from the
// side to move's pieces that alone stand between it and one of their own sliders (moving off
// that line uncovers the slider). Both sides must have exactly one king, and the other king must
// not be in check already.
class CheckTest {
 public:
  explicit CheckTest(const Position& position) noexcept;
  [[nodiscard]] bool gives(SquareCode from, SquareCode to, PieceType type) const noexcept {
    const std::uint64_t target = std::uint64_t{1} << to;
    if ((attackFrom_[static_cast<std::size_t>(type)] & target) != 0) return true;
    return ((uncovering_ >> from) & 1U) != 0 && (lineOf_[from] & target) == 0;
  }

 private:
  std::array<std::uint64_t, 6> attackFrom_;  // by piece type
  std::uint64_t uncovering_ = 0;
  std::array<std::uint64_t, 64> lineOf_;  // read only for uncovering pieces
};

}  // namespace quenlor
