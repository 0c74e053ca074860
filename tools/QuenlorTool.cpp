// quenlor-tool: developer modes over FEN positions.
//   quenlor-tool perft "<FEN>" <depth> [--divide]   leaf counts of the legal-move tree
//   quenlor-tool best "<FEN>" [<level>]              the engine's move and its root list
//   quenlor-tool best - [<level>]                    one chosen move per FEN read from stdin
//   quenlor-tool times <level>                       reply times over the FENs read from stdin
//   quenlor-tool depth <depth>                       the strong search to a depth over the FENs
//                                                    read from stdin: nodes, time and speed
//   quenlor-tool signature                           the bench signature of the engine
//   quenlor-tool positions <count> <seed>            varied positions from seeded games, as FENs
// Exit status 2 for a bad command line or FEN.

#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <iostream>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "AI.h"
#include "Basics.h"
#include "BenchSuite.h"
#include "Fen.h"
#include "Parser.h"
#include "Perft.h"
#include "Rules.h"
#include "Search.h"

namespace {

using namespace quenlor;

int usage() {
  std::cerr << "usage: quenlor-tool perft \"<FEN>\" <depth> [--divide]\n"
               "       quenlor-tool best \"<FEN>\" | - [<level>]\n"
               "       quenlor-tool times <level>\n"
               "       quenlor-tool depth <depth>\n"
               "       quenlor-tool signature\n"
               "       quenlor-tool positions <count> <seed>\n";
  return 2;
}

std::optional<State> readFen(const std::string& fen) {
  std::string error;
  std::optional<State> state = stateFromFen(fen, &error);
  if (!state) std::cerr << "quenlor-tool: bad FEN " << quoteInput(fen) << ": " << error << "\n";
  return state;
}

int perftMode(const std::vector<std::string>& args) {
  if (args.size() < 2 || args.size() > 3 || (args.size() == 3 && args[2] != "--divide"))
    return usage();
  int depth = 0;
  const auto [end, ec] = std::from_chars(args[1].data(), args[1].data() + args[1].size(), depth);
  if (ec != std::errc() || end != args[1].data() + args[1].size() || depth < 1 || depth > 20) {
    std::cerr << "quenlor-tool: bad depth \"" << args[1] << "\": give a number from 1 to 20\n";
    return 2;
  }
  const std::optional<State> state = readFen(args[0]);
  if (!state) return 2;
  if (args.size() == 3) {
    std::vector<std::pair<std::string, std::uint64_t>> rows;
    std::uint64_t total = 0;
    for (const Move& m : legalMoves(*state)) {
      const std::uint64_t n = perft(makeMove(*state, m), depth - 1);
      rows.emplace_back(niceShowMove(m), n);
      total += n;
    }
    std::sort(rows.begin(), rows.end());
    for (const auto& [text, n] : rows) std::cout << text << ": " << n << "\n";
    std::cout << "\nNodes searched: " << total << "\n";
    return 0;
  }
  std::cout << "Nodes searched: " << perft(*state, depth) << "\n";
  return 0;
}

// A level from 1 to `topLevel`, or nothing.
std::optional<std::int32_t> readLevel(const std::string& text) {
  std::int32_t level = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), level);
  if (error != std::errc() || end != text.data() + text.size() || level < 1 || level > topLevel) {
    std::cerr << "quenlor-tool: the level must be a number from 1 to " << topLevel << "\n";
    return std::nullopt;
  }
  return level;
}

// The strong search's result at a strong level on a position, searched from a fresh start.
SearchResult strongResult(const State& state, std::int32_t level) {
  StrongSearch search(levelHashMegabytes);
  SearchControl control;
  return search.run(GameRecord(positionOf(state)), levelLimits(level), control);
}

// The move the engine plays at `level`, or "none".
std::string bestMoveText(const State& state, std::int32_t level) {
  if (level >= firstStrongLevel) {
    const SearchResult result = strongResult(state, level);
    return result.best == noMove ? "none" : niceShowMove(unpackMove(result.best));
  }
  const ScoredMoveList result = deepeningResult(state, level);
  return result.empty() ? "none" : niceShowMove(result[0].move);
}

