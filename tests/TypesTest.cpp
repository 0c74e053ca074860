// Tests of the vocabulary (orders, scores, letters), the board store and the text renderings.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "Basics.h"
#include "Debug.h"
#include "TestSupport.h"
#include "Types.h"

namespace quenlor {
namespace {

using namespace test;

std::string show(Score s) {
  switch (s.kind) {
    case Score::Kind::NegativeInfinity: return "NegativeInfinity";
    case Score::Kind::NeverCalculated: return "NeverCalculated";
    case Score::Kind::Number: return "Number " + std::to_string(s.value);
    case Score::Kind::PositiveInfinity: return "PositiveInfinity";
  }
  return "?";
}

Squares locs(const Board& board, Piece piece) {
  return findGivenPiece(board, piece).toVector();
}

std::optional<std::string> integrity(const Board& board) {
  return boardIntegrityProblems(stateWith(board));
}

//=== Scores ===//

const std::vector<Score> scores{NegativeInfinity, NeverCalculated, Number(-5),
                                Number(0),        Number(5),       PositiveInfinity};

TEST(Score, CompareFollowsTheTableForEveryPair) {
  // Rows a, columns b, in the order of `scores`: '<' less, '=' equal, '>' greater.
  const std::vector<std::string> table{
      "=<<<<<",  // NegativeInfinity
      ">=>>><",  // NeverCalculated: above every Number, in both directions
      ">>=<<<",  // Number -5
      ">>>=<<",  // Number 0
      ">>>>=<",  // Number 5
      ">>>>>=",  // PositiveInfinity
  };
  for (std::size_t i = 0; i < scores.size(); ++i) {
    for (std::size_t j = 0; j < scores.size(); ++j) {
      const Score a = scores[i];
      const Score b = scores[j];
      const char c = table[i][j];
      const Ordering expected = c == '<'   ? Ordering::Less
                                : c == '=' ? Ordering::Equal
                                           : Ordering::Greater;
      SCOPED_TRACE(show(a) + " vs " + show(b));
      EXPECT_EQ(compare(a, b), expected);
      EXPECT_EQ(a == b, c == '=');
      EXPECT_EQ(a < b, c == '<');
      EXPECT_EQ(a > b, c == '>');
      EXPECT_EQ(a >= b, c != '<');
    }
  }
}

TEST(Score, LessOrEqualIsTheBaseRelation) {
  // Not the reflexive closure of <: NeverCalculated ≤ NeverCalculated is false.
  const std::vector<std::string> table{
      "TTTTTT", "FFFFFT", "FFTTTT", "FFFTTT", "FFFFTT", "FFFFFT",
  };
  for (std::size_t i = 0; i < scores.size(); ++i) {
    for (std::size_t j = 0; j < scores.size(); ++j) {
      EXPECT_EQ(scores[i] <= scores[j], table[i][j] == 'T')
          << show(scores[i]) << " <= " << show(scores[j]);
    }
  }
  EXPECT_EQ(compare(Number(INT32_MIN), Number(INT32_MAX)), Ordering::Less);
  EXPECT_EQ(compare(Number(INT32_MAX), Number(INT32_MIN)), Ordering::Greater);
}

TEST(Score, MaxAndMinFollowLessOrEqual) {
  struct Case {
    Score a, b, max, min;
  };
  const std::vector<Case> cases{
      {NegativeInfinity, NeverCalculated, NeverCalculated, NegativeInfinity},
      {Number(5), NeverCalculated, Number(5), NeverCalculated},
      {NeverCalculated, Number(5), NeverCalculated, Number(5)},
      {NeverCalculated, NeverCalculated, NeverCalculated, NeverCalculated},
      {NeverCalculated, PositiveInfinity, PositiveInfinity, NeverCalculated},
      {PositiveInfinity, NeverCalculated, PositiveInfinity, NeverCalculated},
      {Number(-5), Number(5), Number(5), Number(-5)},
      {Number(5), Number(-5), Number(5), Number(-5)},
      {Number(0), Number(0), Number(0), Number(0)},
      {PositiveInfinity, NegativeInfinity, PositiveInfinity, NegativeInfinity},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(scoreMax(c.a, c.b), c.max) << "max " << show(c.a) << ", " << show(c.b);
    EXPECT_EQ(scoreMin(c.a, c.b), c.min) << "min " << show(c.a) << ", " << show(c.b);
  }
}

//=== Orders of the vocabulary ===//

// Every element of `ascending` is strictly below every later one, and equal only to itself.
template <typename T>
void expectStrictlyAscending(const std::vector<T>& ascending) {
  for (std::size_t i = 0; i < ascending.size(); ++i) {
    for (std::size_t j = 0; j < ascending.size(); ++j) {
      EXPECT_EQ(ascending[i] < ascending[j], i < j) << i << " vs " << j;
      EXPECT_EQ(ascending[i] == ascending[j], i == j) << i << " vs " << j;
    }
  }
}

TEST(Order, PiecesOrderByColourThenTypeInTheirListedOrder) {
  EXPECT_LT(BoardSide::KingSide, BoardSide::QueenSide);
  std::vector<Piece> ascending;
  for (Colour c : {Colour::White, Colour::Black}) {
    for (PieceType t : {PieceType::King, PieceType::Queen, PieceType::Rook, PieceType::Knight,
                        PieceType::Bishop, PieceType::Pawn}) {
      ascending.push_back({c, t});
    }
  }
  expectStrictlyAscending(ascending);
}

TEST(Order, LocationsOrderByRowThenColumn) {
  expectStrictlyAscending(Squares{
      {INT32_MIN, 5}, {-1, 9}, {0, 0}, {1, 1}, {1, 2}, {1, 8}, {2, 1}, {7, 5}, {8, 8}, {9, -3}});
}

TEST(Order, MovesOrderByAlternativeThenFields) {
  expectStrictlyAscending(std::vector<Move>{
      MovePiece({1, 1}, {1, 1}),
      MovePiece({1, 1}, {1, 2}),
      MovePiece({1, 2}, {1, 1}),
      MovePiece({8, 1}, {1, 1}),
      MovePiece({8, 8}, {8, 8}),
      PromotePawn({1, 1}, {1, 1}, PieceType::King),
      PromotePawn({1, 1}, {1, 1}, PieceType::Queen),
      PromotePawn({1, 1}, {1, 1}, PieceType::Rook),
      PromotePawn({1, 1}, {1, 1}, PieceType::Knight),
      PromotePawn({1, 1}, {1, 2}, PieceType::Queen),
      PromotePawn({2, 1}, {1, 1}, PieceType::Queen),
  });
}

TEST(Order, IncAndDecCountFromTheirStart) {
  struct Case {
    std::int32_t n;
    std::vector<std::int32_t> inc, dec;
  };
  const std::vector<Case> cases{
      {1, {1, 2, 3, 4, 5, 6, 7, 8}, {1}},   {8, {8}, {8, 7, 6, 5, 4, 3, 2, 1}},
      {9, {}, {9, 8, 7, 6, 5, 4, 3, 2, 1}}, {0, {0, 1, 2, 3, 4, 5, 6, 7, 8}, {}},
      {5, {5, 6, 7, 8}, {5, 4, 3, 2, 1}},   {-2, {-2, -1, 0, 1, 2, 3, 4, 5, 6, 7, 8}, {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(inc(c.n), c.inc) << "inc " << c.n;
    EXPECT_EQ(dec(c.n), c.dec) << "dec " << c.n;
  }
  EXPECT_TRUE(inc(INT32_MAX).empty());
  EXPECT_TRUE(dec(INT32_MIN).empty());
}

//=== Letters and names ===//

TEST(Letters, PiecesColoursAndTypes) {
  const std::string types = "KQRNBP";
  const std::vector<std::string> names{"King", "Queen", "Rook", "Knight", "Bishop", "Pawn"};
  for (std::size_t i = 0; i < 6; ++i) {
    const auto t = static_cast<PieceType>(i);
    EXPECT_EQ(niceShowPieceType(t), std::string(1, types[i]));
    EXPECT_EQ(niceShowPiece({Colour::White, t}), std::string(1, types[i]));
    EXPECT_EQ(niceShowPiece({Colour::Black, t}), std::string(1, "kqrnbp"[i]));
    EXPECT_EQ(showPieceTypeName(t), names[i]);
  }
  EXPECT_EQ(niceShowColour(Colour::White), "W");
  EXPECT_EQ(niceShowColour(Colour::Black), "B");
  EXPECT_EQ(showColourName(Colour::White), "White");
  EXPECT_EQ(showColourName(Colour::Black), "Black");
}

//=== Renderings ===//

TEST(Rendering, LocationsAndMovesInCoordinateNotation) {
  const std::vector<std::pair<Location, std::string>> squares{
      {{7, 5}, "e2"},
      {{5, 5}, "e4"},
      {{1, 1}, "a8"},
      {{8, 8}, "h1"},
      {{8, 1}, "a1"},
      {{1, 8}, "h8"},
      // Off the board the same arithmetic holds: file letter 96 + column, rank 9 − row.
      {{9, 1}, "a0"},
      {{0, 8}, "h9"},
      {{10, 2}, "b-1"},
      {{4, 9}, "i5"},
      {{4, 0}, "`5"}};
  for (const auto& [loc, text] : squares) EXPECT_EQ(niceShowLocation(loc), text);

  const std::vector<std::pair<Move, std::string>> moves{
      {MovePiece({7, 5}, {5, 5}), "e2e4"},
      {MovePiece({8, 5}, {8, 7}), "e1g1"},
      {MovePiece({1, 5}, {1, 3}), "e8c8"},
      {PromotePawn({2, 1}, {1, 1}, PieceType::Queen), "a7a8q"},
      {PromotePawn({2, 1}, {1, 2}, PieceType::Rook), "a7b8r"},
      {PromotePawn({7, 2}, {8, 2}, PieceType::Knight), "b2b1n"},
      {PromotePawn({7, 8}, {8, 7}, PieceType::Bishop), "h2g1b"},
      {PromotePawn({2, 5}, {1, 5}, PieceType::King), "e7e8k"},
      {PromotePawn({2, 5}, {1, 5}, PieceType::Pawn), "e7e8p"},
  };
  for (const auto& [move, text] : moves) EXPECT_EQ(niceShowMove(move), text);
}

TEST(Rendering, NumberedMoveListsEndWithASpaceAfterAPair) {
  struct Case {
    std::int32_t start;
    std::vector<std::string> texts;
    std::string expected;
  };
  const std::vector<Case> cases{
      {1, {}, ""},
      {1, {"e2e4"}, "1. e2e4"},
      {1, {"e2e4", "e7e5"}, "1. e2e4 e7e5 "},
      {1, {"e2e4", "e7e5", "g1f3"}, "1. e2e4 e7e5 2. g1f3"},
      {1, {"e2e4", "e7e5", "g1f3", "b8c6"}, "1. e2e4 e7e5 2. g1f3 b8c6 "},
      {9, {"a", "b", "c", "d", "e"}, "9. a b 10. c d 11. e"},
      {0, {"x", "y"}, "0. x y "},
  };
  for (const Case& c : cases) EXPECT_EQ(intersperseNumbers(c.start, c.texts), c.expected);

  EXPECT_EQ(niceShowMoves({}), "");
  EXPECT_EQ(niceShowMoves({mv("e7e8q")}), "1. e7e8q");
  EXPECT_EQ(niceShowMoves({mv("e2e4"), mv("e7e5"), mv("e1g1"), mv("a2a1n")}),
            "1. e2e4 e7e5 2. e1g1 a2a1n ");
}

TEST(Rendering, CastlingStatusListsTheRightsHeld) {
  const CastleStatus none;
  const CastleStatus all = newGame().castleStatus;
  EXPECT_EQ(niceShowStatus(none), "W(), B()");
  EXPECT_EQ(niceShowStatus(all), "W(O-O O-O-O), B(O-O O-O-O)");
  EXPECT_EQ(niceShowStatus(all.with(BoardSide::KingSide, Colour::White, false)
                               .with(BoardSide::QueenSide, Colour::White, false)),
            "W(), B(O-O O-O-O)");
  EXPECT_EQ(niceShowStatus(none.with(BoardSide::QueenSide, Colour::White, true)), "W(O-O-O), B()");
  EXPECT_EQ(niceShowStatus(none.with(BoardSide::KingSide, Colour::Black, true)
                               .with(BoardSide::QueenSide, Colour::Black, false)),
            "W(), B(O-O)");
}

TEST(Rendering, StatesShowBoardStatusLineAndHistoryInGameOrder) {
  const auto framed = [](const std::string& body) {
    return std::string(37, '=') + "\n" + body + std::string(38, '=') + "\n";
  };
  EXPECT_EQ(
      niceShowState(newGame()),
      framed("rnbqkbnr\npppppppp\n........\n........\n........\n........\nPPPPPPPP\nRNBQKBNR\n"
             "\n[Move 1; Turn W; Castle Status W(O-O O-O-O), B(O-O O-O-O); ]\n\n"));
  State s = newGame();
  for (const char* m : {"e2e4", "e7e5", "e1e2"}) s = makeMove(s, mv(m));
  EXPECT_EQ(
      niceShowState(s),
      framed("rnbqkbnr\npppp.ppp\n........\n....p...\n....P...\n........\nPPPPKPPP\nRNBQ.BNR\n"
             "\n[Move 4; Turn B; Castle Status W(), B(O-O O-O-O); ]\n1. e2e4 e7e5 2. e1e2\n"));
}

TEST(Rendering, MoveConstructorText) {
  EXPECT_EQ(showMoveConstructor(mv("e2e4")), "MovePiece (7,5) (5,5)");
  EXPECT_EQ(showMoveConstructor(mv("a7a8q")), "PromotePawn (2,1) (1,1) Queen");
  EXPECT_EQ(showMoveConstructor(mv("b2b1n")), "PromotePawn (7,2) (8,2) Knight");
  EXPECT_EQ(showMoveConstructor(MovePiece({-1, 0}, {10, -12})), "MovePiece (-1,0) (10,-12)");
}

//=== Board store ===//

TEST(BoardStore, InitBoardListsSquaresInInputOrder) {
  const Board board = initBoard({{{8, 8}, WR}, {{1, 1}, BK}, {{8, 1}, WR}, {{3, 3}, WR}});
  EXPECT_EQ(locs(board, WR), (Squares{{8, 8}, {8, 1}, {3, 3}}));
  EXPECT_EQ(locs(board, BK), (Squares{{1, 1}}));
  EXPECT_TRUE(locs(board, WQ).empty());
  EXPECT_EQ(findAllPieces(board),
            (Placements{{{1, 1}, BK}, {{3, 3}, WR}, {{8, 1}, WR}, {{8, 8}, WR}}));
  EXPECT_EQ(integrity(board), std::nullopt);
  EXPECT_EQ(integrity(initBoard({})), std::nullopt);
  // The last piece named for a square wins.
  EXPECT_EQ(getSquare(initBoard({{{4, 4}, WR}, {{4, 4}, BN}}), {4, 4}), BN);
}

TEST(BoardStore, EmptyAndOffBoardSquaresReadAsEmpty) {
  const Board& board = initialPosition();
  Squares empty = offBoard;
  empty.push_back({4, 4});
  for (const Location loc : empty) {
    EXPECT_EQ(getSquare(board, loc), std::nullopt) << showLocation(loc);
    EXPECT_EQ(primLookupSquare(board.squares, loc), std::nullopt) << showLocation(loc);
    EXPECT_EQ(fatalMessage([&] { (void)getPieceFromSquare(board, loc); }),
              "getPieceFromSquare called on empty square");
  }
  EXPECT_EQ(getPieceFromSquare(board, {1, 4}), (Piece{Colour::Black, PieceType::Queen}));
  // A piece without squares reads as an empty list, with or without an index entry.
  EXPECT_TRUE(findGivenPiece(initBoard({}), WQ).empty());
  EXPECT_TRUE(findGivenPiece(Board{}, WQ).empty());
}

TEST(BoardStore, SetSquarePutsTheSquareFirstAndReplacesTheOccupant) {
  const Board base = initBoard({{{8, 1}, WR}, {{8, 8}, WR}, {{3, 3}, BN}});
  const Board copy = base;

  const Board onEmpty = setSquare({4, 4}, WR, base);
  EXPECT_EQ(locs(onEmpty, WR), (Squares{{4, 4}, {8, 1}, {8, 8}}));
  EXPECT_EQ(findAllPieces(onEmpty).size(), 4U);

  const Board onEnemy = setSquare({3, 3}, WR, base);
  EXPECT_EQ(locs(onEnemy, WR), (Squares{{3, 3}, {8, 1}, {8, 8}}));
  EXPECT_TRUE(locs(onEnemy, BN).empty());
  EXPECT_EQ(getSquare(onEnemy, {3, 3}), WR);

  const Board onFriend = setSquare({8, 8}, WQ, base);
  EXPECT_EQ(locs(onFriend, WR), (Squares{{8, 1}}));
  EXPECT_EQ(locs(onFriend, WQ), (Squares{{8, 8}}));

  for (const Board* b : {&onEmpty, &onEnemy, &onFriend}) EXPECT_EQ(integrity(*b), std::nullopt);
  EXPECT_EQ(base, copy);  // the argument is left as it was

  // The piece already there: nothing changes, the list keeps its order.
  const Board rooks = initBoard({{{8, 1}, WR}, {{5, 5}, WR}, {{8, 8}, WR}});
  EXPECT_EQ(setSquare({5, 5}, WR, rooks), rooks);
}

TEST(BoardStore, BoardsCompareByWhatTheyHold) {
  // Boards are values: the same squares with the same list orders compare equal, however
  // they were reached.
  const Board base = initBoard({{{8, 1}, WR}, {{8, 8}, WR}});
  EXPECT_EQ(emptySquare({4, 4}, setSquare({4, 4}, WR, base)), base);
  // The rook that went away and came back now leads its list.
  EXPECT_EQ(movePiece({4, 4}, {8, 8}, movePiece({8, 8}, {4, 4}, base)),
            initBoard({{{8, 8}, WR}, {{8, 1}, WR}}));
  EXPECT_EQ(emptySquare({4, 4}, setSquare({4, 4}, BN, base)), base);
  // Different list orders are different boards.
  EXPECT_NE(movePiece({8, 8}, {8, 8}, base), base);
}

TEST(BoardStore, MovePieceMovesCapturesAndReorders) {
  const Board base =
      initBoard({{{8, 1}, WR}, {{5, 5}, WR}, {{8, 8}, WR}, {{1, 1}, BN}, {{2, 2}, WN}});

  const Board toEmpty = movePiece({8, 8}, {4, 8}, base);
  EXPECT_EQ(locs(toEmpty, WR), (Squares{{4, 8}, {8, 1}, {5, 5}}));
  EXPECT_EQ(getSquare(toEmpty, {8, 8}), std::nullopt);

  const Board ontoEnemy = movePiece({8, 1}, {1, 1}, base);
  EXPECT_EQ(locs(ontoEnemy, WR), (Squares{{1, 1}, {5, 5}, {8, 8}}));
  EXPECT_TRUE(locs(ontoEnemy, BN).empty());

  // The store applies no rule of chess: a friendly piece is captured the same way.
  const Board ontoOtherType = movePiece({8, 1}, {2, 2}, base);
  EXPECT_TRUE(locs(ontoOtherType, WN).empty());
  EXPECT_EQ(locs(ontoOtherType, WR), (Squares{{2, 2}, {5, 5}, {8, 8}}));

  const Board ontoSameType = movePiece({8, 1}, {8, 8}, base);
  // The rook leaves (8,1); landing on a square its own piece holds takes out that first
  // occurrence again, so the list keeps its old order.
  EXPECT_EQ(locs(ontoSameType, WR), (Squares{{5, 5}, {8, 8}}));

  // Onto its own square: the same squares, the location moved to the front of the list.
  const Board toItself = movePiece({5, 5}, {5, 5}, base);
  EXPECT_EQ(toItself.squares, base.squares);
  EXPECT_EQ(locs(toItself, WR), (Squares{{5, 5}, {8, 1}, {8, 8}}));

  for (const Board* b : {&toEmpty, &ontoEnemy, &ontoOtherType, &ontoSameType, &toItself}) {
    EXPECT_EQ(integrity(*b), std::nullopt);
  }
  for (const Location from : {Location{4, 4}, Location{0, 1}}) {
    EXPECT_EQ(fatalMessage([&] {
                (void)movePiece(from, {3, 3}, base);
              }),
              "movePiece called on empty square");
  }
}

TEST(BoardStore, EmptySquareTakesOutTheFirstOccurrenceOnly) {
  const Board base = initBoard({{{8, 1}, WR}, {{5, 5}, WR}, {{8, 8}, WR}});
  const Board emptied = emptySquare({5, 5}, base);
  EXPECT_EQ(locs(emptied, WR), (Squares{{8, 1}, {8, 8}}));
  EXPECT_EQ(getSquare(emptied, {5, 5}), std::nullopt);
  EXPECT_EQ(integrity(emptied), std::nullopt);
  EXPECT_EQ(emptySquare({4, 4}, base), base);
  for (const Location loc : offBoard) EXPECT_EQ(emptySquare(loc, base), base) << showLocation(loc);
}

TEST(BoardStore, PrimitiveIndexOperations) {
  // The change is given the current list; an index without an entry for the piece gets one.
  const auto appending = [](Location loc) {
    return [loc](Squares l) {
      l.push_back(loc);
      return l;
    };
  };
  PieceLocationMap three = initBoard({}).index;
  for (const Location loc : Squares{{3, 1}, {3, 2}, {3, 1}}) {
    three = primModifyPLM(BP, appending(loc), three);
  }
  EXPECT_EQ(primGetPieceLocs(three, BP).toVector(), (Squares{{3, 1}, {3, 2}, {3, 1}}));
  const PieceLocationMap created = primModifyPLM(WQ, appending({6, 6}), PieceLocationMap{});
  EXPECT_EQ(primGetPieceLocs(created, WQ).toVector(), (Squares{{6, 6}}));

  EXPECT_EQ(primGetPieceLocs(primRemovePiece(BP, {3, 1}, three), BP).toVector(),
            (Squares{{3, 2}, {3, 1}}));
  for (const auto& [piece, loc] : std::vector<std::pair<Piece, Location>>{
           {BP, {5, 5}}, {BP, {0, 1}}, {BP, {9, 9}}, {WK, {3, 1}}}) {
    EXPECT_EQ(fatalMessage([&] { (void)primRemovePiece(piece, loc, three); }),
              "primRemovePiece for non-existent piece?");
  }
}

TEST(BoardStore, FindAllPiecesRunsInAscendingSquareOrder) {
  for (const Colour colour : {Colour::White, Colour::Black}) {
    const Placements placed = findAllPiecesGivenColour(colour, initialPosition());
    ASSERT_EQ(placed.size(), 16U);
    for (std::size_t i = 0; i < placed.size(); ++i) {
      EXPECT_EQ(placed[i].piece.colour, colour);
      EXPECT_EQ(getSquare(initialPosition(), placed[i].location), placed[i].piece);
      EXPECT_TRUE(i == 0 || placed[i - 1].location < placed[i].location) << i;
    }
  }
  const Board scrambled = initBoard({{{8, 8}, WK}, {{2, 7}, BP}, {{2, 3}, BP}, {{1, 1}, BK}});
  EXPECT_EQ(findAllPieces(scrambled),
            (Placements{{{1, 1}, BK}, {{2, 3}, BP}, {{2, 7}, BP}, {{8, 8}, WK}}));
  EXPECT_EQ(findAllPiecesGivenColour(Colour::White, scrambled), (Placements{{{8, 8}, WK}}));
}

TEST(BoardStore, OnePieceCanStandOnAllSixtyFourSquares) {
  Board board = initBoard({});
  Squares ascending;
  for (std::int32_t row = 1; row <= 8; ++row) {
    for (std::int32_t column = 1; column <= 8; ++column) ascending.push_back({row, column});
  }
  // Placed from h1 back to a8, each square going in front: the list ends up ascending.
  for (auto it = ascending.rbegin(); it != ascending.rend(); ++it)
    board = setSquare(*it, WQ, board);
  EXPECT_EQ(locs(board, WQ), ascending);
  EXPECT_EQ(findAllPieces(board).size(), 64U);
  EXPECT_EQ(integrity(board), std::nullopt);

  // A full board still takes replacements, placements of the same piece and moves.
  board = setSquare({4, 4}, BK, board);
  board = setSquare({5, 5}, WQ, board);
  board = movePiece({1, 1}, {8, 8}, board);
  board = movePiece({4, 4}, {4, 5}, board);
  EXPECT_EQ(findGivenPiece(board, WQ).size(), 61U);
  EXPECT_EQ(locs(board, BK), (Squares{{4, 5}}));
  EXPECT_EQ(integrity(board), std::nullopt);

  // initBoard of 64 pieces of all twelve kinds.
  Placements placed;
  for (std::size_t i = 0; i < ascending.size(); ++i) {
    placed.push_back({ascending[i], allPieces[i % allPieces.size()]});
  }
  const Board full = initBoard(placed);
  EXPECT_EQ(findAllPieces(full), placed);
  EXPECT_EQ(integrity(full), std::nullopt);
}

TEST(BoardStore, UpdatesOffTheBoardAreFatal) {
  const Board board = initBoard({{{8, 1}, WR}});
  for (const Location loc : offBoard) {
    SCOPED_TRACE(showLocation(loc));
    EXPECT_THROW((void)setSquare(loc, WQ, board), FatalError);
    EXPECT_THROW((void)movePiece({8, 1}, loc, board), FatalError);
    EXPECT_THROW((void)initBoard({{loc, WQ}}), FatalError);
    EXPECT_THROW((void)primModifyPLM(
                     WQ, [&](Squares) { return Squares{loc}; }, board.index),
                 FatalError);
  }
}

TEST(BoardStore, SquareContentsAndPictures) {
  EXPECT_TRUE(emptySquareOrColouredPiece(Colour::White, std::nullopt));
  EXPECT_TRUE(emptySquareOrColouredPiece(Colour::White, WN));
  EXPECT_FALSE(emptySquareOrColouredPiece(Colour::White, BN));
  EXPECT_TRUE(emptySquareOrColouredPiece(Colour::Black, BN));
  EXPECT_FALSE(emptySquareOrColouredPiece(Colour::Black, WK));

  EXPECT_EQ(niceShowSquare(std::nullopt), ".");
  EXPECT_EQ(niceShowSquare(BN), "n");
  EXPECT_EQ(niceShowBoard(initBoard({{sq("e1"), WK}})), emptyRows(7) + "....K...\n");
}

}  // namespace
}  // namespace quenlor
