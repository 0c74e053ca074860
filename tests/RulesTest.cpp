// Tests of the rules: generation order, castling conditions, en passant, pins, attack detection,
// the legal-move list against a reference built by applying every move, and perft counts.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "Basics.h"
#include "Debug.h"
#include "Perft.h"
#include "Rules.h"
#include "TestSupport.h"
#include "Types.h"

namespace quenlor {
namespace {

using namespace test;

// The moves of the piece standing on `square`, in generation order, as text.
std::string movesOf(const State& s, const char* square) {
  const Location loc = sq(square);
  return moveTexts(possibleMovesForPiece(getPieceFromSquare(s.getBoard, loc), loc, s));
}

std::string legal(const State& s) {
  return moveTexts(legalMoves(s));
}

//=== Generation order ===//

TEST(GenerationOrder, StartingMovesOfEitherSide) {
  EXPECT_EQ(legal(newGame()),
            "a2a3 a2a4 b2b3 b2b4 c2c3 c2c4 d2d3 d2d4 e2e3 e2e4 f2f3 f2f4 g2g3 g2g4 h2h3 h2h4 "
            "b1c3 b1a3 g1h3 g1f3");
  const std::string black =
      "b8c6 b8a6 g8h6 g8f6 a7a6 a7a5 b7b6 b7b5 c7c6 c7c5 d7d6 d7d5 e7e6 e7e5 f7f6 f7f5 g7g6 "
      "g7g5 h7h6 h7h5";
  EXPECT_EQ(legal(makeMove(newGame(), mv("e2e4"))), black);
  EXPECT_EQ(legal(makeMove(newGame(), mv("g1f3"))), black);
}

TEST(GenerationOrder, EachPieceTypeFollowsItsTable) {
  const State s = fen("4k3/8/8/3Q4/8/2N5/6B1/R3K2R w KQ -");
  EXPECT_EQ(movesOf(s, "d5"),
            "d5e5 d5f5 d5g5 d5h5 d5c5 d5b5 d5a5 d5d4 d5d3 d5d2 d5d1 d5d6 d5d7 d5d8 "
            "d5e4 d5f3 d5c4 d5b3 d5a2 d5e6 d5f7 d5g8 d5c6 d5b7 d5a8");
  EXPECT_EQ(movesOf(s, "c3"), "c3e2 c3d1 c3e4 c3a2 c3b1 c3a4 c3b5");
  EXPECT_EQ(movesOf(s, "g2"), "g2f1 g2h3 g2f3 g2e4");
  EXPECT_EQ(movesOf(s, "a1"), "a1b1 a1c1 a1d1 a1a2 a1a3 a1a4 a1a5 a1a6 a1a7 a1a8");
  // King steps, then castling king side before queen side.
  EXPECT_EQ(movesOf(s, "e1"), "e1d2 e1e2 e1f2 e1d1 e1f1 e1g1 e1c1");
  // Pieces in ascending square order: d5, c3, g2, a1, e1, h1.
  EXPECT_EQ(legal(s), movesOf(s, "d5") + " " + movesOf(s, "c3") + " " + movesOf(s, "g2") + " " +
                          movesOf(s, "a1") + " " + movesOf(s, "e1") +
                          " h1g1 h1f1 h1h2 h1h3 h1h4 h1h5 h1h6 h1h7 h1h8");
}

TEST(GenerationOrder, PawnTargetsAndPromotions) {
  // Advance, double step, captures with column − 1 first, en passant last.
  EXPECT_EQ(movesOf(fen("4k3/8/8/8/8/n1b5/1P6/4K3 w - -"), "b2"), "b2b3 b2b4 b2a3 b2c3");
  EXPECT_EQ(movesOf(fen("4k3/8/8/2pPp3/8/8/8/4K3 w - c6"), "d5"), "d5d6 d5c6");
  EXPECT_EQ(movesOf(fen("4k3/8/8/2pPp3/8/8/8/4K3 w - e6"), "d5"), "d5d6 d5e6");
  EXPECT_EQ(movesOf(fen("4k3/8/3n4/2pPp3/8/8/8/4K3 w - e6"), "d5"), "d5e6");
  // A blocked advance stops the double step too; a blocked double step leaves the advance.
  EXPECT_EQ(movesOf(fen("4k3/8/8/8/8/1N6/1P6/4K3 w - -"), "b2"), "");
  EXPECT_EQ(movesOf(fen("4k3/8/8/8/1n6/8/1P6/4K3 w - -"), "b2"), "b2b3");
  EXPECT_EQ(movesOf(fen("4k3/1p6/1N6/8/8/8/8/4K3 b - -"), "b7"), "");
  EXPECT_EQ(movesOf(fen("4k3/1p6/8/1N6/8/8/8/4K3 b - -"), "b7"), "b7b6");
  EXPECT_EQ(movesOf(fen("4k3/1p6/8/8/8/8/8/4K3 b - -"), "b7"), "b7b6 b7b5");
  // Eight promotions: the advance in the order Q R B N, then the capture.
  EXPECT_EQ(movesOf(fen("N1n1k3/1P6/8/8/8/8/8/4K3 w - -"), "b7"),
            "b7b8q b7b8r b7b8b b7b8n b7c8q b7c8r b7c8b b7c8n");
  EXPECT_EQ(movesOf(fen("4k3/8/8/8/8/8/6p1/4KN1R b - -"), "g2"),
            "g2g1q g2g1r g2g1b g2g1n g2f1q g2f1r g2f1b g2f1n g2h1q g2h1r g2h1b g2h1n");
  // The colour of the piece decides, not the side to move.
  EXPECT_EQ(movesOf(fen("4k3/1p6/8/8/8/8/1P6/4K3 w - -"), "b7"), "b7b6 b7b5");
}

TEST(GenerationOrder, PawnOnItsLastRowHasNoMove) {
  // Possible in a game because opponent moves are applied without a legality test.
  const State white = makeMove(fen("4k3/P7/8/8/8/8/8/4K3 w - -"), mv("a7a8"));
  EXPECT_EQ(getSquare(white.getBoard, sq("a8")), (Piece{Colour::White, PieceType::Pawn}));
  EXPECT_EQ(movesOf(white, "a8"), "");
  EXPECT_EQ(movesOf(fen("1n2k3/P7/8/8/8/8/8/4K3 w - -"), "a7"),
            "a7a8q a7a8r a7a8b a7a8n a7b8q a7b8r a7b8b a7b8n");
  EXPECT_EQ(movesOf(fen("Pn2k3/8/8/8/8/8/8/4K3 w - -"), "a8"), "");
  EXPECT_EQ(legal(fen("P3k3/8/8/8/8/8/8/4K3 w - -")), "e1d2 e1e2 e1f2 e1d1 e1f1");
  EXPECT_EQ(movesOf(fen("4k3/8/8/8/8/8/8/pN2K3 b - -"), "a1"), "");
  EXPECT_EQ(legal(fen("7k/8/8/8/8/8/8/p6K b - -")), "h8g8 h8g7 h8h7");
}

//=== Castling ===//

struct CastlingCase {
  const char* name;
  const char* fen;
  const char* generated;  // castling moves of the king's pseudo-legal moves
  const char* legal;      // castling moves among the legal moves
};

// The castling moves (two columns sideways from `king`) among the move texts.
std::string castlingMovesIn(const std::string& texts, const std::string& king) {
  const std::string kingSide = king + static_cast<char>(king[0] + 2) + king[1];
  const std::string queenSide = king + static_cast<char>(king[0] - 2) + king[1];
  std::istringstream in(texts);
  std::string out;
  for (std::string m; in >> m;) {
    if (m == kingSide || m == queenSide) out += (out.empty() ? "" : " ") + m;
  }
  return out;
}

// clang-format off
const std::vector<CastlingCase> castlingCases{
  {"StartPosition", "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -", "", ""},
  {"BothWhite", "r3k2r/8/8/8/8/8/8/R3K2R w KQkq -", "e1g1 e1c1", "e1g1 e1c1"},
  {"BothBlack", "r3k2r/8/8/8/8/8/8/R3K2R b KQkq -", "e8g8 e8c8", "e8g8 e8c8"},
  {"KingSideOnly", "4k3/8/8/8/8/8/8/4K2R w K -", "e1g1", "e1g1"},
  {"CrossedSquareAttacked", "4k3/8/8/8/8/8/6b1/4K2R w K -", "", ""},
  {"LandingSquareAttacked", "4k3/8/8/8/8/8/7b/4K2R w K -", "e1g1", ""},
  {"KingInCheck", "4k3/8/8/b7/8/8/8/R3K2R w KQ -", "", ""},
  {"KnightBesideQueenSideRook", "4k3/8/8/8/8/8/8/RN2K3 w Q -", "", ""},
  {"AttackOnB1Alone", "1r2k3/8/8/8/8/8/8/R3K3 w Q -", "e1c1", "e1c1"},
  {"QueenSideCrossingAttacked", "3rk3/8/8/8/8/8/8/R3K3 w Q -", "", ""},
  {"QueenSideLandingAttacked", "2r1k3/8/8/8/8/8/8/R3K3 w Q -", "e1c1", ""},
  {"NoRight", "r3k2r/8/8/8/8/8/8/R3K2R w kq -", "", ""},
  {"BishopOnRookSquare", "4k3/8/8/8/8/8/8/4K2b w K -", "", ""},
  {"KnightOnRookSquare", "4k3/8/8/8/8/8/8/4K2N w K -", "", ""},
  {"RightWithoutRook", "4k3/8/8/8/8/8/8/R3K3 w KQ -", "e1c1", "e1c1"},
  {"BlackKingSideBlocked", "r3kb1r/8/8/8/8/8/8/4K3 b kq -", "e8c8", "e8c8"},
  {"BlackCrossingAttacked", "r3k2r/8/8/8/8/8/8/3RK3 b kq -", "e8g8", "e8g8"},
  {"BlackLandingAttacked", "r3k2r/8/8/8/8/8/8/2R1K1R1 b kq -", "e8g8 e8c8", ""},
};
// clang-format on

TEST(Castling, Conditions) {
  for (const CastlingCase& c : castlingCases) {
    const State s = fen(c.fen);
    const char* king = s.turn == Colour::White ? "e1" : "e8";
    EXPECT_EQ(castlingMovesIn(movesOf(s, king), king), c.generated) << c.name;
    EXPECT_EQ(moveTexts(castlingMoves(s.turn, s)), c.generated) << c.name;
    EXPECT_EQ(castlingMovesIn(legal(s), king), c.legal) << c.name;
  }
}

TEST(Castling, RookTakenOnItsCornerCannotBeReplaced) {
  // Black takes the rook on h1; a white rook reaching h1 later gives no castling move.
  State s = fen("4k3/8/8/8/8/8/7r/R3K2R b KQ -");
  for (const char* m : {"h2h1", "a1a2", "h1h8", "a2h2", "e8d8", "h2h1", "d8e8"}) {
    s = makeMove(s, mv(m));
  }
  EXPECT_EQ(getSquare(s.getBoard, sq("h1")), (Piece{Colour::White, PieceType::Rook}));
  EXPECT_FALSE(s.castleStatus.holds(BoardSide::KingSide, Colour::White));
  EXPECT_EQ(castlingMovesIn(legal(s), "e1"), "");
}

TEST(Castling, SquareHelpers) {
  EXPECT_EQ(inBetweenSquares({8, 5}, {8, 8}), (Squares{{8, 6}, {8, 7}}));
  EXPECT_EQ(inBetweenSquares({1, 5}, {1, 1}), (Squares{{1, 2}, {1, 3}, {1, 4}}));
  EXPECT_EQ(kingInbetweenSquares({8, 5}, {8, 7}), (std::array<Location, 2>{{{8, 5}, {8, 6}}}));
  EXPECT_EQ(kingInbetweenSquares({1, 5}, {1, 3}), (std::array<Location, 2>{{{1, 5}, {1, 4}}}));
  EXPECT_EQ(kingInbetweenSquares({1, -3}, {1, 0}), (std::array<Location, 2>{{{1, -3}, {1, -2}}}));
  EXPECT_TRUE(inBetweenSquares({3, 4}, {3, 5}).empty());
  EXPECT_EQ(fatalMessage([] {
              (void)inBetweenSquares({8, 5}, {1, 8});
            }),
            "inBetweenSquares diff rows");
  EXPECT_EQ(fatalMessage([] {
              (void)kingInbetweenSquares({8, 5}, {7, 7});
            }),
            "kingInbetweenSquares diff rows");
}

//=== En passant and pins ===//

TEST(EnPassant, OnlyRightAfterTheDoubleStep) {
  const char* position = "4k3/3p4/8/4P3/8/8/8/4K3 b - -";
  const State afterDouble = makeMove(fen(position), mv("d7d5"));
  EXPECT_EQ(movesOf(afterDouble, "e5"), "e5e6 e5d6");
  EXPECT_EQ(movesOf(makeMove(makeMove(afterDouble, mv("e1e2")), mv("e8e7")), "e5"), "e5e6");
  const State singleSteps =
      makeMove(makeMove(makeMove(fen(position), mv("d7d6")), mv("e1e2")), mv("d6d5"));
  EXPECT_EQ(movesOf(singleSteps, "e5"), "e5e6");
  // Black captures the same way, towards larger rows.
  EXPECT_EQ(movesOf(fen("4k3/8/8/8/3Pp3/8/8/4K3 b - d3"), "e4"), "e4e3 e4d3");
  // A double step applied over an occupied square: the capture of the piece there and the
  // en-passant move are both generated, and the latter takes both pieces.
  const State jumped = fen("4k3/8/3n4/3pP3/8/8/8/4K3 w - d6");
  EXPECT_EQ(movesOf(jumped, "e5"), "e5e6 e5d6 e5d6");
  EXPECT_EQ(fenPlacement(makeMove(jumped, mv("e5d6")).getBoard), "4k3/8/3P4/8/8/8/8/4K3");
}

TEST(EnPassant, CaptureThatExposesTheKingIsNotLegal) {
  const State s = fen("8/8/8/K2pP2r/8/8/8/4k3 w - d6");
  EXPECT_EQ(movesOf(s, "e5"), "e5e6 e5d6");
  EXPECT_TRUE(moveResultsInOwnCheck(s, mv("e5d6")));
  EXPECT_EQ(legal(s).find("e5d6"), std::string::npos);
  EXPECT_NE(legal(s).find("e5e6"), std::string::npos);
}

TEST(Pins, PinnedPiecesKeepOnlyMovesAlongThePin) {
  struct Case {
    const char* fen;
    const char* square;
    const char* pseudo;
    const char* legal;
  };
  const std::vector<Case> cases{
      {"4k3/4r3/8/8/8/8/4R3/4K3 w - -", "e2",
       "e2f2 e2g2 e2h2 e2d2 e2c2 e2b2 e2a2 e2e3 e2e4 e2e5 "
       "e2e6 e2e7",
       "e2e3 e2e4 e2e5 e2e6 e2e7"},
      {"4k3/8/8/8/7b/8/5B2/4K3 w - -", "f2", "f2g1 f2g3 f2h4 f2e3 f2d4 f2c5 f2b6 f2a7",
       "f2g3 f2h4"},
      {"4k3/4q3/8/8/8/8/4N3/4K3 w - -", "e2", "e2g1 e2g3 e2f4 e2c1 e2c3 e2d4", ""},
      {"4k3/8/8/8/8/2b5/3P4/4K3 w - -", "d2", "d2d3 d2d4 d2c3", "d2c3"},
      {"4k3/4r3/8/8/8/8/4P3/4K3 w - -", "e2", "e2e3 e2e4", "e2e3 e2e4"},
      {"4k3/8/8/8/8/8/8/r2BK3 w - -", "d1", "d1e2 d1f3 d1g4 d1h5 d1c2 d1b3 d1a4", ""},
      {"8/8/8/8/8/8/8/k1q1R1K1 w - -", "e1", "e1f1 e1d1 e1c1 e1e2 e1e3 e1e4 e1e5 e1e6 e1e7 e1e8",
       "e1f1 e1d1 e1c1"},
      {"4k3/4b3/8/8/4R3/8/8/4K3 b - -", "e7", "e7f6 e7g5 e7h4 e7d6 e7c5 e7b4 e7a3 e7f8 e7d8", ""},
  };
  for (const Case& c : cases) {
    const State s = fen(c.fen);
    EXPECT_EQ(movesOf(s, c.square), c.pseudo) << c.fen;
    std::string fromSquare;
    for (const Move& m : legalMoves(s)) {
      if (niceShowLocation(m.from) == c.square)
        fromSquare += (fromSquare.empty() ? "" : " ") + niceShowMove(m);
    }
    EXPECT_EQ(fromSquare, c.legal) << c.fen;
  }
}

TEST(LegalMoves, CheckmateAndStalemateLeaveNoMove) {
  const State mate = fen("rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNR w KQkq - 1 3");
  EXPECT_EQ(legal(mate), "");
  EXPECT_TRUE(inCheck(mate, Colour::White));
  const State stalemate = fen("7k/5Q2/6K1/8/8/8/8/8 b - -");
  EXPECT_EQ(legal(stalemate), "");
  EXPECT_FALSE(inCheck(stalemate, Colour::Black));
  EXPECT_FALSE(hasLegalMove(stalemate));
  EXPECT_EQ(countLegalMoves(mate), 0U);
  // Only the replies that meet the check: capture the checker, block, or step aside.
  EXPECT_EQ(legal(fen("4k3/8/8/8/8/8/3q4/R3K3 w - -")), "e1d2 e1f1");
  EXPECT_EQ(legal(fen("4k3/8/8/8/3B4/8/8/r3K3 w - -")), "d4a1 e1d2 e1e2 e1f2");
  EXPECT_EQ(legal(fen("4k3/8/8/8/8/5B2/8/r3K3 w - -")), "f3d1 e1d2 e1e2 e1f2");
}

TEST(LegalMoves, SidesWithoutPiecesOrKing) {
  EXPECT_EQ(legal(fen("8/8/8/8/8/8/8/4K3 b - -")), "");
  // Pieces without moves need no king; a move to test needs the mover's king.
  EXPECT_EQ(legal(fen("P7/8/8/8/8/8/8/4k3 w - -")), "");
  // The first move tested is a2a3: the message shows the board after it.
  EXPECT_EQ(fatalMessage([] { (void)legalMoves(fen("4k3/8/8/8/8/8/P7/8 w - -")); }),
            "findKing found kings at []\nin the board\n....k...\n" + emptyRows(4) + "P.......\n" +
                emptyRows(2));
}

//=== Attacks ===//

// Both attack tests give `expected`; the square-by-square one is asked only when no king of
// the attacking colour stands on the square (it alone does not count that king).
void expectAttack(const Board& board, Colour colour, Location square, bool expected) {
  SCOPED_TRACE(showColourName(colour) + " on " + showLocation(square) + "\n" +
               niceShowBoard(board));
  EXPECT_EQ(givenColourIsAttackingTheSquare(board, colour, square), expected);
  if (getSquare(board, square) != Piece{colour, PieceType::King}) {
    EXPECT_EQ(slowGivenColourIsAttackingTheSquare(board, colour, square), expected);
  }
}

TEST(Attacks, SlidersStopAtTheFirstPiece) {
  struct Case {
    const char* fen;
    Colour colour;
    const char* attacked;
    const char* notAttacked;
  };
  const std::vector<Case> cases{
      // Blocked by an enemy piece, which is itself attacked.
      {"8/8/8/8/3B4/8/1n6/8 w - -", Colour::White, "c3 b2 h8 a7 g1 e5", "a1 d4 d3 c4"},
      // Blocked by an own piece.
      {"8/8/8/8/3B4/2P5/8/8 w - -", Colour::White, "c3 b4 d4 e3", "b2 a1"},
      // A bishop of the same colour as the blocker carries the line on.
      {"8/8/8/8/3B4/2B5/8/8 w - -", Colour::White, "b2 a1 c3 d4", "d3"},
      {"8/8/8/8/3Q4/2B5/8/8 w - -", Colour::White, "b2 a1 d1 a4 h4 d8 h8", "e6 c2"},
      // Orthogonal and diagonal lines belong to different pieces.
      {"8/8/8/8/3r4/8/8/8 b - -", Colour::Black, "d3 d1 a4 h4 d8", "c3 e5 a1"},
      {"8/8/8/8/3b4/8/8/8 b - -", Colour::Black, "c3 e5 a1 h8 a7 g1", "d3 c4 d8"},
      {"8/8/8/8/3q4/8/8/8 b - -", Colour::Black, "d3 c3 a1 h8 h4 d8", "e6 c2 b3"},
      // Rays run to the edge in every direction, from corners too.
      {"7r/8/8/8/8/8/8/8 b - -", Colour::Black, "a8 g8 h7 h1", "g7 a1"},
      {"8/8/8/8/8/8/8/B7 w - -", Colour::White, "b2 h8", "a2 b1 a1"},
  };
  for (const Case& c : cases) {
    const Board board = fen(c.fen).getBoard;
    std::istringstream yes(c.attacked);
    for (std::string square; yes >> square;) expectAttack(board, c.colour, sq(square), true);
    std::istringstream no(c.notAttacked);
    for (std::string square; no >> square;) expectAttack(board, c.colour, sq(square), false);
  }
}

TEST(Attacks, KnightsKingsAndPawns) {
  const Location centre{4, 4};
  const Piece knight{Colour::Black, PieceType::Knight};
  for (const Location from :
       Squares{{5, 6}, {6, 5}, {3, 6}, {2, 5}, {5, 2}, {6, 3}, {3, 2}, {2, 3}}) {
    expectAttack(initBoard({{from, knight}}), Colour::Black, centre, true);
  }
  for (const Location from : Squares{{6, 6}, {4, 6}, {5, 5}, {2, 2}}) {
    expectAttack(initBoard({{from, knight}}), Colour::Black, centre, false);
  }

  const Piece king{Colour::White, PieceType::King};
  for (std::int32_t dr = -2; dr <= 2; ++dr) {
    for (std::int32_t dc = -2; dc <= 2; ++dc) {
      const Location from{4 + dr, 4 + dc};
      const bool near = dr >= -1 && dr <= 1 && dc >= -1 && dc <= 1;
      expectAttack(initBoard({{from, king}}), Colour::White, centre, near);
    }
  }
  // A king on the square itself counts only for the indexed test.
  const Board kingThere = initBoard({{centre, king}});
  EXPECT_TRUE(givenColourIsAttackingTheSquare(kingThere, Colour::White, centre));
  EXPECT_FALSE(slowGivenColourIsAttackingTheSquare(kingThere, Colour::White, centre));
  EXPECT_FALSE(givenColourIsAttackingTheSquare(kingThere, Colour::Black, centre));

  // Pawns capture diagonally forwards only: White towards row 1, Black towards row 8.
  const Board whitePawn = initBoard({{{5, 3}, {Colour::White, PieceType::Pawn}}});
  const Board blackPawn = initBoard({{{5, 3}, {Colour::Black, PieceType::Pawn}}});
  for (const auto& [square, byWhite, byBlack] :
       std::vector<std::tuple<Location, bool, bool>>{{{4, 2}, true, false},
                                                     {{4, 4}, true, false},
                                                     {{4, 3}, false, false},
                                                     {{6, 2}, false, true},
                                                     {{6, 4}, false, true},
                                                     {{6, 3}, false, false},
                                                     {{5, 3}, false, false}}) {
    expectAttack(whitePawn, Colour::White, square, byWhite);
    expectAttack(blackPawn, Colour::Black, square, byBlack);
  }
  // On the edge columns only one capture square exists.
  const Board edge = fen("8/8/8/8/8/8/P6P/8 w - -").getBoard;
  expectAttack(edge, Colour::White, sq("b3"), true);
  expectAttack(edge, Colour::White, sq("g3"), true);
  expectAttack(edge, Colour::White, sq("a3"), false);
  expectAttack(edge, Colour::White, sq("h3"), false);
}

TEST(Attacks, SquaresOffTheBoard) {
  // A ray from a square off the board runs onto the board along its row and column
  // enumerations; squares off the board hold nothing.
  const Board board = fen("8/8/4r3/8/8/1N6/8/8 b - -").getBoard;  // rook (3,5), knight (6,2)
  const std::vector<std::tuple<Location, Colour, bool>> cases{
      {{0, 5}, Colour::Black, true},         {{-4, 5}, Colour::Black, true},
      {{9, 5}, Colour::Black, true},         {{3, 0}, Colour::Black, true},
      {{3, 9}, Colour::Black, true},         {{0, 4}, Colour::Black, false},
      {{INT32_MIN, 5}, Colour::Black, true}, {{INT32_MIN, INT32_MAX}, Colour::Black, false},
      {{7, 0}, Colour::White, true},   // (6 − 7) · (2 − 0) = −2: a knight jump
      {{8, 0}, Colour::White, false},  // (6 − 8) · (2 − 0) = −4
      {{9, 9}, Colour::White, false},        {{INT32_MAX, INT32_MIN}, Colour::White, false},
  };
  for (const auto& [square, colour, attacked] : cases)
    expectAttack(board, colour, square, attacked);
}

TEST(Attacks, InCheckAndMovesIntoCheck) {
  // The queen on h1 checks the king on e1; the knight on d2 is pinned by the bishop on b4.
  const State s = fen("4k3/8/8/8/1b6/8/3N1N2/R3K2q w Q -");
  EXPECT_TRUE(inCheck(s, Colour::White));
  EXPECT_FALSE(inCheck(s, Colour::Black));  // asked for the side not to move
  EXPECT_TRUE(inCheck(makeMove(s, mv("a1a8")), Colour::Black));
  EXPECT_FALSE(moveResultsInOwnCheck(s, mv("f2h1")));  // takes the checking queen
  EXPECT_TRUE(moveResultsInOwnCheck(s, mv("d2f1")));   // blocks, but leaves the pin
  EXPECT_FALSE(moveResultsInOwnCheck(s, mv("e1e2")));
  EXPECT_TRUE(moveResultsInOwnCheck(s, mv("e1d1")));  // still on the queen's row
  EXPECT_TRUE(moveResultsInOwnCheck(s, mv("a1b1")));
  EXPECT_FALSE(moveResultsInOwnCheck(fen("4k3/8/8/8/8/8/4B3/4K2q w - -"), mv("e2f1")));  // block

  const State castle = fen("4k3/8/8/8/8/8/7b/R3K2R w KQ -");
  EXPECT_TRUE(moveResultsInOwnCheck(castle, mv("e1g1")));  // lands on g1, seen from h2
  EXPECT_FALSE(moveResultsInOwnCheck(castle, mv("e1c1")));
  EXPECT_FALSE(moveResultsInOwnCheck(castle, mv("h1h2")));
}

//=== The legal-move list against a reference ===//

// The legal moves as the rules define them: every pseudo-legal move of every piece of the side
// to move, in ascending square order, kept when, applied, it leaves the mover's king unattacked
// (judged by the square-by-square test, independent of the index).
std::vector<Move> referenceLegalMoves(const State& s, std::string& problem) {
  std::vector<Move> out;
  for (const PlacedPiece& pp : findAllPiecesGivenColour(s.turn, s.getBoard)) {
    for (const Move& m : possibleMovesForPiece(pp.piece, pp.location, s)) {
      const Board after = makeMove(s, m).getBoard;
      const bool exposed =
          slowGivenColourIsAttackingTheSquare(after, toggle(s.turn), findKing(after, s.turn));
      if (exposed != moveResultsInOwnCheck(s, m) && problem.empty()) {
        problem = "moveResultsInOwnCheck disagrees for " + niceShowMove(m);
      }
      if (!exposed) out.push_back(m);
    }
  }
  return out;
}

// The working form answers as the state: its count and its "has any" agree with the list,
// applying each legal move to it gives the working form of the state's next position, which
// agrees with itself, and the check test judges every plain move as applying it does.
std::string checkWorkingForm(const State& s) {
  const Position position = positionOf(s);
  if (auto problem = positionIntegrityProblems(position)) return *problem;
  if (irregularity(position)) return "";
  const MoveList moves = legalMoves(s);
  if (countLegalMoves(position) != moves.size() || hasLegalMove(position) == moves.empty())
    return "working form counts differ";
  const CheckTest checks(position);
  for (const Move& m : moves) {
    Position after = position;
    const PackedMove packed = *packMove(m);
    applyMove(after, packed);
    if (after != positionOf(makeMove(s, m))) return "applyMove differs for " + niceShowMove(m);
    if (auto problem = positionIntegrityProblems(after)) return *problem;
    const SquareCode from = packedFrom(packed);
    if (isPlainMove(position, packed) &&
        checks.gives(from, packedTo(packed), position.typeOn(from)) != inCheck(after))
      return "CheckTest differs for " + niceShowMove(m);
  }
  return "";
}

// Everything that must hold in one position; the first failure found, or nothing.
std::string checkNode(const State& s) {
  std::string problem;
  if (const auto report = boardIntegrityProblems(s)) return *report;
  for (Colour colour : {Colour::White, Colour::Black}) {
    for (std::int32_t row = 1; row <= 8; ++row) {
      for (std::int32_t column = 1; column <= 8; ++column) {
        const Location loc{row, column};
        const bool fast = givenColourIsAttackingTheSquare(s.getBoard, colour, loc);
        const bool slow = slowGivenColourIsAttackingTheSquare(s.getBoard, colour, loc);
        const bool ownKingThere = getSquare(s.getBoard, loc) == Piece{colour, PieceType::King};
        if (fast != (slow || ownKingThere)) {
          return "attack tests disagree on " + niceShowLocation(loc) + " for " +
                 showColourName(colour);
        }
      }
    }
  }
  const std::vector<Move> reference = referenceLegalMoves(s, problem);
  if (!problem.empty()) return problem;
  const MoveList moves = legalMoves(s);
  if (!std::equal(moves.begin(), moves.end(), reference.begin(), reference.end())) {
    return "legalMoves " + moveTexts(moves) + "\nreference  " + moveTexts(reference);
  }
  if (countLegalMoves(s) != reference.size()) return "countLegalMoves differs";
  if (hasLegalMove(s) != !reference.empty()) return "hasLegalMove differs";
  return checkWorkingForm(s);
}

// Checks every node of the legal-move tree to `depth` plies; the first failure, with the moves
// that led to it.
std::string checkTree(const State& s, int depth, std::size_t& nodes, const std::string& line) {
  ++nodes;
  if (std::string problem = checkNode(s); !problem.empty()) {
    return "after [" + line + "]: " + problem + "\n" + niceShowState(s);
  }
  if (depth == 0) return "";
  for (const Move& m : legalMoves(s)) {
    std::string problem = checkTree(makeMove(s, m), depth - 1, nodes,
                                    line + (line.empty() ? "" : " ") + niceShowMove(m));
    if (!problem.empty()) return problem;
  }
  return "";
}

TEST(LegalMovesCrossCheck, PerftPositionsThreePliesDeep) {
  std::set<std::string> seen;
  std::size_t nodes = 0;
  for (const std::vector<std::string>& row : referenceRows("perft.tsv")) {
    if (!seen.insert(row[0]).second) continue;
    EXPECT_EQ(checkTree(fen(row[0]), 2, nodes, ""), "") << row[0];
  }
  EXPECT_EQ(seen.size(), 7U);
  EXPECT_EQ(nodes, 6914U);  // 1 + perft 1 + perft 2 of each
}

TEST(LegalMovesCrossCheck, ReferencePositionsToDepthTwo) {
  std::size_t nodes = 0;
  std::size_t positions = 0;
  for (const std::vector<std::string>& row : referenceRows("positions.tsv")) {
    ++positions;
    EXPECT_EQ(checkTree(fen(row[0]), 2, nodes, ""), "") << row[0];
  }
  EXPECT_EQ(positions, 160U);
}

TEST(LegalMovesCrossCheck, OddPositions) {
  // Pawns left on their last row, many queens, en passant that would expose the king, kings
  // facing each other across one square.
  const std::vector<std::pair<const char*, int>> positions{
      {"P3k3/8/8/8/8/8/8/4K3 w - -", 4},     {"7k/8/8/8/8/8/8/p6K b - -", 4},
      {"7k/8/5KQ1/8/8/8/8/p7 b - -", 1},     {"8/8/8/K2pP2r/8/8/8/4k3 w - d6", 3},
      {"8/8/8/8/k2Pp2Q/8/8/4K3 b - d3", 3},  {"4k3/8/4K3/8/8/8/8/8 w - -", 4},
      {"QQQ5/8/8/7k/8/8/qqq5/4K3 w - -", 2}, {"r3k2r/1P4P1/8/8/8/8/1p4p1/R3K2R w KQkq -", 2},
  };
  std::size_t nodes = 0;
  for (const auto& [position, depth] : positions) {
    EXPECT_EQ(checkTree(fen(position), depth, nodes, ""), "") << position;
  }
  EXPECT_EQ(nodes, 7222U);  // the sum of the perft counts of each tree's plies
}

//=== Perft ===//

struct PerftRow {
  std::string fen;
  int depth;
  std::uint64_t nodes;
  std::size_t line;
};

std::vector<PerftRow> perftRows() {
  std::vector<PerftRow> rows;
  for (const std::vector<std::string>& r : referenceRows("perft.tsv")) {
    rows.push_back({r.at(0), std::stoi(r.at(1)), std::stoull(r.at(2)), rows.size() + 2});
  }
  return rows;
}

void PrintTo(const PerftRow& row, std::ostream* os) {
  *os << row.fen << " depth " << row.depth;
}

class Perft : public testing::TestWithParam<PerftRow> {};

TEST_P(Perft, MatchesThePublishedCount) {
  const PerftRow& row = GetParam();
  EXPECT_EQ(perft(fen(row.fen), row.depth), row.nodes) << row.fen << " depth " << row.depth;
}

INSTANTIATE_TEST_SUITE_P(Reference, Perft, testing::ValuesIn(perftRows()),
                         [](const testing::TestParamInfo<PerftRow>& param) {
                           return "Line" + std::to_string(param.param.line) + "Depth" +
                                  std::to_string(param.param.depth);
                         });

TEST(PerftReference, FileHasEveryRowAndDepthZeroIsOneNode) {
  EXPECT_EQ(perftRows().size(), 30U);
  EXPECT_EQ(perft(newGame(), 0), 1U);
}

//=== quenlor-tool perft ===//

TEST(PerftTool, CountsAndDivides) {
  const std::string kiwipete =
      "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1";
  const RunResult plain = runProgram(QUENLOR_TOOL, "", "perft '" + kiwipete + "' 3");
  EXPECT_EQ(plain.status, 0) << plain.err;
  EXPECT_EQ(plain.out, "Nodes searched: 97862\n");
  EXPECT_EQ(plain.err, "");

  const RunResult divided = runProgram(QUENLOR_TOOL, "", "perft '" + kiwipete + "' 2 --divide");
  EXPECT_EQ(divided.status, 0) << divided.err;
  EXPECT_EQ(divided.err, "");
  // One "MOVE: COUNT" line per root move, sorted by move text, then an empty line and the total.
  const State s = fen(kiwipete);
  std::vector<std::string> expected;
  for (const Move& m : legalMoves(s)) {
    expected.push_back(niceShowMove(m) + ": " + std::to_string(perft(makeMove(s, m), 1)));
  }
  std::sort(expected.begin(), expected.end());
  std::string text;
  for (const std::string& line : expected) text += line + "\n";
  EXPECT_EQ(divided.out, text + "\nNodes searched: 2039\n");
}

TEST(PerftTool, BadFenOrDepthIsAnErrorWithStatusTwo) {
  const std::string start = "'rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1'";
  for (const std::string& args : std::vector<std::string>{
           "perft 'not a fen' 2",
           "perft 'rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP w KQkq -' 2",
           "perft 'rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNX w KQkq -' 2",
           "perft 'rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR x KQkq -' 2",
           "perft '' 1",
           "perft " + start + " 0",
           "perft " + start + " -1",
           "perft " + start + " two",
           "perft " + start + " 3x",
           "perft " + start + " ''",
       }) {
    const RunResult r = runProgram(QUENLOR_TOOL, "", args);
    EXPECT_EQ(r.status, 2) << args;
    EXPECT_EQ(r.out, "") << args;
    EXPECT_NE(r.err, "") << args;
  }
}

}  // namespace
}  // namespace quenlor
