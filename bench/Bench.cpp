// Benchmarks: the cost of one makeMove, one legalMoves and one evaluatePosition on states, of
// applying a move and listing the legal moves on the search's working form, perft speed (leaves
// per second), and the engine's reply on every position of the bench suite with the calls it
// makes, directly and through a UCI session.
//   ./build/release/quenlor_bench [--benchmark_filter=...]

#include <benchmark/benchmark.h>

#include <sstream>
#include <string>
#include <vector>

#include "AI.h"
#include "BenchSuite.h"
#include "Fen.h"
#include "Perft.h"
#include "Rules.h"
#include "UciMain.h"

namespace {

using namespace quenlor;

State mustParse(const std::string& fen) {
  const std::optional<State> state = stateFromFen(fen);
  if (!state) fatalError("bad FEN in a benchmark: " + fen);
  return *state;
}

const char* const middlegame =
    "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10";

void BM_MakeMove(benchmark::State& bench) {
  const State state = mustParse(middlegame);
  const MoveList moves = legalMoves(state);
  std::size_t i = 0;
  for (auto _ : bench) {
    State next = makeMove(state, moves[i]);
    benchmark::DoNotOptimize(next);
    i = i + 1 == moves.size() ? 0 : i + 1;
  }
  bench.counters["stateBytes"] = static_cast<double>(sizeof(State));
}
BENCHMARK(BM_MakeMove);

void BM_LegalMoves(benchmark::State& bench) {
  const State state = mustParse(middlegame);
  MoveList moves;
  for (auto _ : bench) {
    generateLegalMoves(state, moves);
    benchmark::DoNotOptimize(moves.size());
  }
}
BENCHMARK(BM_LegalMoves);

// The same two steps on the working form the search and perft use.
void BM_ApplyMovePosition(benchmark::State& bench) {
  const Position position = positionOf(mustParse(middlegame));
  PackedMoveList moves;
  generateLegalMoves(position, moves);
  std::size_t i = 0;
  for (auto _ : bench) {
    Position next = position;
    applyMove(next, moves[i]);
    benchmark::DoNotOptimize(next);
    i = i + 1 == moves.size() ? 0 : i + 1;
  }
  bench.counters["positionBytes"] = static_cast<double>(sizeof(Position));
}
BENCHMARK(BM_ApplyMovePosition);

void BM_LegalMovesPosition(benchmark::State& bench) {
  const Position position = positionOf(mustParse(middlegame));
  PackedMoveList moves;
  for (auto _ : bench) {
    generateLegalMoves(position, moves);
    benchmark::DoNotOptimize(moves.size());
  }
}
BENCHMARK(BM_LegalMovesPosition);

// The static evaluation of the position after each legal move of the middlegame in turn.
void BM_EvaluatePosition(benchmark::State& bench) {
  const State state = mustParse(middlegame);
  std::vector<State> children;
  for (const Move& m : legalMoves(state)) children.push_back(makeMove(state, m));
  std::size_t i = 0;
  for (auto _ : bench) {
    benchmark::DoNotOptimize(evaluatePosition(state.turn, children[i]));
    i = i + 1 == children.size() ? 0 : i + 1;
  }
}
BENCHMARK(BM_EvaluatePosition);

void BM_Perft(benchmark::State& bench) {
  static const char* const positions[] = {
      "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
      "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -"};
  const State state = mustParse(positions[bench.range(0)]);
  const int depth = static_cast<int>(bench.range(1));
  std::uint64_t leaves = 0;
  for (auto _ : bench) leaves += perft(state, depth);
  bench.counters["leaves"] =
      benchmark::Counter(static_cast<double>(leaves), benchmark::Counter::kIsRate);
}
// Start position depth 6 (119060324 leaves), the second position depth 5 (193690690).
BENCHMARK(BM_Perft)->Args({0, 6})->Args({1, 5})->Unit(benchmark::kMillisecond)->Iterations(1);

// One reply per suite position, with the calls the search makes per reply.
void BM_CpuMove(benchmark::State& bench) {
  const State state = mustParse(benchSuite()[static_cast<std::size_t>(bench.range(0))]);
  SearchStats stats;
  std::uint64_t replies = 0;
  for (auto _ : bench) {
    SearchStats one;
    benchmark::DoNotOptimize(deepeningResult(state, &one).size());
    stats = one;
    ++replies;
  }
  bench.counters["makeMove"] = static_cast<double>(stats.makeMoveCalls);
  bench.counters["evaluate"] = static_cast<double>(stats.evaluateCalls);
  bench.counters["legalMoves"] = static_cast<double>(stats.legalMovesCalls);
}
BENCHMARK(BM_CpuMove)->DenseRange(0, 49)->Unit(benchmark::kMicrosecond);

// All suite positions one after another.
void BM_CpuMoveSuite(benchmark::State& bench) {
  std::vector<State> states;
  for (const std::string& fen : benchSuite()) states.push_back(mustParse(fen));
  for (auto _ : bench) {
    for (const State& s : states) benchmark::DoNotOptimize(cpuMove(s));
  }
  bench.counters["positions"] = static_cast<double>(states.size());
}
BENCHMARK(BM_CpuMoveSuite)->Unit(benchmark::kMillisecond);

// The same through the UCI front end: a session answering "position fen ..." and "go" for every
// suite position, its replies (info lines, root list, bestmove) written to a string. Beside
// BM_CpuMoveSuite it shows what the protocol adds to a reply.
void BM_UciGoSuite(benchmark::State& bench) {
  std::vector<std::string> positions;
  for (const std::string& fen : benchSuite()) positions.push_back("position fen " + fen);
  UciSession session;
  for (auto _ : bench) {
    std::ostringstream out;
    for (const std::string& position : positions) {
      session.handleLine(position, out);
      session.handleLine("go", out);
    }
    benchmark::DoNotOptimize(out.str().size());
  }
  bench.counters["positions"] = static_cast<double>(positions.size());
}
BENCHMARK(BM_UciGoSuite)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
