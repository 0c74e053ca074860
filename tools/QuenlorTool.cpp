// quenlor-tool: developer modes over FEN positions.
//   quenlor-tool perft "<FEN>" <depth> [--divide]   leaf counts of the legal-move tree
//   quenlor-tool best "<FEN>"                        the engine's move and its root list
//   quenlor-tool best -                              one chosen move per FEN read from stdin
//   quenlor-tool signature                           the bench signature of the engine
// Exit status 2 for a bad command line or FEN.

#include <algorithm>
#include <charconv>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

#include "AI.h"
#include "Basics.h"
#include "BenchSuite.h"
#include "Fen.h"
#include "Perft.h"
#include "Rules.h"

namespace {

using namespace quenlor;

int usage() {
  std::cerr << "usage: quenlor-tool perft \"<FEN>\" <depth> [--divide]\n"
               "       quenlor-tool best \"<FEN>\" | -\n"
               "       quenlor-tool signature\n";
  return 2;
}

std::optional<State> readFen(const std::string& fen) {
  std::string error;
  std::optional<State> state = stateFromFen(fen, &error);
  if (!state) std::cerr << "quenlor-tool: bad FEN \"" << fen << "\": " << error << "\n";
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

int bestMode(const std::vector<std::string>& args) {
  if (args.size() != 1) return usage();
  if (args[0] == "-") {
    std::string line;
    while (std::getline(std::cin, line)) {
      if (line.empty()) continue;
      const std::optional<State> state = readFen(line);
      if (!state) return 2;
      const std::optional<Move> move = cpuMove(*state);
      std::cout << (move ? niceShowMove(*move) : "none") << "\n";
    }
    return 0;
  }
  const std::optional<State> state = readFen(args[0]);
  if (!state) return 2;
  const ScoredMoveList result = deepeningResult(*state);
  std::cout << "bestmove " << (result.empty() ? "none" : niceShowMove(result[0].move)) << "\n";
  for (const ScoredMove& entry : result) {
    std::cout << niceShowMove(entry.move) << " " << entry.score.value << "\n";
  }
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
