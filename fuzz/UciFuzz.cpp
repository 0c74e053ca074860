// Fuzz target: a UCI session fed a sequence of lines decoded from the input: the handshake,
// games of legal moves from the start (sometimes ending in an illegal or unreadable move),
// random FENs (kingless, extra kings, pawns on the last rows, the side that just moved in check),
// "go" with every kind of parameter, held answers and "stop", options, garbage and very long
// words. No line may stop the session with a fatal error, every reply is a whole line of a known
// kind, "isready" is answered with "readyok" alone, every "go" gets exactly one "bestmove", and
// where the position is known the move is the one the engine's own search picks there.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <sstream>
#include <string>

#include "AI.h"
#include "Basics.h"
#include "Fen.h"
#include "FuzzSupport.h"
#include "Parser.h"
#include "Rules.h"
#include "UciInterface.h"
#include "UciMain.h"

namespace {

using namespace quenlor;
using namespace quenlor::fuzz;

constexpr std::size_t maxLines = 32;
// Full searches are costly; past this many, "go" asks for one iteration only.
constexpr std::size_t maxFullSearches = 2;
// QUENLOR_FUZZ_TRACE=1 shows every line given to the session and every answer.
const bool trace = std::getenv("QUENLOR_FUZZ_TRACE") != nullptr;

// clang-format off
constexpr std::array<const char*, 16> otherLines{
    "uci", "isready", "ucinewgame", "stop", "ponderhit", "debug on", "setoption name Hash value 1",
    "setoption", "position", "position fen", "", " \t ", "register later", "quit", "Quit",
    "joho isready"};
constexpr std::array<const char*, 12> goWords{
    "wtime 1000", "btime -5", "winc 0", "binc 10", "movestogo 3", "nodes 99", "mate 2",
    "movetime 50", "searchmoves e2e4 d2d4", "depth", "x", "depth 99999999999"};
constexpr std::array<char, 13> fenPieces{'K', 'Q', 'R', 'B', 'N', 'P', 'k', 'q', 'r', 'b', 'n', 'p', '1'};
// clang-format on

template <std::size_t N, typename T>
T pick(FuzzedDataProvider& input, const std::array<T, N>& table) {
  return table[input.ConsumeIntegralInRange<std::size_t>(0, N - 1)];
}

class Session {
 public:
  explicit Session(FuzzedDataProvider& input) : input_(input) {}

  void run() {
    for (std::size_t line = 0; line < maxLines && input_.remaining_bytes() > 0; ++line) {
      const std::string text = generateLine();
      if (trace) std::fprintf(stderr, "> %s\n", showStringLiteral(text).c_str());
      std::ostringstream out;
      bool goOn = true;
      try {
        goOn = session_.handleLine(text, out);
      } catch (const FatalError& e) {
        fail(std::string("fatal error on a UCI line: ") + e.what());
      }
      const std::string output = out.str();
      if (trace && !output.empty()) std::fprintf(stderr, "< %s", output.c_str());
      checkReplies(text, output);
      if (!goOn) {
        check(text.find("quit") != std::string::npos, "the session ended without quit");
        return;
      }
    }
  }

 private:
  // A position the fuzzer follows, or nothing after a line that may have changed it unseen.
  std::optional<State> shadow_ = newGame();
  std::size_t expectedBestmoves_ = 0;  // "go" lines so far
  std::size_t bestmoves_ = 0;
  std::size_t fullSearches_ = 0;
  bool held_ = false;         // a bestmove waits for "stop"
  bool pondering_ = false;    // ... held by "go ponder" alone, so "ponderhit" releases it too
  bool noPosition_ = false;   // the last FEN could not be read: every search answers "(none)"
  bool gamePosition_ = true;  // the position comes from a game line, cheap to search in full