int bestMode(const std::vector<std::string>& args) {
  if (args.empty() || args.size() > 2) return usage();
  const std::optional<std::int32_t> level = args.size() == 2 ? readLevel(args[1]) : searchDepth;
  if (!level) return 2;
  if (args[0] == "-") {
    std::string line;
    while (std::getline(std::cin, line)) {
      if (line.empty()) continue;
      const std::optional<State> state = readFen(line);
      if (!state) return 2;
      std::cout << bestMoveText(*state, *level) << "\n";
    }
    return 0;
  }
  const std::optional<State> state = readFen(args[0]);
  if (!state) return 2;
  if (*level >= firstStrongLevel) {
    const SearchResult result = strongResult(*state, *level);
    std::cout << "bestmove " << bestMoveText(*state, *level) << "\n";
    const SearchReport& r = result.report;
    if (!r.lines.empty()) {
      std::cout << "depth " << r.depth << " score " << uciScoreText(r.lines[0].score) << " nodes "
                << r.nodes << " pv";
      for (const PackedMove m : r.lines[0].pv) std::cout << " " << niceShowMove(unpackMove(m));
      std::cout << "\n";
    }
    return 0;
  }
  const ScoredMoveList result = deepeningResult(*state, *level);
  std::cout << "bestmove " << (result.empty() ? "none" : niceShowMove(result[0].move)) << "\n";
  for (const ScoredMove& entry : result) {
    std::cout << niceShowMove(entry.move) << " " << entry.score.value << "\n";
  }
  return 0;
}

// The time of each reply at a level over the FENs read from standard input: the median, the
// 90th percentile and the maximum, in milliseconds.
int timesMode(const std::vector<std::string>& args) {
  if (args.size() != 1) return usage();
  const std::optional<std::int32_t> level = readLevel(args[0]);
  if (!level) return 2;
  std::vector<double> ms;
  for (std::string line; std::getline(std::cin, line);) {
    if (line.empty()) continue;
    const std::optional<State> state = readFen(line);
    if (!state) return 2;
    const auto start = std::chrono::steady_clock::now();
    (void)bestMoveText(*state, *level);
    ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                     .count());
  }
  if (ms.empty()) return usage();
  std::sort(ms.begin(), ms.end());
  std::cout << "level " << *level << " over " << ms.size() << " positions: median "
            << ms[ms.size() / 2] << " ms, 90th percentile " << ms[ms.size() * 9 / 10]
            << " ms, maximum " << ms.back() << " ms\n";
  return 0;
}

// The strong search to a fixed depth from an empty table on every FEN read from standard input:
// the nodes, the time to reach the depth (median and maximum) and the speed over them all.
int depthMode(const std::vector<std::string>& args) {
  if (args.size() != 1) return usage();
  std::int32_t depth = 0;
  const auto [end, ec] = std::from_chars(args[0].data(), args[0].data() + args[0].size(), depth);
  if (ec != std::errc() || end != args[0].data() + args[0].size() || depth < 1 || depth > 60) {
    return usage();
  }
  StrongSearch search;
  SearchControl control;
  SearchLimits limits;
  limits.depth = depth;
  std::uint64_t nodes = 0;
  std::vector<double> ms;
  for (std::string line; std::getline(std::cin, line);) {
    if (line.empty()) continue;
    const std::optional<State> state = readFen(line);
    if (!state) return 2;
    if (irregularity(positionOf(*state))) continue;
    search.clear();
    const auto start = std::chrono::steady_clock::now();
    nodes += search.run(GameRecord(positionOf(*state)), limits, control).report.nodes;
    ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                     .count());
  }
  if (ms.empty()) return usage();
  double total = 0;
  for (const double m : ms) total += m;
  std::sort(ms.begin(), ms.end());
  std::cout << "depth " << depth << " over " << ms.size() << " positions: " << nodes << " nodes in "
            << static_cast<std::int64_t>(total) << " ms, "
            << static_cast<std::int64_t>(static_cast<double>(nodes) / total * 1000.0)
            << " nodes/s; time to depth: median " << ms[ms.size() / 2] << " ms, maximum "
            << ms.back() << " ms\n";
  return 0;
}

