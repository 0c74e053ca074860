// Tests of the UCI command parser, the set-up of positions from "position" (legal moves only,
// the same states as the xboard program's), the positions the search refuses, and mate scores
// checked against a brute-force mate search on the reference positions.

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "AI.h"
#include "Basics.h"
#include "Parser.h"
#include "Rules.h"
#include "TestSupport.h"
#include "UciInterface.h"

namespace quenlor {
namespace {

using namespace test;

constexpr std::int32_t int32Max = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t int32Min = std::numeric_limits<std::int32_t>::min();

// A "go" with a depth, the two waiting modes and root moves, and optionally clocks and limits
// (wtime, btime, winc, binc, movestogo, nodes, mate, movetime), which the caller sets.
GoCommand goWith(
    std::optional<std::int32_t> depth, bool infinite, bool ponder,
    std::optional<std::vector<std::string>> searchMoves,
    std::vector<std::pair<std::optional<std::int32_t> GoCommand::*, std::int32_t>> numbers = {}) {
  GoCommand go;
  go.depth = depth;
  go.infinite = infinite;
  go.ponder = ponder;
  go.searchMoves = std::move(searchMoves);
  for (const auto& [field, value] : numbers) go.*field = value;
  return go;
}

TEST(UciInterface, CommandTable) {
  const Malformed noBase{"position needs \"startpos\" or \"fen <FEN>\", then optionally \"moves\""};
  const std::string fen = "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1";
  // clang-format off
  const std::vector<std::pair<std::string, UciCommand>> cases{
      {"uci",                                   UciHello{}},
      {"isready\r",                             IsReady{}},
      {"  ucinewgame  ",                        UciNewGame{}},
      {"quit now",                              UciQuit{}},
      {"stop",                                  UciStop{}},
      {"ponderhit",                             PonderHit{}},
      // Words before the first command word are skipped; a line of none is unknown.
      {"joho debug on",                         Unsupported{"debug"}},
      {"register later",                        Unsupported{"register"}},
      {"xyzzy isready",                         IsReady{}},
      {"xyzzy plugh",                           UciUnknown{"xyzzy"}},
      {"Uci",                                   UciUnknown{"Uci"}},
      {"",                                      Ignored{}},
      {" \t\r",                                 Ignored{}},
      {"\xff\x01 \x80",                         UciUnknown{"\xff\x01"}},
      {"setoption name Hash value 16",          SetOption{"Hash", "16"}},
      {"setoption name Skill  Level value a b", SetOption{"Skill  Level", "a b"}},
      {"setoption name Ponder",                 SetOption{"Ponder", ""}},
      {"setoption value 3",                     Malformed{"setoption needs \"name <option>\""}},
      {"position startpos",                     PositionCommand{std::nullopt, ""}},
      {"position startpos moves e2e4 e7e5\r",   PositionCommand{std::nullopt, "e2e4 e7e5"}},
      {"position startpos x moves e2e4",        PositionCommand{std::nullopt, "e2e4"}},
      {"position  fen " + fen + "  moves d7d5", PositionCommand{fen, "d7d5"}},
      {"position fen " + fen,                   PositionCommand{fen, ""}},
      {"position fen moves e2e4",               PositionCommand{"", "e2e4"}},
      {"position",                              noBase},
      {"position e2e4",                         noBase},
      {"go",                                    GoCommand{}},
      {"go depth 2",                            goWith(2, false, false, {})},
      {"go depth -1",                           goWith(-1, false, false, {})},
      // Numbers beyond 32 bits saturate rather than wrap.
      {"go depth 4294967297",                   goWith(int32Max, false, false, {})},
      {"go depth -4294967297 infinite",         goWith(int32Min, true, false, {})},
      {"go depth 2147483647",                   goWith(int32Max, false, false, {})},
      {"go depth -2147483648",                  goWith(int32Min, false, false, {})},
      {"go depth 00000000000000000000000000002", goWith(2, false, false, {})},
      {"go depth",                              GoCommand{}},
      {"go depth x3 infinite",                  goWith(std::nullopt, true, false, {})},
      {"go wtime 300000 btime -5 winc 0 binc 0 movestogo 40 depth 3",
                                                goWith(3, false, false, {},
                                                       {{&GoCommand::whiteTime, 300000},
                                                        {&GoCommand::blackTime, -5},
                                                        {&GoCommand::whiteIncrement, 0},
                                                        {&GoCommand::blackIncrement, 0},
                                                        {&GoCommand::movesToGo, 40}})},
      {"go ponder wtime 1000 btime 1000",       goWith(std::nullopt, false, true, {},
                                                       {{&GoCommand::whiteTime, 1000},
                                                        {&GoCommand::blackTime, 1000}})},
      {"go nodes 5 mate 2 movetime 100 searchmoves e2e4 d2d4 infinite",
                                                goWith(std::nullopt, true, false, {{"e2e4", "d2d4"}},
                                                       {{&GoCommand::nodes, 5},
                                                        {&GoCommand::mate, 2},
                                                        {&GoCommand::moveTime, 100}})},
      {"go searchmoves depth 2",                goWith(2, false, false, std::vector<std::string>{})},
      {"go wtime infinite",                     goWith(std::nullopt, true, false, {})},
  };
  // clang-format on
  for (const auto& [line, expected] : cases) {
    EXPECT_TRUE(readUciCommand(line) == expected) << brief(line);
  }
}

// The fields of two states, compared one by one.
void expectSameState(const State& actual, const State& expected, const std::string& what) {
  EXPECT_EQ(actual.turn, expected.turn) << what;
  EXPECT_EQ(actual.moveNum, expected.moveNum) << what;
  EXPECT_TRUE(actual.reversedHistory == expected.reversedHistory) << what;
  EXPECT_EQ(actual.getBoard, expected.getBoard) << what;
  EXPECT_EQ(actual.castleStatus, expected.castleStatus) << what;
}

// The state after moves given as coordinate words.
State played(State state, const std::string& moves) {
  std::istringstream words(moves);
  for (std::string w; words >> w;) state = makeMove(state, mv(w));
  return state;
}

TEST(UciInterface, PositionSetUp) {
  struct Case {
    PositionCommand command;
    std::string legalPrefix;  // the moves applied, from the base
    bool problem;
  };
  const std::string castling = "r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1";
  const std::string promotion = "8/4P3/8/8/8/8/k7/4K3 w - - 0 1";
  const std::string enPassant = "4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1";
  // clang-format off
  const std::vector<Case> cases{
      {{std::nullopt, "e2e4 e7e5 g1f3 b8c6 f1c4 g8f6 e1g1"}, "e2e4 e7e5 g1f3 b8c6 f1c4 g8f6 e1g1", false},
      {{std::nullopt, "e2e4 e7e5 e2e4 g1f3"},                "e2e4 e7e5",                         true},
      {{std::nullopt, "e2e5"},                               "",                                  true},
      {{std::nullopt, "e2e4 e7e5 e1g1"},                     "e2e4 e7e5",                         true},
      {{std::nullopt, "e2e4 e7"},                            "e2e4",                              true},
      {{std::nullopt, "e2e4x"},                              "",                                  true},
      {{std::nullopt, "g1f3 b8c6 f3e5 c6e5 b1c3 e5d3 c2d3"}, "g1f3 b8c6 f3e5 c6e5 b1c3 e5d3 c2d3", false},
      {{castling,     "e1c1 e8g8 c1b1"},                     "e1c1 e8g8 c1b1",                    false},
      {{castling,     "e1g1 e8c8 g1g3"},                     "e1g1 e8c8",                         true},
      // The file letters of the usual rooks, in any order, stand for the same rights.
      {{"r3k2r/8/8/8/8/8/8/R3K2R w HAha - 0 1", "e1c1 e8g8"}, "e1c1 e8g8",                      false},
      {{"r3k2r/8/8/8/8/8/8/R3K2R w Ah - 0 1", "e1c1 e8g8"},   "e1c1 e8g8",                      false},
      {{"r3k2r/8/8/8/8/8/8/R3K2R w Ah - 0 1", "e1g1"},        "",                               true},
      {{promotion,    "e7e8N a2b3 e8d6"},                    "e7e8n a2b3 e8d6",                   false},
      {{promotion,    "e7e8"},                               "",                                  true},
      {{promotion,    "e7e8k"},                              "",                                  true},
      {{enPassant,    "e5d6 e8d8"},                          "e5d6 e8d8",                         false},
      {{enPassant,    "e5f6"},                               "",                                  true},
  };
  // clang-format on
  for (const Case& c : cases) {
    const std::string what = c.command.fen.value_or("startpos") + " moves " + c.command.moves;
    const PositionSetUp setUp = setUpPosition(c.command);
    EXPECT_EQ(setUp.problem.has_value(), c.problem) << what << ": " << setUp.problem.value_or("");
    // From the start the state is the one the xboard program holds after the same moves.
    const State expected =
        c.command.fen ? played(fen(*c.command.fen), c.legalPrefix) : openWith(c.legalPrefix);
    ASSERT_TRUE(setUp.state) << what;
    expectSameState(*setUp.state, expected, what);
  }
  // An unreadable FEN (file letters included that name no usual rook) sets no position, and
  // the input the reason shows is quoted and escaped like the FEN, and cut short when long.
  const std::string kings = "4k3/8/8/8/8/8/8/4K3 w ";
  // clang-format off
  const std::vector<std::pair<std::string, std::string>> bad{
      {"",                                   "a FEN needs at least a placement and a side to move"},
      {"rnbqkbnr/pppppppp w",                "the placement does not describe 8 ranks of 8 squares"},
      {"8/8/8/8/8/8/8/8 x - - 0 1",          "the side to move must be w or b"},
      {"r3k2r/8/8/8/8/8/8/1R2K2R w A - 0 1", "castling right \"A\" needs the king on e1 and a rook on a1"},
      {"r3k1r1/8/8/8/8/8/8/R3K2R w h - 0 1", "castling right \"h\" needs the king on e8 and a rook on h8"},
      {"r3k2r/8/8/8/8/8/8/R4K1R w H - 0 1",  "castling right \"H\" needs the king on e1 and a rook on h1"},
      {"r3k2r/8/8/8/8/8/8/R3K2R w B - 0 1",  "unexpected castling right \"B\""},
      {kings + "\xff - 0 1",                 "unexpected castling right \"\\255\""},
      {"4k3/8/8/8/8/8/8/4K2\x01 w - - 0 1",  "unexpected character \"\\SOH\" in the placement"},
      {kings + "- e\"6 0 1",                 "bad en-passant square \"e\\\"6\""},
      {kings + "- " + std::string(100, 'x') + " 0 1",
                                             "bad en-passant square \"" + std::string(60, 'x') +
                                             "\"... (100 bytes)"},
  };
  // clang-format on
  for (const auto& [text, reason] : bad) {
    const PositionSetUp setUp = setUpPosition({text, "e2e4"});
    EXPECT_EQ(setUp.problem,
              "cannot read the FEN " + quoteInput(text) + ": " + reason + "; no position");
    EXPECT_FALSE(setUp.state) << text;
  }
  const PositionSetUp kingless = setUpPosition({"8/8/8/8/8/8/4P3/8 w - - 0 1", "e2e4"});
  EXPECT_EQ(kingless.problem,
            "no move can be played here (White has no king); position before \"e2e4\" kept");
  ASSERT_TRUE(kingless.state);
  EXPECT_EQ(fenPlacement(kingless.state->getBoard), "8/8/8/8/8/8/4P3/8");
}

TEST(UciInterface, UnsearchablePositions) {
  // clang-format off
  const std::vector<std::pair<std::string, std::optional<std::string>>> cases{
      {"8/8/8/8/8/8/8/8 w - - 0 1",            "White has no king"},
      {"4k3/8/8/8/8/8/8/8 b - - 0 1",          "White has no king"},
      {"8/8/8/8/8/8/8/4K3 w - - 0 1",          "Black has no king"},
      {"k1k5/8/8/8/8/8/8/4K3 w - - 0 1",       "Black has 2 kings"},
      {"4k3/8/8/8/8/8/8/KK2K3 b - - 0 1",      "White has 3 kings"},
      {"4k3/4R3/8/8/8/8/8/4K3 w - - 0 1",      "Black is in check with White to move"},
      {"8/8/8/8/8/8/3kK3/8 b - - 0 1",         "White is in check with Black to move"},
      {"4k3/4R3/8/8/8/8/8/4K3 b - - 0 1",      std::nullopt},
      {"7k/5Q2/6K1/8/8/8/8/8 b - - 0 1",       std::nullopt},  // stalemate: searchable, no move
      {"P3k3/8/8/8/8/8/8/4K3 w - - 0 1",       std::nullopt},  // a pawn left on its last row
  };
  // clang-format on
  for (const auto& [text, reason] : cases) {
    const State state = fen(text);
    EXPECT_EQ(unsearchableReason(state), reason) << text;
    // Whatever the guard lets through, the search takes without a fatal error.
    if (!reason) {
      EXPECT_EQ(fatalMessage([&] { (void)cpuMove(state); }), "<no fatal error>") << text;
    }
  }
}

// Whether the side to move can force mate within `moves` of its own moves.
bool forcesMate(const State& state, int moves) {
  for (const Move& m : legalMoves(state)) {
    const State after = makeMove(state, m);
    const MoveList replies = legalMoves(after);
    if (replies.empty()) {
      if (inCheck(after, after.turn)) return true;
      continue;
    }
    if (moves > 1 && std::all_of(replies.begin(), replies.end(), [&](const Move& r) {
          return forcesMate(makeMove(after, r), moves - 1);
        })) {
      return true;
    }
  }
  return false;
}

// Every iteration's mate score on the reference positions names a mate that is there: after the
// move shown, "mate N" leaves the opponent mated within N − 1 of the engine's further moves (N = 1:
// mated at once), and "mate -N" leaves the opponent a forced mate within N moves.
TEST(UciInterface, MateScoresMatchForcedMates) {
  int mates = 0;
  int mated = 0;
  for (const std::vector<std::string>& row : referenceRows("positions.tsv")) {
    const State state = fen(row[0]);
    SearchStats stats;
    (void)deepeningResult(
        state, searchDepth, &stats, [&](std::int32_t d, const ScoredMoveList& list) {
          if (list.empty()) return;
          const std::string score = uciScore(list[0].score.value, d);
          if (!score.starts_with("mate ")) return;
          const int n = std::stoi(score.substr(5));
          const State after = makeMove(state, list[0].move);
          const std::string what = row[0] + " depth " + std::to_string(d);
          if (n > 0) {
            ++mates;
            const bool matedNow = !hasLegalMove(after) && inCheck(after, after.turn);
            EXPECT_TRUE(n == 1 ? matedNow : !matedNow) << what << " " << score;
            if (n > 1) {
              for (const Move& r : legalMoves(after))
                EXPECT_TRUE(forcesMate(makeMove(after, r), n - 1)) << what;
            }
          } else {
            ++mated;
            EXPECT_TRUE(forcesMate(after, -n)) << what << " " << score;
          }
        });
  }
  // The reference positions hold mates both ways.
  EXPECT_GE(mates, 20);
  EXPECT_GE(mated, 3);
}

}  // namespace
}  // namespace quenlor
