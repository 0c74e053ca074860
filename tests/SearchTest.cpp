// Tests of the strong search: its keys against a full recomputation along random games, the
// forcing-move generator against the legal moves, mates found at their true distance, draws by
// repetition and the fifty-move rule, and legal moves on every reference position.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "Evaluation.h"
#include "Position.h"
#include "Rules.h"
#include "Search.h"
#include "TestSupport.h"

namespace quenlor {
namespace {

using namespace test;

// Random games from the reference positions: after every move the kept key equals the key
// computed from scratch, and the forcing moves are exactly the legal captures and queen
// promotions.
TEST(Search, KeysAndForcingMovesAlongRandomGames) {
  std::uint64_t random = 12345;
  std::size_t moves = 0;
  for (const std::vector<std::string>& row : referenceRows("positions.tsv")) {
    GameRecord game(positionOf(fen(row[0])));
    if (irregularity(game.position())) continue;
    for (int ply = 0; ply < 60; ++ply) {
      const Position& p = game.position();
      PackedMoveList legal;
      PackedMoveList forcing;
      generateLegalMoves(p, legal);
      generateForcingMoves(p, forcing);
      std::vector<PackedMove> expected;
      for (const PackedMove m : legal) {
        const bool capture =
            p.cells[packedTo(m)] != 0 ||
            (p.typeOn(packedFrom(m)) == PieceType::Pawn && packedFrom(m) % 8 != packedTo(m) % 8);
        if (isPackedPromotion(m) ? packedPromoted(m) == PieceType::Queen : capture)
          expected.push_back(m);
      }
      std::vector<PackedMove> got(forcing.begin(), forcing.end());
      std::sort(expected.begin(), expected.end());
      std::sort(got.begin(), got.end());
      ASSERT_EQ(got, expected) << row[0] << " ply " << ply;
      if (legal.empty()) break;
      random = random * 6364136223846793005ULL + 1442695040888963407ULL;
      game.play(legal[(random >> 33U) % legal.size()]);
      ASSERT_EQ(game.keys().back(), zobristKey(game.position())) << row[0] << " ply " << ply;
      ++moves;
    }
  }
  EXPECT_GT(moves, 1000U);
}

// The strong search on positions whose answer is known: mates at their distance (a score of
// mate N), and draws by repetition or by the fifty-move rule scored 0.
TEST(Search, KnownAnswers) {
  struct Case {
    std::string fen;
    std::vector<std::string> moves;  // played first, to give the game a history
    std::string best;                // "" when any move will do
    std::string score;
    std::string only = "";  // the one root move to search, if given
  };
  const std::vector<Case> cases{
      {"6k1/8/6K1/8/8/8/8/1R6 w - - 0 1", {}, "b1b8", "mate 1"},
      {"k7/8/1K6/8/8/8/8/7R b - - 0 1", {}, "a8b8", "mate -1"},
      {"4k3/8/8/8/8/8/8/R3K3 w - - 99 80", {}, "", "cp 0"},
      // Black, a queen up, may only repeat the starting position a third time.
      {"1n2k2q/8/8/8/8/8/8/1N2K3 w - - 0 1",
       {"b1c3", "b8c6", "c3b1", "c6b8", "b1c3", "b8c6", "c3b1"},
       "c6b8",
       "cp 0",
       "c6b8"},
  };
  for (const Case& c : cases) {
    GameRecord game(positionOf(fen(c.fen)), fenHalfmoveClock(c.fen));
    const auto legalMove = [&](const std::string& text) {
      PackedMoveList legal;
      generateLegalMoves(game.position(), legal);
      const auto m = std::find_if(legal.begin(), legal.end(), [&](PackedMove move) {
        return niceShowMove(unpackMove(move)) == text;
      });
      EXPECT_NE(m, legal.end()) << text;
      return m == legal.end() ? noMove : *m;
    };
    for (const std::string& text : c.moves) game.play(legalMove(text));
    SearchLimits limits = levelLimits(topLevel);
    limits.depth = 8;
    if (!c.only.empty()) limits.rootMoves = {legalMove(c.only)};
    StrongSearch search(1);
    SearchControl control;
    const SearchResult result = search.run(game, limits, control);
    ASSERT_FALSE(result.report.lines.empty()) << c.fen;
    if (!c.best.empty()) {
      EXPECT_EQ(niceShowMove(unpackMove(result.best)), c.best) << c.fen;
    }
    EXPECT_EQ(uciScoreText(result.report.lines[0].score), c.score) << c.fen;
  }
}

// Every reference position at levels 5 and 7: a legal move whenever there is one, and the same
// move when the search runs again from an empty table.
TEST(Search, LegalAndRepeatableOnReferencePositions) {
  StrongSearch search(1);
  SearchControl control;
  for (const std::vector<std::string>& row : referenceRows("positions.tsv")) {
    const Position p = positionOf(fen(row[0]));
    if (irregularity(p)) continue;
    PackedMoveList legal;
    generateLegalMoves(p, legal);
    for (const std::int32_t level : {5, 7}) {
      search.clear();
      const PackedMove first = search.run(GameRecord(p), levelLimits(level), control).best;
      search.clear();
      const PackedMove again = search.run(GameRecord(p), levelLimits(level), control).best;
      EXPECT_EQ(first, again) << row[0];
      if (legal.empty()) {
        EXPECT_EQ(first, noMove) << row[0];
      } else {
        EXPECT_NE(std::find(legal.begin(), legal.end(), first), legal.end()) << row[0];
      }
    }
  }
}

}  // namespace
}  // namespace quenlor
