// Tests of the helpers over the types, findKing, the starting state and makeMove: every kind of
// move, the castling rights (including the loss of a right whose rook is taken on its corner),
// the history, and that every state reached keeps the board's two views in agreement.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <climits>
#include <ostream>
#include <string>
#include <vector>

#include "Basics.h"
#include "Debug.h"
#include "TestSupport.h"
#include "Types.h"

namespace quenlor {
namespace {

using namespace test;

//=== Small helpers ===//

TEST(Basics, ToggleInBoardAndCastlingSquares) {
  EXPECT_EQ(toggle(Colour::White), Colour::Black);
  EXPECT_EQ(toggle(Colour::Black), Colour::White);

  for (const Location loc : Squares{{1, 1}, {8, 8}, {1, 8}, {8, 1}, {4, 5}}) {
    EXPECT_TRUE(inBoard(loc)) << showLocation(loc);
  }
  for (const Location loc : offBoard) EXPECT_FALSE(inBoard(loc)) << showLocation(loc);

  using P = SquarePair;
  EXPECT_EQ(castling(Colour::White, BoardSide::KingSide),
            (std::array<P, 2>{P{{8, 5}, {8, 7}}, P{{8, 8}, {8, 6}}}));
  EXPECT_EQ(castling(Colour::White, BoardSide::QueenSide),
            (std::array<P, 2>{P{{8, 5}, {8, 3}}, P{{8, 1}, {8, 4}}}));
  EXPECT_EQ(castling(Colour::Black, BoardSide::KingSide),
            (std::array<P, 2>{P{{1, 5}, {1, 7}}, P{{1, 8}, {1, 6}}}));
  EXPECT_EQ(castling(Colour::Black, BoardSide::QueenSide),
            (std::array<P, 2>{P{{1, 5}, {1, 3}}, P{{1, 1}, {1, 4}}}));
}

TEST(Basics, NegateScore) {
  const std::vector<std::pair<Score, Score>> cases{{NegativeInfinity, PositiveInfinity},
                                                   {Number(5), Number(-5)},
                                                   {Number(0), Number(0)},
                                                   {Number(INT32_MAX), Number(-INT32_MAX)},
                                                   {Number(-40000000), Number(40000000)}};
  for (const auto& [s, negated] : cases) {
    EXPECT_EQ(negateScore(s), negated);
    EXPECT_EQ(negateScore(negated), s);
  }
  const std::string message = fatalMessage([] { (void)negateScore(NeverCalculated); });
  EXPECT_NE(message.find("negateScore"), std::string::npos) << message;
}

//=== findKing ===//

TEST(FindKing, FindsTheOneKing) {
  EXPECT_EQ(findKing(initialPosition(), Colour::White), (Location{8, 5}));
  EXPECT_EQ(findKing(initialPosition(), Colour::Black), (Location{1, 5}));
}

TEST(FindKing, NoKingOrTwoKingsStopWithTheBoardPicture) {
  const Board whiteOnly = initBoard({{{8, 5}, WK}});
  EXPECT_EQ(fatalMessage([&] { (void)findKing(whiteOnly, Colour::Black); }),
            "findKing found kings at []\nin the board\n" + emptyRows(7) + "....K...\n");

  const Board twoKings = initBoard({{{8, 5}, WK}, {{1, 5}, WK}});
  EXPECT_EQ(fatalMessage([&] { (void)findKing(twoKings, Colour::White); }),
            "findKing found kings at [(8,5),(1,5)]\nin the board\n....K...\n" + emptyRows(6) +
                "....K...\n");

  // The list is written in index order: a king placed later stands in front.
  const Board placedLater = setSquare({4, 1}, BK, initBoard({{{1, 5}, BK}, {{8, 5}, WK}}));
  EXPECT_EQ(fatalMessage([&] { (void)findKing(placedLater, Colour::Black); }),
            "findKing found kings at [(4,1),(1,5)]\nin the board\n....k...\n" + emptyRows(2) +
                "k.......\n" + emptyRows(3) + "....K...\n");
}

//=== The starting state ===//

TEST(NewGame, StartsWithWhiteToMoveAndAllRights) {
  const State s = newGame();
  EXPECT_EQ(s.turn, Colour::White);
  EXPECT_EQ(s.moveNum, 1);
  EXPECT_TRUE(s.reversedHistory.empty());
  EXPECT_EQ(lastMove(s), std::nullopt);
  EXPECT_EQ(fenPlacement(s.getBoard), "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR");
  for (BoardSide side : {BoardSide::KingSide, BoardSide::QueenSide}) {
    for (Colour colour : {Colour::White, Colour::Black}) {
      EXPECT_TRUE(s.castleStatus.hasKey(side, colour));
      EXPECT_TRUE(s.castleStatus.holds(side, colour));
    }
  }
  // Lists in column order, as the starting squares are listed.
  const Board& b = s.getBoard;
  EXPECT_EQ(findGivenPiece(b, {Colour::White, PieceType::Rook}).toVector(),
            (Squares{{8, 1}, {8, 8}}));
  EXPECT_EQ(findGivenPiece(b, {Colour::Black, PieceType::Knight}).toVector(),
            (Squares{{1, 2}, {1, 7}}));
  EXPECT_EQ(findGivenPiece(b, {Colour::White, PieceType::Pawn}).toVector(),
            (Squares{{7, 1}, {7, 2}, {7, 3}, {7, 4}, {7, 5}, {7, 6}, {7, 7}, {7, 8}}));
  EXPECT_EQ(findGivenPiece(b, WK).toVector(), (Squares{{8, 5}}));
  EXPECT_EQ(boardIntegrityProblems(s), std::nullopt);
}

//=== makeMove ===//

struct MoveCase {
  const char* name;
  const char* fen;
  std::vector<const char*> moves;  // applied in order
  const char* board;               // placement after the last move
  const char* rights;              // castling rights after the last move
};

// clang-format off
const std::vector<MoveCase> moveCases{
  // Ordinary moves and captures.
  {"PawnAdvance", "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -", {"e2e4"},
   "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR", "KQkq"},
  {"Capture", "4k3/8/8/3p4/4P3/8/8/4K3 w - -", {"e4d5"}, "4k3/8/8/3P4/8/8/8/4K3", "-"},
  {"KnightCapture", "4k3/8/8/8/8/2n5/4B3/4K3 b - -", {"c3e2"}, "4k3/8/8/8/8/8/4n3/4K3", "-"},
  // Castling, both sides, both colours: the rook moves too.
  {"WhiteKingSide", "r3k2r/8/8/8/8/8/8/R3K2R w KQkq -", {"e1g1"}, "r3k2r/8/8/8/8/8/8/R4RK1", "kq"},
  {"WhiteQueenSide", "r3k2r/8/8/8/8/8/8/R3K2R w KQkq -", {"e1c1"}, "r3k2r/8/8/8/8/8/8/2KR3R", "kq"},
  {"BlackKingSide", "r3k2r/8/8/8/8/8/8/R3K2R b KQkq -", {"e8g8"}, "r4rk1/8/8/8/8/8/8/R3K2R", "KQ"},
  {"BlackQueenSide", "r3k2r/8/8/8/8/8/8/R3K2R b KQkq -", {"e8c8"}, "2kr3r/8/8/8/8/8/8/R3K2R", "KQ"},
  // The castling pattern is the mover's home row only.
  {"WhiteKingMovedByBlack", "r3k2r/8/8/8/8/8/8/R3K2R b KQkq -", {"e1g1"},
   "r3k2r/8/8/8/8/8/8/R5KR", "KQkq"},
  {"BlackKingMovedByWhite", "r3k2r/8/8/8/8/8/8/R3K2R w KQkq -", {"e8c8"},
   "r1k4r/8/8/8/8/8/8/R3K2R", "KQkq"},
  {"CastlingMovesWhateverIsOnTheCorner", "4k3/8/8/8/8/8/8/4K2n w K -", {"e1g1"},
   "4k3/8/8/8/8/8/8/5nK1", "-"},
  // En passant and its near misses.
  {"EnPassantWhite", "4k3/8/8/3pP3/8/8/8/4K3 w - d6", {"e5d6"}, "4k3/8/3P4/8/8/8/8/4K3", "-"},
  {"EnPassantBlack", "4k3/8/8/8/3Pp3/8/8/4K3 b - d3", {"e4d3"}, "4k3/8/8/8/8/3p4/8/4K3", "-"},
  {"EnPassantAfterPlayedDoubleStep", "4k3/3p4/8/4P3/8/8/8/4K3 b - -", {"d7d5", "e5d6"},
   "4k3/8/3P4/8/8/8/8/4K3", "-"},
  {"EnPassantLeftOfBlackPawn", "4k3/8/8/8/5pP1/8/8/4K3 b - g3", {"f4g3"},
   "4k3/8/8/8/8/6p1/8/4K3", "-"},
  {"NoEnPassantWithoutDoubleStep", "4k3/8/8/3pP3/8/8/8/4K3 w - -", {"e5d6"},
   "4k3/8/3P4/3p4/8/8/8/4K3", "-"},
  {"NoEnPassantAfterSingleStep", "4k3/8/3p4/4P3/8/8/8/4K3 b - -", {"d6d5", "e5d6"},
   "4k3/8/3P4/3p4/8/8/8/4K3", "-"},
  {"NoEnPassantOneMoveLate", "4k3/3p4/8/4P3/8/8/8/4K3 b - -", {"d7d5", "e1e2", "e8e7", "e5d6"},
   "8/4k3/3P4/3p4/8/8/4K3/8", "-"},
  {"NoEnPassantOfAKnight", "4k3/3n4/8/4P3/8/8/8/4K3 b - -", {"d7d5", "e5d6"},
   "4k3/8/3P4/3n4/8/8/8/4K3", "-"},
  {"NoEnPassantOfOwnPawn", "4k3/3P4/8/4P3/8/8/8/4K3 b - -", {"d7d5", "e5d6"},
   "4k3/8/3P4/3P4/8/8/8/4K3", "-"},
  {"NoEnPassantOntoOtherColumn", "4k3/8/8/3pP3/8/8/8/4K3 w - d6", {"e5f6"},
   "4k3/8/5P2/3p4/8/8/8/4K3", "-"},
  {"NoEnPassantByAKing", "4k3/8/8/3pK3/8/8/8/8 w - d6", {"e5d6"}, "4k3/8/3K4/3p4/8/8/8/8", "-"},
  // Promotions: every type, captures, from an empty square, of a pawn of the other colour.
  {"PromoteQueen", "4k3/P7/8/8/8/8/8/4K3 w - -", {"a7a8q"}, "Q3k3/8/8/8/8/8/8/4K3", "-"},
  {"PromoteRook", "4k3/P7/8/8/8/8/8/4K3 w - -", {"a7a8r"}, "R3k3/8/8/8/8/8/8/4K3", "-"},
  {"PromoteBishop", "4k3/P7/8/8/8/8/8/4K3 w - -", {"a7a8b"}, "B3k3/8/8/8/8/8/8/4K3", "-"},
  {"PromoteKnight", "4k3/P7/8/8/8/8/8/4K3 w - -", {"a7a8n"}, "N3k3/8/8/8/8/8/8/4K3", "-"},
  {"BlackPromotesKnight", "4k3/8/8/8/8/8/1p6/4K3 b - -", {"b2b1n"}, "4k3/8/8/8/8/8/8/1n2K3", "-"},
  {"PromotionCapture", "1r2k3/P7/8/8/8/8/8/4K3 w - -", {"a7b8n"}, "1N2k3/8/8/8/8/8/8/4K3", "-"},
  {"PromotionFromEmptySquare", "4k3/8/8/8/8/8/8/4K3 w - -", {"a7a8q"}, "Q3k3/8/8/8/8/8/8/4K3", "-"},
  {"PromotionTakesMoversColour", "4k3/p7/8/8/8/8/8/4K3 w - -", {"a7a8r"}, "R3k3/8/8/8/8/8/8/4K3", "-"},
  {"PromotionToKing", "4k3/8/8/8/8/8/3p4/4K3 b - -", {"d2d1k"}, "4k3/8/8/8/8/8/8/3kK3", "-"},
  // Castling rights given up by leaving a home square.
  {"KingMoveLosesBoth", "r3k2r/8/8/8/8/8/8/R3K2R w KQkq -", {"e1f1"}, "r3k2r/8/8/8/8/8/8/R4K1R", "kq"},
  {"RookA1LosesQueenSide", "r3k2r/8/8/8/8/8/8/R3K2R w KQkq -", {"a1b1"}, "r3k2r/8/8/8/8/8/8/1R2K2R", "Kkq"},
  {"RookH1LosesKingSide", "r3k2r/8/8/8/8/8/8/R3K2R w KQkq -", {"h1g1"}, "r3k2r/8/8/8/8/8/8/R3K1R1", "Qkq"},
  {"BlackKingMoveLosesBoth", "r3k2r/8/8/8/8/8/8/R3K2R b KQkq -", {"e8d8"}, "r2k3r/8/8/8/8/8/8/R3K2R", "KQ"},
  {"RookA8LosesQueenSide", "r3k2r/8/8/8/8/8/8/R3K2R b KQkq -", {"a8a5"}, "4k2r/8/8/r7/8/8/8/R3K2R", "KQk"},
  {"RookH8LosesKingSide", "r3k2r/8/8/8/8/8/8/R3K2R b KQkq -", {"h8h2"}, "r3k3/8/8/8/8/8/7r/R3K2R", "KQq"},
  {"AnyPieceLeavingTheKingSquare", "4k3/8/8/8/8/8/8/R3Q2R w KQ -", {"e1e4"}, "4k3/8/8/8/4Q3/8/8/R6R", "-"},
  {"RightsNeverReturn", "4k3/8/8/8/8/8/8/4K2R w K -", {"e1f1", "e8d8", "f1e1", "d8e8"},
   "4k3/8/8/8/8/8/8/4K2R", "-"},
  // Rights lost when a move lands on the opponent's rook corner.
  {"RookTakenOnA1", "r3k2r/8/8/8/8/8/8/R3K2R b KQkq -", {"a8a1"}, "4k2r/8/8/8/8/8/8/r3K2R", "Kk"},
  {"RookTakenOnH8", "r3k2r/8/8/8/8/8/8/R3K2R w KQkq -", {"h1h8"}, "r3k2R/8/8/8/8/8/8/R3K3", "Qq"},
  {"BishopTakesOnH1", "r3k2r/8/8/8/8/8/6b1/R3K2R b KQkq -", {"g2h1"}, "r3k2r/8/8/8/8/8/8/R3K2b", "Qkq"},
  {"EmptyCornerReached", "4k3/8/8/8/8/8/1B6/4K3 w kq -", {"b2h8"}, "4k2B/8/8/8/8/8/8/4K3", "q"},
  {"PromotionTakesOnA8", "r3k2r/1P6/8/8/8/8/8/4K3 w kq -", {"b7a8q"}, "Q3k2r/8/8/8/8/8/8/4K3", "k"},
  {"PromotionTakesOnH8", "r3k2r/6P1/8/8/8/8/8/4K3 w kq -", {"g7h8n"}, "r3k2N/8/8/8/8/8/8/4K3", "q"},
  {"BlackPromotionTakesOnA1", "4k3/8/8/8/8/8/1p6/R3K2R b KQ -", {"b2a1q"}, "4k3/8/8/8/8/8/8/q3K2R", "K"},
  {"OwnCornerLeavesAllRights", "4k3/8/8/8/8/8/R7/4K2R w Kkq -", {"a2a1"}, "4k3/8/8/8/8/8/8/R3K2R", "Kkq"},
  {"KingSquareIsNoCorner", "r3k2r/8/8/8/8/8/8/R3K2R w KQkq -", {"e1e8"}, "r3K2r/8/8/8/8/8/8/R6R", "kq"},
  {"PromotionElsewhereKeepsRights", "r3k2r/3P4/8/8/8/8/8/R3K2R w KQkq -", {"d7d8q"},
   "r2Qk2r/8/8/8/8/8/8/R3K2R", "KQkq"},
  {"PromotionFromOwnCornerKeepsOwnRights", "4k3/8/8/8/8/8/8/R3K2R w KQ -", {"h1g1q"},
   "4k3/8/8/8/8/8/8/R3K1Q1", "KQ"},
};
// clang-format on

void PrintTo(const MoveCase& c, std::ostream* os) {
  *os << c.name;
}

class MakeMove : public testing::TestWithParam<MoveCase> {};

TEST_P(MakeMove, GivesTheExpectedBoardRightsAndBookkeeping) {
  const MoveCase& c = GetParam();
  State s = fen(c.fen);
  for (const char* text : c.moves) {
    const Move m = mv(text);
    const State before = s;
    const std::string beforeText = niceShowState(before);
    const std::vector<Move> history = before.reversedHistory.toVector();

    s = makeMove(before, m);
    SCOPED_TRACE(text);
    EXPECT_EQ(s.turn, toggle(before.turn));
    EXPECT_EQ(s.moveNum, before.moveNum + 1);
    EXPECT_EQ(lastMove(s), m);
    std::vector<Move> expectedHistory{m};
    expectedHistory.insert(expectedHistory.end(), history.begin(), history.end());
    EXPECT_EQ(s.reversedHistory.toVector(), expectedHistory);
    EXPECT_EQ(boardIntegrityProblems(s), std::nullopt);
    // The state the move was applied to is left as it was.
    EXPECT_EQ(niceShowState(before), beforeText);
    EXPECT_EQ(before.reversedHistory.toVector(), history);
  }
  EXPECT_EQ(fenPlacement(s.getBoard), c.board);
  EXPECT_EQ(fenCastling(s.castleStatus), c.rights);
}

INSTANTIATE_TEST_SUITE_P(Moves, MakeMove, testing::ValuesIn(moveCases),
                         [](const testing::TestParamInfo<MoveCase>& param) {
                           return std::string(param.param.name);
                         });

TEST(MakeMoveHistory, EveryStateOfALongGameKeepsItsOwnHistory) {
  // Knights out and back, twelve times: long enough for any inline part of the history to
  // spill, with every earlier state kept alive and checked at the end.
  const std::vector<const char*> cycle{"g1f3", "g8f6", "f3g1", "f6g8"};
  std::vector<State> states{newGame()};
  std::vector<Move> played;
  for (int i = 0; i < 48; ++i) {
    played.push_back(mv(cycle[static_cast<std::size_t>(i) % cycle.size()]));
    states.push_back(makeMove(states.back(), played.back()));
  }
  // A branch from the middle of the game shares nothing observable with the main line.
  const State branch = makeMove(states[21], mv("e7e5"));

  for (std::size_t n = 0; n < states.size(); ++n) {
    const State& s = states[n];
    std::vector<Move> expected(played.begin(), played.begin() + static_cast<std::ptrdiff_t>(n));
    std::reverse(expected.begin(), expected.end());
    EXPECT_EQ(s.reversedHistory.toVector(), expected) << "after " << n << " moves";
    EXPECT_EQ(s.reversedHistory.size(), n);
    EXPECT_EQ(s.moveNum, static_cast<std::int32_t>(n) + 1);
    EXPECT_EQ(s.turn, n % 2 == 0 ? Colour::White : Colour::Black);
    EXPECT_EQ(lastMove(s), n == 0 ? std::nullopt : std::optional<Move>(played[n - 1]));
  }
  std::vector<Move> branchHistory(played.begin(), played.begin() + 21);
  branchHistory.push_back(mv("e7e5"));
  std::reverse(branchHistory.begin(), branchHistory.end());
  EXPECT_EQ(branch.reversedHistory.toVector(), branchHistory);
  EXPECT_EQ(fenPlacement(states.back().getBoard), fenPlacement(newGame().getBoard));
  EXPECT_EQ(fenCastling(states.back().castleStatus), "KQkq");
}

TEST(MakeMoveHistory, KeepsMovesWithSquaresOffTheBoard) {
  // A promotion from a square off the board reads that square as empty and still places its
  // piece; the history keeps the move exactly.
  const Move odd = PromotePawn({0, 1}, {1, 1}, PieceType::Queen);
  const State s = makeMove(newGame(), odd);
  EXPECT_EQ(getSquare(s.getBoard, {1, 1}), WQ);
  EXPECT_EQ(lastMove(s), odd);
  const State t = makeMove(s, mv("e7e5"));
  EXPECT_EQ(t.reversedHistory.toVector(), (std::vector<Move>{mv("e7e5"), odd}));
  EXPECT_EQ(boardIntegrityProblems(t), std::nullopt);
}

TEST(MakeMoveErrors, FatalMessages) {
  const State start = newGame();
  for (const Move m : {mv("e4e5"), MovePiece({0, 5}, {5, 5})}) {
    EXPECT_EQ(fatalMessage([&] { (void)makeMove(start, m); }),
              "getPieceFromSquare called on empty square");
  }
  // Castling with a right but no rook.
  for (const auto& [position, m] : {std::pair{"4k3/8/8/8/8/8/8/4K3 w K -", "e1g1"},
                                    std::pair{"4k3/8/8/8/8/8/8/4K3 w Q -", "e1c1"}}) {
    EXPECT_EQ(fatalMessage([&] { (void)makeMove(fen(position), mv(m)); }),
              "movePiece called on empty square");
  }
  // Squares off the board are never written.
  for (const Move m : {MovePiece({7, 5}, {-1, 5}), MovePiece({8, 8}, {8, 9}),
                       PromotePawn({2, 1}, {0, 1}, PieceType::Queen),
                       PromotePawn({2, 1}, {INT32_MIN, INT32_MAX}, PieceType::Rook)}) {
    EXPECT_THROW((void)makeMove(start, m), FatalError) << showMoveConstructor(m);
  }
}

}  // namespace
}  // namespace quenlor
