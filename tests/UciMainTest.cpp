// Tests of the UCI session and program: protocol transcripts run in process, the engine's move
// and root list on every reference position, the xboard program's replies along the reference
// games, input that is no protocol at all, and the built program for its exit status and
// command line.

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "Parser.h"
#include "Rules.h"
#include "Search.h"
#include "TestSupport.h"
#include "UciMain.h"

namespace quenlor {
namespace {

using namespace test;

// The standard output and exit status of the program on `input`; times and speeds are shown as
// "T" and "N", since they vary from run to run.
std::pair<std::string, int> converse(const std::string& input) {
  std::istringstream in(input);
  std::ostringstream out;
  std::ostringstream err;
  const int status = runUci(in, out, err);
  EXPECT_EQ(err.str(), "") << brief(input);
  std::string text = out.str();
  for (const auto& [word, shown] : {std::pair{" time ", "T"}, std::pair{" nps ", "N"}}) {
    const std::string key = word;
    for (std::size_t at = text.find(key); at != std::string::npos; at = text.find(key, at + 1)) {
      const std::size_t digits = at + key.size();
      std::size_t end = digits;
      while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
      if (end > digits) text.replace(digits, end - digits, shown);
    }
  }
  return {text, status};
}

const std::string mateInOne = "position fen 6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1\n";
const std::string mateInOneSearch =
    "info depth 1 score mate 1 nodes 17 time T pv a1a8\n"
    "info depth 2 score mate 1 nodes 50 time T pv a1a8\n"
    "info depth 3 score mate 1 nodes 271 time T pv a1a8\n"
    "info depth 4 score mate 1 nodes 633 time T pv a1a8\n";
const std::string mateInOneAnswer =
    "info string root a1a8:40000000 a1c1:222 a1d1:222 a1e1:222 a1f1:214 a1b1:214\n"
    "bestmove a1a8\n";

// The mate in one searched one ply deep.
const std::string depthOne =
    "info depth 1 score mate 1 nodes 17 time T pv a1a8\n"
    "info string root a1a8:100000184 a1c1:214 a1d1:214 a1e1:214 a1f1:214 a1b1:184 a1a2:184 "
    "a1a3:184 a1a4:184 a1a5:184 a1a6:184 a1a7:184 g1h1:184 g1g2:176 g1h2:176 g1f1:174 g1f2:169\n"
    "bestmove a1a8\n";
const std::string identification =
    "id name Quenlor\nid author the Quenlor developers\n"
    "option name Skill Level type spin default 4 min 1 max 11\n"
    "option name MultiPV type spin default 1 min 1 max 1120\n"
    "option name Variety Seed type spin default 0 min 0 max 2147483647\n"
    "option name UCI_Elo type spin default " +
    std::to_string(levelElo.back()) + " min " + std::to_string(levelElo.front()) + " max " +
    std::to_string(levelElo.back()) +
    "\n"
    "option name Hash type spin default 16 min 1 max 4096\n"
    "option name Move Overhead type spin default 30 min 0 max 5000\n"
    "option name Variety type check default false\n"
    "option name UCI_LimitStrength type check default false\n"
    "option name Ponder type check default false\n"
    "option name Clear Hash type button\nuciok\n";

TEST(UciSession, Transcripts) {
  const std::string noneAnswer = "info string root\nbestmove (none)\n";
  const std::string noPosition =
      "info string no position to search: the last FEN could not be read\n";
  // clang-format off
  const std::vector<std::pair<std::string, std::string>> cases{
      {"uci\nisready\nquit\nisready\n", identification + "readyok\n"},
      {mateInOne + "go wtime 1000 btime 1000 winc 0 binc 0\n", mateInOneSearch + mateInOneAnswer},
      // "go depth N": the iterations up to N and the move of the last.
      {mateInOne + "go depth 2\n",
       "info depth 1 score mate 1 nodes 17 time T pv a1a8\n"
       "info depth 2 score mate 1 nodes 50 time T pv a1a8\n"
       "info string root a1a8:20000000 a1c1:224 a1d1:224 a1e1:224 a1f1:224 a1b1:194 a1a2:194 "
       "a1a3:194 a1a4:194 a1a5:194 a1a6:194 a1a7:194 g1h1:194 g1g2:186 g1h2:186 g1f1:184 "
       "g1f2:179\nbestmove a1a8\n"},
      // The answer to "go ponder" waits for "stop" or "ponderhit"; a "stop" at any other time
      // does nothing, and another "go" releases the answer first.
      {"stop\n" + mateInOne + "go ponder\nisready\nstop\nstop\n",
       mateInOneSearch + "readyok\n" + mateInOneAnswer},
      {mateInOne + "go ponder wtime 5\nponderhit\n", mateInOneSearch + mateInOneAnswer},
      {mateInOne + "go ponder\ngo\n",
       mateInOneSearch + mateInOneAnswer + mateInOneSearch + mateInOneAnswer},
      // "quit" and the end of input send a held answer first.
      {mateInOne + "go ponder\nquit\nstop\n", mateInOneSearch + mateInOneAnswer},
      {mateInOne + "go ponder\n", mateInOneSearch + mateInOneAnswer},
      // Illegal and unreadable moves keep the position before them; after an unreadable FEN
      // there is none, until the next "position" or "ucinewgame".
      {mateInOne + "position fen 6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1 moves a1a7 a7a8\ngo depth 1\n",
       "info string illegal move \"a7a8\"; position before it kept\n"
       "info depth 1 score cp -184 nodes 8 time T pv g8h8\n"
       "info string root g8h8:-184 g7g6:-184 h7h6:-184 g8f8:-194 g7g5:-202 h7h5:-202 f7f6:-209 "
       "f7f5:-209\nbestmove g8h8\n"},
      {mateInOne + "position fen 6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1 moves a1a8x\n"
                   "position fen 6k1/5ppp/8/8/8/8/8/R5K2 w - - 0 1 moves a1a8\ngo\ngo ponder\n"
                   "stop\n" + mateInOne + "go\n",
       "info string illegal move \"a1a8x\"; position before it kept\n"
       "info string cannot read the FEN \"6k1/5ppp/8/8/8/8/8/R5K2 w - - 0 1\": rank 1 has more "
       "than 8 squares; no position\n" + noPosition + noneAnswer + noPosition + noneAnswer +
       mateInOneSearch + mateInOneAnswer},
      // A mate on the search's last ply may hide a quicker one: its distance is a bound.
      {"position fen k7/8/1K6/8/8/8/8/7R b - - 0 1\ngo depth 4\n",
       "info depth 1 score cp -465 nodes 1 time T pv a8b8\n"
       "info depth 2 score mate -1 nodes 21 time T pv a8b8\n"
       "info depth 3 score mate -1 nodes 78 time T pv a8b8\n"
       "info depth 4 score mate -2 upperbound nodes 599 time T pv a8b8\n"
       "info string root a8b8:-100000515\nbestmove a8b8\n"},
      // Positions the search cannot take, and positions without a legal move.
      {"position fen 8/8/8/8/8/8/8/8 w - - 0 1 moves e2e4\ngo\n",
       "info string no move can be played here (White has no king); position before \"e2e4\" "
       "kept\ninfo string cannot search this position: White has no king\n" + noneAnswer},
      {"position fen 4k3/4R3/8/8/8/8/8/4K3 w - - 0 1\ngo\n",
       "info string cannot search this position: Black is in check with White to move\n" +
       noneAnswer},
      {"position fen 7k/5Q2/6K1/8/8/8/8/8 b - - 0 1\ngo\n",
       "info depth 0 score cp 0\ninfo string no legal move: stalemate\n" + noneAnswer},
      {"position fen 7k/6Q1/6K1/8/8/8/8/8 b - - 0 1\ngo depth 2\n",
       "info depth 0 score mate 0\ninfo string no legal move: checkmate\n" + noneAnswer},
      // Options: a value out of range or unreadable keeps the old one; names in any case.
      {"setoption name Skill Level value 12\nsetoption name skill level value 2x\n"
       "setoption name Variety value yes\nsetoption name MultiPV value 0\n"
       "setoption name Variety Seed value -1\nsetoption name SKILL LEVEL value 1\n"
       "setoption name Skill Level value 0\n" + mateInOne + "go\n",
       "info string option \"Skill Level\" takes a whole number from 1 to 11, not \"12\"; it stays 4\n"
       "info string option \"Skill Level\" takes a whole number from 1 to 11, not \"2x\"; it stays 4\n"
       "info string option \"Variety\" takes true or false, not \"yes\"; it stays false\n"
       "info string option \"MultiPV\" takes a whole number from 1 to 1120, not \"0\"; it stays 1\n"
       "info string option \"Variety Seed\" takes a whole number from 0 to 2147483647, not \"-1\"; "
       "it stays 0\n"
       "info string option \"Skill Level\" takes a whole number from 1 to 11, not \"0\"; it stays 1\n" +
       depthOne},
      // Values past 32 bits are out of range, not taken as the nearest bound.
      {"setoption name Variety Seed value 2147483647\nsetoption name Variety Seed value 2147483648\n"
       "setoption name Variety Seed value 99999999999999999999\n",
       "info string option \"Variety Seed\" takes a whole number from 0 to 2147483647, not "
       "\"2147483648\"; it stays 2147483647\n"
       "info string option \"Variety Seed\" takes a whole number from 0 to 2147483647, not "
       "\"99999999999999999999\"; it stays 2147483647\n"},
      // UCI_LimitStrength plays the level whose estimate is the highest not above UCI_Elo.
      {"setoption name UCI_Elo value " + std::to_string(levelElo[0] + 1) +
       "\nsetoption name UCI_LimitStrength value true\n" + mateInOne +
       "go\nsetoption name UCI_Elo value " + std::to_string(levelElo[0] - 1) + "\n",
       depthOne + "info string option \"UCI_Elo\" takes a whole number from " +
       std::to_string(levelElo.front()) + " to " + std::to_string(levelElo.back()) + ", not \"" +
       std::to_string(levelElo[0] - 1) + "\"; it stays " + std::to_string(levelElo[0] + 1) + "\n"},
      // MultiPV: one line per root move of each iteration, in the root list's order.
      {"setoption name MultiPV value 3\n" + mateInOne + "go depth 2\n",
       "info depth 1 multipv 1 score mate 1 nodes 17 time T pv a1a8\n"
       "info depth 1 multipv 2 score cp 214 nodes 17 time T pv a1c1\n"
       "info depth 1 multipv 3 score cp 214 nodes 17 time T pv a1d1\n"
       "info depth 2 multipv 1 score mate 1 nodes 50 time T pv a1a8\n"
       "info depth 2 multipv 2 score cp 224 nodes 50 time T pv a1c1\n"
       "info depth 2 multipv 3 score cp 224 nodes 50 time T pv a1d1\n"
       "info string root a1a8:20000000 a1c1:224 a1d1:224 a1e1:224 a1f1:224 a1b1:194 a1a2:194 "
       "a1a3:194 a1a4:194 a1a5:194 a1a6:194 a1a7:194 g1h1:194 g1g2:186 g1h2:186 g1f1:184 "
       "g1f2:179\nbestmove a1a8\n"},
      // "searchmoves": only the legal moves named; none legal is as if absent.
      {mateInOne + "go depth 1 searchmoves g1h1 a1b1 h2h4\ngo depth 1 searchmoves h2h4\n",
       "info depth 1 score cp 184 nodes 2 time T pv a1b1\n"
       "info string root a1b1:184 g1h1:184\nbestmove a1b1\n" + depthOne},
      // Lines without a command, options, and Windows line ends.
      {"setoption name Hash value 16\nsetoption name Clear Hash\nsetoption name Move Overhead value 100\n"
       "setoption name Ponder value true\nsetoption name Hashes value 1\n"
       "foo bar\n\n \t\ndebug on\nposition\n\x01\xff x\n",
       "info string no option \"Hashes\" ignored\n"
       "info string unknown command \"foo\" ignored\n"
       "info string unsupported command \"debug\" ignored\n"
       "info string position needs \"startpos\" or \"fen <FEN>\", then optionally \"moves\"\n"
       "info string unknown command \"\\SOH\\255\" ignored\n"},
      {"uci\r\n" + mateInOne.substr(0, mateInOne.size() - 1) + "\r\ngo\r\nquit\r\n",
       identification + mateInOneSearch + mateInOneAnswer},
  };
  // clang-format on
  for (const auto& [input, output] : cases) {
    const auto [out, status] = converse(input);
    EXPECT_TRUE(sameText(out, output)) << brief(input);
    EXPECT_EQ(status, 0) << brief(input);
  }
}

// The last line of a text.
std::string lastLine(const std::string& text) {
  const std::size_t end = text.size() - (text.ends_with('\n') ? 1 : 0);
  return text.substr(text.rfind('\n', end - 1) + 1, end - text.rfind('\n', end - 1) - 1);
}

// "go depth N" weakens the engine, "ucinewgame" forgets the game: the moves those play are the
// ones of the shallower search and of the starting position.
TEST(UciSession, DepthAndNewGame) {
  EXPECT_EQ(lastLine(converse("position startpos moves e2e4\ngo depth 1\n").first),
            "bestmove d7d5");
  EXPECT_EQ(lastLine(converse("position startpos moves e2e4\ngo depth 0\n").first),
            "bestmove d7d5");
  EXPECT_EQ(lastLine(converse("position startpos moves e2e4\ngo depth 4\n").first),
            "bestmove e7e6");
  EXPECT_EQ(converse("position startpos moves e2e4\nucinewgame\ngo\n"),
            converse("position startpos\ngo\n"));
}

// Whether `text` holds each of `parts` in this order.
bool holdsInOrder(const std::string& text, const std::vector<std::string>& parts) {
  std::size_t at = 0;
  for (const std::string& part : parts) {
    at = text.find(part, at);
    if (at == std::string::npos) return false;
    at += part.size();
  }
  return true;
}

// The strong search through the protocol: mates played and shown at their distance, analysis
// that waits for "stop" while "isready" is answered, MultiPV lines at every depth, and limits.
TEST(UciSession, StrongSearch) {
  const std::string level = "setoption name Skill Level value ";
  // clang-format off
  const std::vector<std::pair<std::string, std::vector<std::string>>> cases{
      {level + "5\nposition fen 6k1/8/6K1/8/8/8/8/1R6 w - - 0 1\ngo\n",
       {"score mate 1 ", "bestmove b1b8\n"}},
      {level + "8\nposition fen k7/8/1K6/8/8/8/8/7R b - - 0 1\ngo\n",
       {"score mate -1 ", "bestmove a8b8 ponder h1h8\n"}},
      {mateInOne + "go infinite\nponderhit\nisready\nstop\n",
       {"readyok\n", "bestmove a1a8\n"}},
      {mateInOne + "go infinite\nquit\n",
       {"info depth 1 seldepth 1 multipv 1 score mate 1 nodes ", "bestmove a1a8\n"}},
      {level + "9\n" + mateInOne + "go ponder wtime 1000 btime 1000\nisready\nponderhit\n",
       {"readyok\n", "bestmove a1a8\n"}},
      {"setoption name MultiPV value 3\nposition startpos\ngo depth 6\n",
       {"info depth 5 seldepth", "multipv 3", "info depth 6 seldepth", "multipv 2", "multipv 3",
        "bestmove "}},
      {"position startpos\ngo nodes 5000\n", {"info depth 1 ", "bestmove "}},
      // Levels 1 to 4 keep every line asked for although their deeper iterations narrow the root.
      {"setoption name MultiPV value 10\nposition startpos\ngo\n",
       {"info depth 4 multipv 6 ", "info depth 3 multipv 7 ", "info depth 2 multipv 10 ",
        "bestmove "}},
      {"position startpos\ngo wtime 300 btime 300 winc 0 binc 0\n", {"bestmove "}},
      {level + "11\nposition startpos moves e2e4\ngo movetime 100\n", {"hashfull", "bestmove "}},
      {"position fen 7k/5Q2/6K1/8/8/8/8/8 b - - 0 1\ngo infinite\nstop\n",
       {"info depth 0 score cp 0\n", "bestmove (none)\n"}},
  };
  // clang-format on
  for (const auto& [input, parts] : cases) {
    const auto [out, status] = converse(input);
    EXPECT_TRUE(holdsInOrder(out, parts)) << brief(input) << "\n" << out;
    EXPECT_EQ(status, 0) << brief(input);
  }
}

// A fixed level plays the strong search's own move, also when a script sends every command at
// once: a "go" waits for the search before it.
TEST(UciSession, FixedLevelsPlayTheSearchsMove) {
  std::string input = "setoption name Skill Level value 6\n";
  std::string expected;
  for (const std::vector<std::string>& row : referenceRows("positions.tsv")) {
    const Position p = positionOf(fen(row[0]));
    if (irregularity(p) || !hasLegalMove(p)) continue;
    StrongSearch search(levelHashMegabytes);
    SearchControl control;
    const PackedMove best = search.run(GameRecord(p), levelLimits(6), control).best;
    input += "position fen " + row[0] + "\ngo\n";
    expected += niceShowMove(unpackMove(best)) + "\n";
  }
  std::string played;
  std::istringstream lines(converse(input).first);
  for (std::string line; std::getline(lines, line);) {
    if (line.starts_with("bestmove ")) played += line.substr(9, line.find(' ', 9) - 9) + "\n";
  }
  EXPECT_EQ(played, expected);
}

// On every reference position, the move and the root list of `quenlor-tool best`.
TEST(UciSession, ReferencePositions) {
  UciSession session;
  for (const std::vector<std::string>& row : referenceRows("positions.tsv")) {
    std::ostringstream out;
    EXPECT_TRUE(session.handleLine("position fen " + row[0], out));
    EXPECT_TRUE(session.handleLine("go", out));
    const std::string none = row[1] == "none" ? "info string no legal move: " : "info depth 4 ";
    const std::string expected = "info string root" + (row[2].empty() ? "" : " " + row[2]) +
                                 "\nbestmove " + (row[1] == "none" ? "(none)" : row[1]) + "\n";
    EXPECT_TRUE(out.str().ends_with(expected)) << row[0] << "\n" << out.str();
    EXPECT_NE(out.str().find(none), std::string::npos) << row[0] << "\n" << out.str();
  }
}

// The move words of the lines starting with `prefix`, in order.
std::vector<std::string> wordsAfter(const std::string& text, const std::string& prefix) {
  std::vector<std::string> words;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    if (line.starts_with(prefix)) words.push_back(line.substr(prefix.size()));
    if (line.starts_with("telluser")) words.push_back("(none)");
  }
  return words;
}

// Along each reference game, "position startpos moves ..." and "go" answer as the xboard
// program did at every move.
TEST(UciSession, ReferenceGames) {
  for (int game = 1; game <= 5; ++game) {
    const auto base = sharedDir() / "reference" / "games" / ("game" + std::to_string(game));
    const std::vector<std::string> opponent =
        wordsAfter(readFile(base.string() + ".in"), "usermove ");
    const std::vector<std::string> replies = wordsAfter(readFile(base.string() + ".out"), "move ");
    ASSERT_EQ(opponent.size(), replies.size()) << game;
    UciSession session;
    std::string moves;
    for (std::size_t i = 0; i < opponent.size(); ++i) {
      moves += " " + opponent[i];
      std::ostringstream out;
      session.handleLine("position startpos moves" + moves, out);
      session.handleLine("go", out);
      EXPECT_EQ(lastLine(out.str()), "bestmove " + replies[i]) << "game " << game << moves;
      EXPECT_EQ(out.str().find("illegal"), std::string::npos) << out.str();
      if (replies[i] != "(none)") moves += " " + replies[i];
    }
  }
}

// Input that is no protocol: long lines of every kind, bytes that are not text, a last line
// without its newline. The program answers what follows and ends with status 0.
TEST(UciSession, HostileInput) {
  const std::size_t mb8 = 8U << 20U;
  // A long list of legal moves (200000 plies, within the line limit) is played in one pass, and
  // an illegal one ends it: the answers are those of the position reached.
  for (const auto& [unit, reached] : std::vector<std::pair<std::string, std::string>>{
           {"g1f3 g8f6 f3g1 f6g8 ", ""}, {"e2e4 e7e5 ", " moves e2e4 e7e5"}}) {
    std::string line = "position startpos moves ";
    while (line.size() + unit.size() <= uciLineLimit) line += unit;
    const auto [out, status] = converse(line + "\ngo depth 2\n");
    EXPECT_EQ(lastLine(out),
              lastLine(converse("position startpos" + reached + "\ngo depth 2\n").first));
    EXPECT_EQ(status, 0);
  }
  // The program refuses lines over the limit unread; a session handed one whole, as the
  // browser's worker is, reads it like any other line.
  const std::string refused = "info string line longer than 1048576 bytes ignored\n";
  for (const std::string& line :
       {std::string(64U << 20U, 'x'), std::string(mb8, ' '), "go " + std::string(mb8, '9'),
        std::string(mb8, '\0') + "\xff", "setoption name " + std::string(mb8, 'a'),
        std::string(uciLineLimit + 1, 'x'), std::string(uciLineLimit, 'x') + "\r"}) {
    EXPECT_EQ(converse(line + "\nisready\n"), std::pair(refused + "readyok\n", 0)) << brief(line);
    UciSession session;
    std::ostringstream out;
    EXPECT_TRUE(session.handleLine(line, out) && session.handleLine("isready", out));
    EXPECT_TRUE(out.str().ends_with("readyok\n")) << brief(out.str());
  }
  const std::string longest(uciLineLimit, 'x');
  EXPECT_EQ(converse(longest + "\n").first,
            "info string unknown command " + quoteInput(longest) + " ignored\n");
}

// The built program: end of input ends it with status 0, and it answers --help and --version.
TEST(UciBinary, ExitStatusAndCommandLine) {
  const RunResult game = runProgram(QUENLOR_UCI_BINARY, "uci\nposition startpos moves e2e4\ngo\n");
  EXPECT_TRUE(game.out.ends_with("\nbestmove e7e6\n")) << game.out;
  EXPECT_EQ(game.err, "");
  EXPECT_EQ(game.status, 0);
  for (const auto& [args, start] : std::vector<std::pair<std::string, std::string>>{
           {"--help", "Usage: quenlor-uci "}, {"--version", "quenlor-uci " QUENLOR_VERSION "\n"}}) {
    const RunResult r = runProgram(QUENLOR_UCI_BINARY, "uci\n", args);
    EXPECT_EQ(r.out.rfind(start, 0), 0U) << args << ": " << r.out;
    EXPECT_EQ(r.err, "") << args;
    EXPECT_EQ(r.status, 0) << args;
  }
}

}  // namespace
}  // namespace quenlor