  void checkReplies(const std::string& text, const std::string& output) {
    check(output.empty() || output.back() == '\n', "a reply without its newline");
    std::istringstream lines(output);
    std::string lastBestmove;
    for (std::string line; std::getline(lines, line);) {
      const bool known = line == "id name Quenlor" || line == "id author the Quenlor developers" ||
                         line.starts_with("option name ") || line == "uciok" || line == "readyok" ||
                         line.starts_with("info depth ") || line.starts_with("info string ") ||
                         line.starts_with("bestmove ");
      check(known, "a reply of an unknown kind: " + showStringLiteral(line));
      if (line.starts_with("bestmove ")) {
        ++bestmoves_;
        const std::size_t ponder = line.find(" ponder ");
        lastBestmove = line.substr(9, ponder == std::string::npos ? ponder : ponder - 9);
      }
    }
    // Every "go" gets one bestmove: at once, or at the next "stop", "ponderhit", "go" or "quit".
    const UciCommand command = readUciCommand(text);
    const auto* go = std::get_if<GoCommand>(&command);
    if (go != nullptr) {
      ++expectedBestmoves_;
      held_ = go->infinite || go->ponder;
      pondering_ = go->ponder && !go->infinite;
    }
    if (std::holds_alternative<UciStop>(command) || std::holds_alternative<UciQuit>(command) ||
        (std::holds_alternative<PonderHit>(command) && pondering_)) {
      held_ = false;
    }
    check(bestmoves_ + (held_ ? 1 : 0) == expectedBestmoves_,
          std::to_string(bestmoves_) + " bestmoves for " + std::to_string(expectedBestmoves_) +
              " go commands");
    if (text == "isready") check(output == "readyok\n", "isready answered with " + output);
    if (go != nullptr && !held_ && shadow_) checkMove(*shadow_, *go, lastBestmove);
    if (go != nullptr && !held_ && noPosition_) {
      check(lastBestmove == "(none)", "a move without a position: " + lastBestmove);
    }
  }

  // The move must be the one the search picks at the depth asked for (or the level set), among
  // the moves named after "searchmoves", with the variety set; the strong search's, a legal one.
  void checkMove(const State& state, const GoCommand& go, const std::string& played) const {
    if (unsearchableReason(state)) {
      check(played == "(none)", "a move in a position the search cannot take: " + played);
      return;
    }
    if (usesStrongSearch(go, options_)) {
      const MoveList legal = legalMoves(state);
      const bool found = std::any_of(legal.begin(), legal.end(),
                                     [&](const Move& m) { return refMoveText(m) == played; });
      check(legal.empty() ? played == "(none)" : found, "the strong search played " + played);
      return;
    }
    const std::int32_t d = std::clamp(go.depth.value_or(levelOf(options_)), 1, maxSearchDepth);
    const std::optional<std::vector<Move>> rootMoves = searchMovesOf(state, go.searchMoves);
    const ScoredMoveList result = deepeningResult(
        state, d, nullptr, [](std::int32_t, const ScoredMoveList&) {}, rootMoves);
    const std::optional<std::uint64_t> seed =
        options_.variety ? std::optional<std::uint64_t>(options_.varietySeed) : std::nullopt;
    const std::string expected =
        result.empty() ? "(none)" : refMoveText(chooseMove(result, state, d, seed));
    check(played == expected, "played " + played + " where the search picks " + expected);
  }

  // "setoption" with a name and a value, good or bad; the model's options follow.
  std::string optionLine() {
    const std::string name =
        pick(input_, std::array<const char*, 9>{"Skill Level", "skill level", "MultiPV", "Variety",
                                                "Variety Seed", "Hash", "Skill",
                                                "UCI_LimitStrength", "UCI_Elo"});
    std::string value =
        pick(input_, std::array<const char*, 14>{"1", "2", "3", "4", "5", "0", "-3", "true",
                                                 "false", "x", "", "99999999999", "600", "790"});
    if (input_.ConsumeBool()) value = std::to_string(input_.ConsumeIntegral<std::uint16_t>());
    (void)applyOption(SetOption{name, value}, options_);
    return "setoption name " + name + " value " + value;
  }

  std::string generateLine() {
    switch (input_.ConsumeIntegralInRange(0, 9)) {
      case 0:
      case 1:
      case 2: return gameLine();
      case 3:
      case 4: return fenLine();
      case 5: return goLine();
      case 6: return input_.ConsumeBool() ? goLine() : optionLine();
      case 7: {
        const std::string line = pick(input_, otherLines);
        if (line == "ucinewgame") {
          shadow_ = newGame();
          noPosition_ = false;
          gamePosition_ = true;
        } else if (line == "position fen") {
          // An empty FEN cannot be read: no position is left.
          shadow_.reset();
          noPosition_ = true;
        }
        return line;
      }
      case 8: {
        // Garbage may hold a command word; the position is then no longer followed.
        std::string line = input_.ConsumeRandomLengthString(60);
        std::erase(line, '\n');
        if (line.find("position") != std::string::npos ||
            line.find("ucinewgame") != std::string::npos) {
          shadow_.reset();
          noPosition_ = false;
        }
        return line;
      }
      default: {
        const std::size_t length = input_.ConsumeIntegralInRange<std::size_t>(0, 1U << 16U);
        shadow_.reset();
        noPosition_ = false;
        return pick(input_,
                    std::array<const char*, 3>{"", "position startpos moves ", "go depth 1 "}) +
               std::string(length, static_cast<char>(input_.ConsumeIntegral<std::uint8_t>()));
      }
    }
  }

