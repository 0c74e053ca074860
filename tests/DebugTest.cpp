// Tests of the board integrity check and the inert debug-log hooks.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "Basics.h"
#include "Debug.h"
#include "TestSupport.h"
#include "Types.h"

namespace quenlor {
namespace {

using namespace test;

// The board with the index list of `piece` changed by `f`, the squares left alone.
State withIndexChange(const Board& board, Piece piece, const std::function<Squares(Squares)>& f) {
  Board broken = board;
  broken.index = primModifyPLM(piece, f, board.index);
  return stateWith(broken);
}

TEST(BoardIntegrity, ConsistentBoardsHaveNoProblems) {
  EXPECT_EQ(boardIntegrityProblems(newGame()), std::nullopt);
  EXPECT_EQ(boardIntegrityProblems(stateWith(initBoard({}))), std::nullopt);
  // The order of a list plays no part.
  EXPECT_EQ(boardIntegrityProblems(withIndexChange(initialPosition(), WP,
                                                   [](Squares l) {
                                                     std::reverse(l.begin(), l.end());
                                                     return l;
                                                   })),
            std::nullopt);
}

TEST(BoardIntegrity, ReportShowsBothViewsSortedIndexViewFirst) {
  // White pawns listed out of order, and the black king's list also naming a white pawn's
  // square.
  const Board board = initBoard({{{7, 3}, WP}, {{7, 1}, WP}, {{8, 5}, WK}, {{1, 5}, BK}});
  const State broken = withIndexChange(board, BK, [](Squares l) {
    l.push_back({7, 1});
    return l;
  });
  const std::string whiteSide =
      "((White,King),[(8,5)]),((White,Queen),[]),((White,Rook),[]),((White,Knight),[]),"
      "((White,Bishop),[]),((White,Pawn),[(7,1),(7,3)]),";
  const std::string blackRest =
      "((Black,Queen),[]),((Black,Rook),[]),((Black,Knight),[]),((Black,Bishop),[]),"
      "((Black,Pawn),[])]";
  EXPECT_EQ(boardIntegrityProblems(broken),
            "board integrity wrong\n"
            "[" +
                whiteSide + "((Black,King),[(1,5),(7,1)])," + blackRest + "[" + whiteSide +
                "((Black,King),[(1,5)])," + blackRest);
}

TEST(BoardIntegrity, EveryKindOfDisagreementIsFound) {
  const Board& start = initialPosition();
  struct Case {
    const char* name;
    Piece piece;
    std::function<Squares(Squares)> change;
  };
  const std::vector<Case> cases{
      {"SquareMissingFromItsList", WK, [](Squares) { return Squares{}; }},
      {"EmptySquareListed", WQ,
       [](Squares l) {
         l.push_back({4, 4});
         return l;
       }},
      {"SquareListedTwice", WP,
       [](Squares l) {
         l.push_back(l.front());
         return l;
       }},
      {"SquareUnderAnotherPiece", WQ,
       [](Squares l) {
         l.push_back({8, 5});
         return l;
       }},
  };
  for (const Case& c : cases) {
    const std::optional<std::string> report =
        boardIntegrityProblems(withIndexChange(start, c.piece, c.change));
    ASSERT_TRUE(report.has_value()) << c.name;
    EXPECT_EQ(report->rfind("board integrity wrong\n[((White,King),", 0), 0U) << *report;
  }
}

TEST(DebugLog, HooksDoNothingAndLeaveNoFile) {
  EXPECT_STREQ(logFile, "quenlor.debug");
  const std::filesystem::path before = std::filesystem::current_path();
  char dirTemplate[] = "/tmp/quenlor-debug-XXXXXX";
  const std::filesystem::path dir = mkdtemp(dirTemplate);
  std::filesystem::current_path(dir);
  initialiseLog();
  log("a message");
  log("");
  const bool empty = std::filesystem::is_empty(dir);
  std::filesystem::current_path(before);
  std::filesystem::remove_all(dir);
  EXPECT_TRUE(empty);
}

TEST(DebugLog, CheckIntegrityHandsBackItsValue) {
  EXPECT_EQ(checkIntegrity(newGame(), 42), 42);
  const State s = makeMove(newGame(), mv("e2e4"));
  EXPECT_EQ(checkIntegrity(0, s).reversedHistory.toVector(), s.reversedHistory.toVector());
}

}  // namespace
}  // namespace quenlor
