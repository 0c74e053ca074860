#include "BenchSuite.h"

#include "AI.h"
#include "Fen.h"

namespace quenlor {

const std::vector<std::string>& benchSuite() {
  // Opening, middlegame and endgame positions with either side to move.
  static const std::vector<std::string> suite{
      "1rb3k1/pp1p1pQp/2nPr2B/8/8/5N2/PP2PPP1/2KR1B2 b - - 0 24",
      "R2k1n2/7r/2PB1p2/6pp/4P3/2PP1P2/P5PP/6K1 b - - 1 38",
      "7k/5Qp1/8/6P1/P7/4P3/5K1P/R2R4 w - - 3 45",
      "2r1kbr1/p2nppp1/bpp2n1p/3p4/3P1BP1/P3PN1P/1PP1NPB1/1R2qRK1 w - - 0 14",
      "4kr2/p3n1pp/3b4/2p1p3/Pr5q/1P3pN1/1B1P2PP/R2Q1RK1 b - - 1 20",
      "k7/p4ppp/5n2/4N3/3R4/1P3P2/6PP/2K5 b - - 4 41",
      "rnb1k1nr/ppppbppp/3q4/3NN3/3PPBP1/7P/PPP1KP2/R2Q1B1R b kq - 4 10",
      "3rnrk1/pQ1p1ppp/8/1Pq1P2n/2B5/5P1P/PP1N1P2/R2KR3 w - - 5 21",
      "1n1r2k1/R4R1p/6p1/3n4/3PpP2/6PB/2P4P/6K1 w - - 0 25",
      "rnb1kbnr/ppp3pp/8/3qp3/P7/2N5/1PP1PPPP/R1B1KBNR w KQkq - 0 6",
      "r4rk1/pp2nppp/2np4/2p1p3/q3P2P/3B2PN/P1PP1P1R/R1BK4 w - - 2 13",
      "2r1r1k1/ppp2ppp/2n5/3p1b2/1b1p1P2/1P1n3P/PR1P3R/2BK4 b - f3 0 19",
      "rnb1k1nr/pppp1ppp/q7/1N2p3/1b6/4P3/PPPPKPPP/R1BQ1BNR w kq - 6 5",
      "rnbq1rk1/pppp1ppp/4pn2/8/Pb6/5N2/1PPPPPPP/RNBQKB1R w KQ - 3 5",
      "rn1qk2r/ppp2ppp/8/2PpP3/P3n2P/1P6/2b2P2/2b1KBNR b Kkq a3 0 12",
      "rnbqk1nr/ppp2ppp/8/8/4p3/N7/PPPBPPPP/R3KBNR b KQkq - 1 7",
      "rnbq1rk1/pp1p1ppp/8/1B6/1b4nP/4Pp1R/PPPP1P2/1RBQK3 w - - 0 10",
      "rnb1k1nr/ppp2ppp/4p3/3p4/3q4/1PQ5/P1P1PPPP/R1B1KB1R b KQkq - 0 7",
      "rnbqkbnr/ppp1pppp/8/3p4/6P1/8/PPPPPP1P/RNBQKBNR w KQkq d6 0 2",
      "r3k1nr/pppb1ppp/2n5/4p3/Pb4P1/2N1pP2/1PPPKq1P/R1BQ1BNR w kq - 3 10",
      "rnb1kbnr/pppp1ppp/8/8/5p1q/5PP1/PPPPP2P/RNBQKB1R b KQkq - 0 4",
      "rnbqkbnr/pppppppp/8/8/8/5P2/PPPPP1PP/RNBQKBNR b KQkq - 0 1",
      "r1bqkbnr/ppp2ppp/2n5/3pp3/8/1PP1P3/PB1P1PPP/RN1QKBNR b KQkq - 0 4",
      "rn2kb1r/ppp1pppp/8/5n2/2pq1P1P/2N3K1/PP1PN3/R1Bb1B1R w kq - 2 11",
      "r2qkbnr/ppp1pppp/2n5/3p1b2/4P3/BP3P2/P1PP2PP/RN1QKBNR b KQkq e3 0 4",
      "rnb1k2r/pppp1ppp/8/5P1q/3p4/8/PPPKP3/R2Q1BNn w kq - 0 12",
      "r1b1k1nr/pppp1ppp/2n1p3/2b5/2P1P2q/PP6/1BQP1PPP/RN2KBNR b KQkq - 2 6",
      "r1b2rk1/pp1p1ppp/n1pbpn2/q7/2PP4/PP5N/3NPPPP/R1BQKB1R w KQ - 3 8",
      "rn1q1rk1/pppbnppp/3p4/4p3/QbP5/N6P/P2PPPP1/R1B1KBNR b KQ - 3 7",
      "r1b1k1nr/ppp2ppp/3q4/4n1b1/8/3P2P1/PpP1PPRP/RN1K1B2 w kq - 0 12",
      "rnbqkb1r/pppp1ppp/8/4P3/4n2P/2P5/PP3PP1/RNBQKBNR w KQkq - 0 6",
      "rnb1kbnr/pp1ppppp/8/8/2B1P3/1P6/q2PNPPP/2BQK2R w Kkq - 0 8",
      "r5kr/1p5p/p2R4/6p1/6P1/5Q1P/5PK1/1q6 w - - 8 51",
      "rnbqkbnr/ppp2ppp/8/3pp3/7P/3P4/PPPNPPP1/R1BQKBNR b KQkq - 1 3",
      "1r3r1k/1p3pp1/4n3/Pb1N3p/7q/1PQ1BR2/2P5/1K4RB b - - 10 37",
      "rk3q2/1p3p2/p1p5/3nBQ1P/P7/2P5/3N1P1P/1R1K1Bn1 b - - 4 24",
      "rnk1q3/pp1bnp2/2p1p3/b2pP3/5P2/2P4Q/PP1P2PP/RNB1KBNR w KQ - 3 12",
      "rnb1k2N/ppppb1pp/4p3/1N6/2B1n3/1PP5/P2P1PPP/q1BQK2R b K - 0 10",
      "rnb1kbnr/ppp2ppp/4p3/3p4/5P1q/2N3PP/PPPPP3/R1BQKBNR b KQkq - 0 4",
      "rn1qk2r/pp1b1ppp/2p1pn2/3p4/1bPP4/4PN1P/PP1N1PP1/R1BQKB1R w KQkq - 3 7",
      "r2qk1nQ/pbppbp1p/1p2p3/4P3/7P/P1N5/1Pn2PP1/R1B1KBNR w KQq - 0 10",
      "4r3/p1rq3k/1pp2bnR/4p1P1/1P2Q3/P1N1PP2/1BPP4/2KR4 b - - 0 25",
      "r1bq1rk1/1p1p1ppp/1pn1p3/4P3/1p1P3P/P7/1BP1N1P1/R2Q1BKR b - - 1 13",
      "2r1kr2/p2qnppp/Pp1bpn2/1Ppp4/Q2P1P1P/2P3P1/1B1N1P2/R3KB1R b KQ - 1 17",
      "2r4k/pq3ppp/8/2p5/3n3P/6P1/4PK2/8 b - - 1 37",
      "rnq1kbnr/pppb2pp/5p2/8/3Q4/6P1/PP2PPBP/RNB1K1NR b KQkq - 0 8",
      "4r2k/1Q4pp/3pNp2/2p2B2/2P4P/2P3P1/q4PK1/2B5 b - - 1 29",
      "2rq1rk1/1p4R1/p1p4p/3pB3/PP6/2P1PQ2/3N1PP1/2R1K3 b - - 2 26",
      "rnbqkbnr/ppp2ppp/4p3/3p4/5P2/8/PPPPP1PP/RNBQKBNR b kq - 1 3",
      "2rr4/6p1/2pB1b2/2R1p3/4k2P/2P1PN2/P4PP1/3R2K1 w - - 1 36",
  };
  return suite;
}

std::uint64_t benchSignature() {
  // FNV-1a over the text of every root list: each move with its score.
  std::uint64_t hash = 14695981039346656037ULL;
  auto fold = [&hash](const std::string& text) {
    for (const char c : text) {
      hash ^= static_cast<unsigned char>(c);
      hash *= 1099511628211ULL;
    }
  };
  for (const std::string& fen : benchSuite()) {
    const std::optional<State> state = stateFromFen(fen);
    if (!state) fatalError("bad FEN in the bench suite: " + fen);
    for (const ScoredMove& entry : deepeningResult(*state)) {
      fold(niceShowMove(entry.move) + ":" + std::to_string(entry.score.value) + " ");
    }
    fold("\n");
  }
  return hash;
}

}  // namespace quenlor