// Varied positions for speed comparisons: seeded games from the start position in which each
// side plays the engine's move or, with a probability that differs from game to game, a random
// legal move, so that games drift into lopsided middlegames and endgames. Positions are sampled
// into four groups, filled to fixed shares in the order met: side to move in check, a promotion
// among the legal moves, endgames (at most ten pieces) and the rest (middlegames and openings),
// at most two positions of a group from one game.
int positionsMode(const std::vector<std::string>& args) {
  if (args.size() != 2) return usage();
  std::uint64_t count = 0;
  std::uint64_t seed = 0;
  for (auto [text, value] : {std::pair{&args[0], &count}, std::pair{&args[1], &seed}}) {
    const auto [end, ec] = std::from_chars(text->data(), text->data() + text->size(), *value);
    if (ec != std::errc() || end != text->data() + text->size()) return usage();
  }
  std::uint64_t random = seed * 2862933555777941757ULL + 3037000493ULL;
  auto next = [&random](std::uint64_t bound) {  // xorshift64*, the same on every platform
    random ^= random >> 12U;
    random ^= random << 25U;
    random ^= random >> 27U;
    return ((random * 2685821657736338717ULL) >> 33U) % bound;
  };
  const std::array<std::uint64_t, 4> quota{count * 15 / 100, count / 10, count / 4,
                                           count - count * 15 / 100 - count / 10 - count / 4};
  std::array<std::vector<std::string>, 4> groups;
  std::vector<std::string> seen;
  auto full = [&] {
    for (std::size_t g = 0; g < groups.size(); ++g)
      if (groups[g].size() < quota[g]) return false;
    return true;
  };
  for (int game = 0; game < 5000 && !full(); ++game) {
    State state = newGame();
    const std::uint64_t randomShare = 20 + next(60);  // percent of random moves in this game
    std::array<int, 4> taken{};
    for (int ply = 0; ply < 300; ++ply) {
      const MoveList moves = legalMoves(state);
      if (moves.empty()) break;
      if (ply >= 8 && next(8) == 0) {
        const bool check = inCheck(state, state.turn);
        const bool promotion = std::any_of(moves.begin(), moves.end(), [](const Move& m) {
          return m.kind == MoveKind::PromotePawn;
        });
        const std::size_t pieceCount = findAllPieces(state.getBoard).size();
        const std::size_t group = check ? 0 : promotion ? 1 : pieceCount <= 10 ? 2 : 3;
        const std::string fen = fenFromState(state);
        if (groups[group].size() < quota[group] && taken[group] < 2 &&
            std::find(seen.begin(), seen.end(), fen) == seen.end()) {
          groups[group].push_back(fen);
          ++taken[group];
          seen.push_back(fen);
        }
      }
      const Move move = next(100) < randomShare ? moves[next(moves.size())] : *cpuMove(state);
      state = makeMove(state, move);
    }
  }
  for (const std::vector<std::string>& group : groups)
    for (const std::string& fen : group) std::cout << fen << "\n";
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return usage();
  const std::string mode = argv[1];
  const std::vector<std::string> args(argv + 2, argv + argc);
  try {
    if (mode == "perft") return perftMode(args);
    if (mode == "best") return bestMode(args);
    if (mode == "times") return timesMode(args);
    if (mode == "depth") return depthMode(args);
    if (mode == "positions") return positionsMode(args);
    if (mode == "signature" && args.empty()) {
      std::cout << "signature " << quenlor::benchSignature() << "\n";
      return 0;
    }
  } catch (const quenlor::FatalError& e) {
    std::cerr << "quenlor-tool: " << e.what() << "\n";
    return 1;
  }
  return usage();
}