  // "position startpos moves ..." with legal moves, sometimes closed by a bad one.
  std::string gameLine() {
    gamePosition_ = true;
    noPosition_ = false;
    std::string line = "position startpos moves";
    State state = newGame();
    const std::size_t plies = input_.ConsumeIntegralInRange<std::size_t>(0, 40);
    for (std::size_t i = 0; i < plies; ++i) {
      const MoveList legal = legalMoves(state);
      if (legal.empty()) break;
      const Move move = legal[input_.ConsumeIntegralInRange<std::size_t>(0, legal.size() - 1)];
      line += " " + refMoveText(move);
      state = makeMove(state, move);
    }
    if (input_.ConsumeIntegralInRange(0, 3) == 0) {
      line += pick(input_, std::array<const char*, 5>{" e2e4", " a1a1", " e7e8k", " z9", " e2e4q"});
      // The bad move may happen to be legal; then the position is no longer followed.
      shadow_.reset();
      return line;
    }
    shadow_ = state;
    gamePosition_ = true;
    return line;
  }

  // "position fen" with a random placement, side, rights and en-passant square.
  std::string fenLine() {
    std::string placement;
    for (int rank = 0; rank < 8; ++rank) {
      if (rank > 0) placement += '/';
      for (int file = 0; file < 8; ++file) {
        const bool occupied = input_.ConsumeIntegralInRange(0, 3) == 0;
        placement += occupied ? pick(input_, fenPieces) : '1';
      }
    }
    // Kings where the fuzzer puts them, so that most positions can be searched.
    if (input_.ConsumeBool()) {
      placement[static_cast<std::size_t>(input_.ConsumeIntegralInRange(0, 70))] = 'K';
      placement[static_cast<std::size_t>(input_.ConsumeIntegralInRange(0, 70))] = 'k';
    }
    std::string fen = placement + (input_.ConsumeBool() ? " w " : " b ") +
                      pick(input_, std::array<const char*, 4>{"KQkq", "-", "Kq", "Qk"}) + " " +
                      pick(input_, std::array<const char*, 5>{"-", "e3", "d6", "a3", "h6"}) +
                      " 0 1";
    if (input_.ConsumeIntegralInRange(0, 7) == 0) fen = input_.ConsumeRandomLengthString(80);
    std::erase(fen, '\n');
    std::string line = "position fen " + fen;
    gamePosition_ = false;
    // A FEN the reader takes is followed; after the rest there is no position.
    if (fen.find("moves") != std::string::npos) {
      shadow_.reset();
      noPosition_ = false;
    } else if (const std::optional<State> state = stateFromFen(fen)) {
      shadow_ = *state;
      noPosition_ = false;
    } else {
      shadow_.reset();
      noPosition_ = true;
    }
    if (input_.ConsumeIntegralInRange(0, 3) == 0 && shadow_) {
      // One move, legal or not: the position after it is no longer followed.
      line += std::string(" moves ") +
              pick(input_, std::array<const char*, 4>{"e1g1", "a7a8q", "e2e4", "x"});
      shadow_.reset();
    }
    return line;
  }

  std::string goLine() {
    std::string line = "go";
    const std::size_t words = input_.ConsumeIntegralInRange<std::size_t>(0, 4);
    for (std::size_t i = 0; i < words; ++i) line += std::string(" ") + pick(input_, goWords);
    // Full searches of random positions could take long; past the budget, one iteration.
    const bool full = gamePosition_ && fullSearches_ < maxFullSearches && input_.ConsumeBool();
    if (full) {
      ++fullSearches_;
    } else {
      line += " depth " + std::to_string(input_.ConsumeIntegralInRange(-1, 2));
    }
    const int mode = input_.ConsumeIntegralInRange(0, 5);
    if (mode == 0) line += " infinite";
    if (mode == 1) line += " ponder";
    return line;
  }

  FuzzedDataProvider& input_;
  UciSession session_{UciSession::Searching::Inline};
  UciOptions options_;  // as the session's options should be
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  Session session(input);
  session.run();
  return 0;
}
