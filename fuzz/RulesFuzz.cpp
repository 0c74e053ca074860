// Fuzz target: random games of legal moves from the start position, one input byte choosing
// each move. After every move the board's two views must agree, the legal-move list must equal
// the reference legality (every pseudo-legal move applied and the king tested square by square),
// and the indexed attack test must agree with the slow one on every square.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Basics.h"
#include "Debug.h"
#include "FuzzSupport.h"
#include "Rules.h"

namespace {

using namespace quenlor;
using namespace quenlor::fuzz;

constexpr std::size_t maxPlies = 400;

std::string at(const State& state) {
  return " after " + niceShowMoves([&] {
           std::vector<Move> moves = state.reversedHistory.toVector();
           return std::vector<Move>(moves.rbegin(), moves.rend());
         }());
}

// The king of `colour` found by reading every square, without the index.
Location scanForKing(const Board& board, Colour colour) {
  std::optional<Location> found;
  for (std::int32_t row = 1; row <= 8; ++row) {
    for (std::int32_t column = 1; column <= 8; ++column) {
      const std::optional<Piece> content = getSquare(board, {row, column});
      if (content && *content == Piece{colour, PieceType::King}) {
        check(!found, "two kings of one colour");
        found = Location{row, column};
      }
    }
  }
  check(found.has_value(), "a king is missing");
  return *found;
}

// The legal moves as defined from first principles: every piece of the side to move in
// ascending square order, its pseudo-legal moves kept unless, once applied, the mover's king
// stands attacked by the slow square-by-square test.
std::vector<Move> referenceLegalMoves(const State& state) {
  std::vector<Move> legal;
  const Colour mover = state.turn;
  for (std::int32_t row = 1; row <= 8; ++row) {
    for (std::int32_t column = 1; column <= 8; ++column) {
      const std::optional<Piece> piece = getSquare(state.getBoard, {row, column});
      if (!piece || piece->colour != mover) continue;
      for (const Move move : possibleMovesForPiece(*piece, {row, column}, state)) {
        const State after = makeMove(state, move);
        const bool exposed = slowGivenColourIsAttackingTheSquare(
            after.getBoard, toggle(mover), scanForKing(after.getBoard, mover));
        if (moveResultsInOwnCheck(state, move) != exposed)
          fail("moveResultsInOwnCheck wrong for " + niceShowMove(move) + at(state));
        if (!exposed) legal.push_back(move);
      }
    }
  }
  return legal;
}

void checkAttacks(const State& state) {
  const Board& board = state.getBoard;
  for (const Colour colour : {Colour::White, Colour::Black}) {
    for (std::int32_t row = 1; row <= 8; ++row) {
      for (std::int32_t column = 1; column <= 8; ++column) {
        const Location square{row, column};
        // A king of the attacking colour on the square counts only for the indexed test.
        if (getSquare(board, square) == Piece{colour, PieceType::King}) continue;
        if (givenColourIsAttackingTheSquare(board, colour, square) !=
            slowGivenColourIsAttackingTheSquare(board, colour, square))
          fail("attack tests disagree on " + niceShowLocation(square) + " for " +
               showColourName(colour) + at(state));
      }
    }
  }
  const Location king = scanForKing(board, state.turn);
  if (inCheck(state, state.turn) !=
      slowGivenColourIsAttackingTheSquare(board, toggle(state.turn), king))
    fail("inCheck disagrees with the slow attack test" + at(state));
}

void checkPosition(const State& state, const MoveList& legal) {
  if (const auto problems = boardIntegrityProblems(state)) fail(*problems + at(state));
  if (legal.toVector() != referenceLegalMoves(state))
    fail("legalMoves differs from the reference" + at(state));
  MoveList generated;
  generateLegalMoves(state, generated);
  if (generated.toVector() != legal.toVector()) fail("generateLegalMoves differs" + at(state));
  if (countLegalMoves(state) != legal.size()) fail("countLegalMoves differs" + at(state));
  if (hasLegalMove(state) != !legal.empty()) fail("hasLegalMove differs" + at(state));
  checkAttacks(state);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  // Every state is kept, so that histories sharing their older part outlive one another.
  std::vector<State> states{newGame()};
  std::vector<Move> played;
  while (true) {
    const State& state = states.back();
    const MoveList legal = legalMoves(state);
    checkPosition(state, legal);
    if (legal.empty() || input.remaining_bytes() == 0 || played.size() == maxPlies) break;
    const Move move = legal[input.ConsumeIntegralInRange<std::size_t>(0, legal.size() - 1)];
    const State next = makeMove(state, move);
    played.push_back(move);
    check(next.reversedHistory.front() == move && lastMove(next) == move,
          "the history does not start with the move just played");
    check(next.moveNum == static_cast<std::int32_t>(played.size()) + 1, "move number wrong");
    states.push_back(next);
  }
  for (std::size_t i = 0; i < states.size(); ++i) {
    const std::vector<Move> history = states[i].reversedHistory.toVector();
    check(history.size() == i && states[i].reversedHistory.size() == i, "history length wrong");
    for (std::size_t k = 0; k < i; ++k) {
      check(history[k] == played[i - 1 - k], "history holds another move");
    }
  }
  return 0;
}
