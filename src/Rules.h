#pragma once
// Rules: attack detection, check, castling, move generation and the legal-move list, in the
// fixed generation order the engine relies on. Every question is answered on the working form;
// the functions on a `State` are thin wrappers that report a missing or extra king as the game
// does. Uses Types, Basics and Position.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Basics.h"
#include "Position.h"
#include "Types.h"

namespace quenlor {

//=== Attacks and check ===//

// Whether some piece of `colour` attacks `square` (a king of `colour` on the square counts).
[[nodiscard]] bool attacked(const SquareMap& squares, Colour colour, SquareCode square) noexcept;
// Whether the side to move stands in check; it must have exactly one king.
[[nodiscard]] bool inCheck(const Position& position) noexcept;

// The pieces of both colours that attack `square` when exactly `occupied` squares hold pieces
// (pieces off `occupied` are taken as gone, so exchanges can be played out on the sets).
[[nodiscard]] std::uint64_t attackersTo(const SquareMap& squares, SquareCode square,
                                        std::uint64_t occupied) noexcept;
// The squares a piece of `type` and `colour` on `square` attacks, given the occupied squares.
[[nodiscard]] std::uint64_t pieceAttacks(PieceType type, Colour colour, SquareCode square,
                                         std::uint64_t occupied) noexcept;

// The first piece met walking from `square` (exclusive) in the direction (rowStep, columnStep),
// each step -1, 0 or +1, up to the board's edge; nothing when every square is empty.
[[nodiscard]] std::optional<Piece> nextPieceInLine(const Board& board, Location square, int rowStep,
                                                   int columnStep);
// Whether some piece of `colour` attacks `square`, on the board or off it (a king of `colour`
// on the square counts).
[[nodiscard]] bool givenColourIsAttackingTheSquare(const Board& board, Colour colour,
                                                   Location square);
// The same question answered square by square, walking the lines one square at a time; a king
// of `colour` standing on the square itself does not count here.
[[nodiscard]] bool slowGivenColourIsAttackingTheSquare(const Board& board, Colour colour,
                                                       Location square);
// Whether the king of `colour` is attacked by the other colour.
[[nodiscard]] bool inCheck(const State& state, Colour colour);
// Whether the mover's king is attacked after `move`.
[[nodiscard]] bool moveResultsInOwnCheck(const State& state, Move move);

//=== Castling ===//

// The squares strictly between king and rook on their row, in column order.
[[nodiscard]] std::vector<Location> inBetweenSquares(Location kingFrom, Location rookFrom);
// The king's own square, then the square it crosses.
[[nodiscard]] std::array<Location, 2> kingInbetweenSquares(Location kingFrom, Location kingTo);
// The castling moves of `colour` whose conditions hold: king side first, then queen side.
[[nodiscard]] MoveList castlingMoves(Colour colour, const State& state);

//=== Move generation ===//

// The pseudo-legal moves of `piece` standing on `square`, in generation order.
[[nodiscard]] MoveList possibleMovesForPiece(Piece piece, Location square, const State& state);

// The legal moves of the side to move, in generation order; the count of them; whether there is
// one. The side to move must have exactly one king.
void generateLegalMoves(const Position& position, PackedMoveList& out);
[[nodiscard]] std::size_t countLegalMoves(const Position& position);
[[nodiscard]] bool hasLegalMove(const Position& position);

// The legal captures of the side to move and its promotions to a queen, in generation order
// (en-passant captures last): the moves the strong search's quiescence plays.
void generateForcingMoves(const Position& position, PackedMoveList& out);

// The same on a state. When the side to move has no king or more than one, the game stops at its
// first pseudo-legal move, whose trial finds no single king (`findKing`); without such a move
// the list is empty.
[[nodiscard]] MoveList legalMoves(const State& state);
void generateLegalMoves(const State& state, MoveList& out);
[[nodiscard]] bool hasLegalMove(const State& state);
[[nodiscard]] std::size_t countLegalMoves(const State& state);

//=== Irregular positions ===//

// Why a position is not one that legal play keeps regular, or nothing when it is: each side has
// exactly one king and the side that has just moved does not stand in check (no king can be
// taken). Legal moves keep a regular position regular, so the rules and the search need to look
// for kings only below an irregular one.
[[nodiscard]] std::optional<std::string> irregularity(const Position& position);

// The way from a game state to a position reached from it by moves, kept on the stack while the
// search walks below an irregular position, so that a missing or extra king is reported as the
// game reports it: with the kings in the board's index order and the board they were looked for
// on.
class GamePath {
 public:
  explicit GamePath(const State& root) noexcept : root_(&root) {}
  GamePath(const GamePath& parent, Move move) noexcept
      : root_(parent.root_), parent_(&parent), move_(move) {}
  // The state the path leads to.
  [[nodiscard]] State state() const;
  // Stops the program as `findKing` does for the kings of `colour` at the end of the path.
  [[noreturn]] void reportKings(Colour colour) const;

 private:
  const State* root_;
  const GamePath* parent_ = nullptr;
  Move move_{};
};

// Whether the side to move of `position`, the end of `path`, has exactly one king; otherwise the
// program stops after its first pseudo-legal move as the game does (see `legalMoves`), and false
// means it has no such move.
[[nodiscard]] bool moverHasOneKing(const Position& position, const GamePath& path);

//=== Move tests without applying ===//

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
// that line uncovers the slider). The position must be regular.
class CheckTest {
 public:
  explicit CheckTest(const Position& position) noexcept;
  [[nodiscard]] bool gives(SquareCode from, SquareCode to, PieceType type) const noexcept {
    const std::uint64_t target = squareBit(to);
    if ((attackFrom_[static_cast<std::size_t>(type)] & target) != 0) return true;
    return (uncovering_ & squareBit(from)) != 0 && (lineOf_[from] & target) == 0;
  }

 private:
  std::array<std::uint64_t, 6> attackFrom_;  // by piece type
  std::uint64_t uncovering_ = 0;
  std::array<std::uint64_t, 64> lineOf_;  // read only for uncovering pieces
};

}  // namespace quenlor
