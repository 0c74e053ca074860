// Tests of the evaluation terms, the scored move lists, the search and its pinned results on the
// reference positions and the bench suite.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "AI.h"
#include "BenchSuite.h"
#include "TestSupport.h"

namespace quenlor {
namespace {

using namespace test;

//=== Evaluation ===//

TEST(Evaluation, StartPositionIsBalancedForEitherSide) {
  const State start = newGame();
  EXPECT_EQ(evaluatePosition(Colour::Black, start), 0);
  State blackToMove = start;
  blackToMove.turn = Colour::Black;
  EXPECT_EQ(evaluatePosition(Colour::White, blackToMove), 0);
}

TEST(Evaluation, KingsPawnOpeningIsWorthTwentyToWhite) {
  const State afterE4 = makeMove(newGame(), mv("e2e4"));
  EXPECT_EQ(evaluatePosition(Colour::White, afterE4), 20);
  EXPECT_EQ(evaluatePosition(Colour::Black, afterE4), -20);
}

TEST(Evaluation, PlacementBonusesDependOnFileAndRelativeRank) {
  struct Case {
    PieceType type;
    std::int32_t file;
    std::int32_t rank;
    std::int32_t bonus;
  };
  const Case cases[] = {
      {PieceType::Bishop, 2, 2, 35}, {PieceType::Bishop, 7, 2, 15}, {PieceType::Bishop, 4, 2, 7},
      {PieceType::Bishop, 2, 1, 0},  {PieceType::Bishop, 5, 6, 7},  {PieceType::King, 4, 1, -40},
      {PieceType::King, 4, 8, -40},  {PieceType::King, 7, 1, 10},   {PieceType::King, 5, 1, 0},
      {PieceType::King, 8, 2, 2},    {PieceType::King, 3, 2, -5},   {PieceType::King, 1, 5, -5},
      {PieceType::Rook, 3, 4, 30},   {PieceType::Rook, 8, 1, -20},  {PieceType::Rook, 2, 7, 0},
      {PieceType::Knight, 1, 4, 0},  {PieceType::Knight, 4, 3, 10}, {PieceType::Knight, 6, 6, 16},
      {PieceType::Knight, 5, 8, 5},  {PieceType::Queen, 4, 4, 0},   {PieceType::Pawn, 1, 3, 8},
      {PieceType::Pawn, 8, 4, -10},  {PieceType::Pawn, 2, 4, 6},    {PieceType::Pawn, 2, 2, 8},
      {PieceType::Pawn, 2, 5, -10},  {PieceType::Pawn, 3, 5, 0},    {PieceType::Pawn, 4, 6, 20},
      {PieceType::Pawn, 5, 3, 7},    {PieceType::Pawn, 5, 7, 0},    {PieceType::Pawn, 6, 3, -25},
      {PieceType::Pawn, 6, 2, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(positionalBonus(c.type, c.file, c.rank), c.bonus)
        << niceShowPieceType(c.type) << " file " << c.file << " rank " << c.rank;
  }
  // The bishop bonus reads the rank from the owner's side: b2 for White is b7 for Black.
  const State white = fen("4k3/8/8/8/8/8/1B6/4K3 b - - 0 1");
  const State black = fen("4k3/1b6/8/8/8/8/8/4K3 w - - 0 1");
  EXPECT_EQ(evaluatePosition(Colour::White, white), evaluatePosition(Colour::Black, black));
}

TEST(Evaluation, DoubledAndTripledPawnsArePenalised) {
  // Two pawns on c and three on h: -20 - 80.
  const State s = fen("4k3/8/8/7P/2P4P/2P4P/8/4K3 b - - 0 1");
  EXPECT_EQ(doubledPawnPenalty(Colour::White, s.getBoard), -100);
  EXPECT_EQ(doubledPawnPenalty(Colour::Black, s.getBoard), 0);
  // The opponent's doubled pawns count in the evaluating side's favour: Black's pawns on c7 and
  // c6 are worth 100 + 0 and 100 + 6 to Black, and their doubling gives White 20 back.
  EXPECT_EQ(evaluatePosition(Colour::White, fen("4k3/2p5/2p5/8/8/8/8/4K3 b - - 0 1")), -206 + 20);
}

TEST(Evaluation, CheckMateAndStalemateTerms) {
  // Black to move and in check with a reply: +50 for White on top of the other terms.
  const State check = fen("R3k3/8/8/8/8/8/8/4K3 b - - 0 1");
  const State quiet = fen("4k3/8/8/8/8/8/8/R3K3 b - - 0 1");
  EXPECT_EQ(checkAdjustment(check), 50);
  EXPECT_EQ(checkAdjustment(quiet), 0);
  // Back-rank mate: +100000000.
  const State mate = fen("R5k1/5ppp/8/8/8/8/8/6K1 b - - 0 1");
  EXPECT_EQ(checkAdjustment(mate), 100000000);
  EXPECT_GT(evaluatePosition(Colour::White, mate), 100000000);
  // Stalemate: no legal move but no check term either.
  const State stalemate = fen("7k/5Q2/6K1/8/8/8/8/8 b - - 0 1");
  EXPECT_TRUE(legalMoves(stalemate).empty());
  EXPECT_EQ(checkAdjustment(stalemate), 0);
  EXPECT_EQ(evaluatePosition(Colour::White, stalemate),
            900 - 5 - 10);  // queen, king g6, minus Black's king h8
}

//=== Scored lists and ordering ===//

TEST(ScoredList, InsertKeepsEarlierEqualScoresAhead) {
  const Move a = mv("a2a3");
  const Move b = mv("b2b3");
  const Move c = mv("c2c3");
  const Move d = mv("d2d3");
  ScoredMoveList list;
  insertScoredMove(a, Number(5), list);
  insertScoredMove(b, Number(7), list);
  insertScoredMove(c, Number(5), list);
  insertScoredMove(d, Number(-1), list);
  const std::vector<ScoredMove> expected{
      {b, Number(7)}, {a, Number(5)}, {c, Number(5)}, {d, Number(-1)}};
  EXPECT_EQ(list.toVector(), expected);
}

TEST(ScoredList, OrderByEvaluationBreaksTiesByTheGreaterMove) {
  // With bare kings every king move evaluates by its placement only; equal keys put the greater
  // move (later destination) first.
  const State s = fen("8/8/8/8/8/8/8/K6k w - - 0 1");
  const MoveList moves = legalMoves(s);
  const MoveList ordered = orderByEvaluation(s, moves);
  ASSERT_EQ(ordered.size(), moves.size());
  for (std::size_t i = 1; i < ordered.size(); ++i) {
    const std::int32_t before = evaluatePosition(Colour::White, makeMove(s, ordered[i - 1]));
    const std::int32_t after = evaluatePosition(Colour::White, makeMove(s, ordered[i]));
    EXPECT_TRUE(before > after || (before == after && ordered[i - 1] > ordered[i]));
  }
}

//=== Search ===//

TEST(Search, NoLegalMoveGivesNothing) {
  EXPECT_FALSE(cpuMove(fen("R5k1/5ppp/8/8/8/8/8/6K1 b - - 0 1")).has_value());  // mated
  EXPECT_FALSE(cpuMove(fen("7k/5Q2/6K1/8/8/8/8/8 b - - 0 1")).has_value());     // stalemated
}

TEST(Search, SingleLegalMoveIsPlayed) {
  const State s = fen("7k/8/6KQ/8/8/8/8/8 b - - 0 1");  // in check, only Kg8
  const MoveList moves = legalMoves(s);
  ASSERT_EQ(moves.size(), 1U);
  EXPECT_EQ(cpuMove(s), moves[0]);
}

TEST(Search, MateInOneScoresFortyMillion) {
  const ScoredMoveList result = deepeningResult(fen("6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1"));
  ASSERT_FALSE(result.empty());
  EXPECT_EQ(niceShowMove(result[0].move), "a1a8");
  EXPECT_EQ(result[0].score, Number(40000000));
}

TEST(Search, QuietMovesCanCrowdOutAMateAtTheNarrowedRoot) {
  // At depth 3 an immediate mate scores 30000000 while six quiet moves see a mate at the leaves
  // (+100000000), so narrowing to six drops the mates.
  EXPECT_EQ(niceShowMove(*cpuMove(fen("7k/8/2Q3K1/8/8/8/8/8 w - - 0 1"))), "g6f7");
  EXPECT_EQ(niceShowMove(*cpuMove(fen("7k/8/6K1/8/8/8/8/RRB5 w - - 0 1"))), "c1b2");
}

TEST(Search, StalematingMoveScoresZero) {
  // Qg6 stalemates the black king in the corner; with depth 2 it scores exactly 0.
  const State s = fen("7k/8/5K2/8/8/8/8/6Q1 w - - 0 1");
  const Move stalemating = mv("g1g6");
  ASSERT_TRUE(legalMoves(makeMove(s, stalemating)).empty());
  ASSERT_FALSE(inCheck(makeMove(s, stalemating), Colour::Black));
  for (std::int32_t depth : {2, 3}) {
    const ScoredMoveList r =
        searchPosition(PositiveInfinity, depth, s, std::vector<Move>{stalemating});
    ASSERT_EQ(r.size(), 1U);
    EXPECT_EQ(r[0].score, Number(0)) << "depth " << depth;
  }
}

TEST(Search, CutOffReturnsTheCuttingMoveThenTheScoredThenTheRest) {
  const State s = newGame();
  const std::vector<Move> moves = legalMoves(s).toVector();
  // Every move scores at least -100 at depth 1, so a bound of -1000 is reached at once.
  const ScoredMoveList first = searchPosition(Number(-1000), 1, s, moves);
  ASSERT_EQ(first.size(), moves.size());
  EXPECT_EQ(first[0].move, moves[0]);
  EXPECT_EQ(first[0].score.kind, Score::Kind::Number);
  for (std::size_t i = 1; i < moves.size(); ++i) {
    EXPECT_EQ(first[i].move, moves[i]);
    EXPECT_EQ(first[i].score, NeverCalculated);
  }
  // A bound reached only by the third move (e2e4, +20): the two before it follow in score order,
  // then the unsearched rest.
  const Move a3 = mv("a2a3");  // 0
  const Move b3 = mv("b2b3");  // -2: the b-pawn's bonus drops from 8 to 6
  const Move e4 = mv("e2e4");  // +20
  const Move h3 = mv("h2h3");
  const ScoredMoveList cut = searchPosition(Number(20), 1, s, std::vector<Move>{b3, a3, e4, h3});
  const std::vector<ScoredMove> expected{
      {e4, Number(20)}, {a3, Number(0)}, {b3, Number(-2)}, {h3, NeverCalculated}};
  EXPECT_EQ(cut.toVector(), expected);
}

TEST(Search, SameStateGivesSameMoveAndLeavesTheStateAlone) {
  const State s = fen("r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10");
  const std::string before = niceShowState(s);
  const std::optional<Move> first = cpuMove(s);
  EXPECT_EQ(cpuMove(s), first);
  EXPECT_EQ(niceShowState(s), before);
}

// Every reference position: the chosen move and the whole depth-4 root list with its scores.
TEST(Search, EachIterationSearchesTheBestOfThePreviousOne) {
  const State s = fen("r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10");
  std::vector<std::vector<Move>> moves(maxSearchDepth + 1);
  for (std::int32_t d = 1; d <= maxSearchDepth; ++d) {
    for (const ScoredMove& entry : deepeningResult(s, d)) moves[d].push_back(entry.move);
  }
  auto sorted = [](std::vector<Move> v) {
    std::sort(v.begin(), v.end());
    return v;
  };
  EXPECT_EQ(moves[1].size(), legalMoves(s).size());
  EXPECT_EQ(sorted(moves[2]), sorted(moves[1]));
  EXPECT_EQ(sorted(moves[3]), sorted({moves[2].begin(), moves[2].begin() + 9}));
  // From four plies on, the best six of the iteration before, one ply deeper.
  for (std::int32_t d = 4; d <= maxSearchDepth; ++d) {
    EXPECT_EQ(sorted(moves[d]), sorted({moves[d - 1].begin(), moves[d - 1].begin() + 6})) << d;
  }
  EXPECT_NE(moves[5], moves[4]);  // the deeper search changes its mind here
  EXPECT_EQ(deepeningResult(s).toVector(), deepeningResult(s, 4).toVector());
  EXPECT_EQ(deepeningResult(s, maxSearchDepth + 3).toVector(),
            deepeningResult(s, maxSearchDepth).toVector());
}

// Variety picks within the level's margin of the best, the same for the same seed and position,
// and spreads over the candidates as the seed changes; without a seed, or facing a mate, the
// first move.
TEST(Search, VarietyChoosesWithinTheMarginBySeed) {
  const State s = fen("r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10");
  const State start = newGame();
  const State mateInOne = fen("6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1");
  for (std::int32_t level = 1; level <= maxSearchDepth; ++level) {
    for (const State& state : {s, start, mateInOne}) {
      const ScoredMoveList result = deepeningResult(state, level);
      EXPECT_EQ(chooseMove(result, state, level, std::nullopt), result[0].move);
      std::set<Move> chosen;
      for (std::uint64_t seed = 0; seed < 300; ++seed) {
        const Move m = chooseMove(result, state, level, seed);
        EXPECT_EQ(chooseMove(result, state, level, seed), m);
        const auto entry = std::find_if(result.begin(), result.end(),
                                        [&](const ScoredMove& e) { return e.move == m; });
        ASSERT_NE(entry, result.end());
        EXPECT_GE(entry->score.value, result[0].score.value - varietyMargin(level));
        chosen.insert(m);
      }
      std::size_t within = 0;
      for (const ScoredMove& e : result) {
        within += e.score.value >= result[0].score.value - varietyMargin(level) ? 1 : 0;
      }
      const bool mate = result[0].score.value >= mateStep / 2;
      EXPECT_EQ(chosen.size(), mate ? 1 : within) << level << " " << niceShowState(state);
    }
  }
}

TEST(Search, ReferencePositionsGiveTheirMovesAndRootLists) {
  const std::vector<std::vector<std::string>> rows = referenceRows("positions.tsv");
  EXPECT_EQ(rows.size(), 160U);
  for (const std::vector<std::string>& row : rows) {
    const std::string& position = row.at(0);
    const ScoredMoveList result = deepeningResult(fen(position));
    std::string root;
    for (const ScoredMove& entry : result) {
      root += (root.empty() ? "" : " ") + niceShowMove(entry.move) + ":" +
              std::to_string(entry.score.value);
    }
    EXPECT_EQ(result.empty() ? "none" : niceShowMove(result[0].move), row.at(1)) << position;
    EXPECT_EQ(root, row.size() > 2 ? row[2] : "") << position;
    // The search with the king checks of irregular positions at every node answers the same.
    EXPECT_EQ(deepeningResultCheckingKings(fen(position)).toVector(), result.toVector())
        << position;
  }
}

// The signature folds every root list of the bench suite; it changes only with behaviour.
TEST(Search, BenchSignatureIsPinned) {
  EXPECT_EQ(benchSignature(), 12102920698028189369ULL);
}

}  // namespace
}  // namespace quenlor
