// Tests of FEN both ways: every reference and bench position read and written back.

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "Fen.h"
#include "TestSupport.h"

namespace quenlor {
namespace {

using namespace test;

// The writer gives back the first four fields as read. The reader keeps neither the halfmove
// clock nor the move number, so a state read from any FEN is written with "0 1".
TEST(Fen, ReferenceAndBenchPositionsReadAndWriteBackTheSame) {
  std::vector<std::string> fens;
  for (const std::vector<std::string>& row : referenceRows("positions.tsv")) fens.push_back(row[0]);
  std::ifstream bench(std::string(QUENLOR_SOURCE_DIR) + "/bench/positions-1000.fen");
  for (std::string line; std::getline(bench, line);) fens.push_back(line);
  ASSERT_EQ(fens.size(), 160U + 1000U);
  for (const std::string& text : fens) {
    std::istringstream fields(text);
    std::string placement, side, rights, enPassant;
    fields >> placement >> side >> rights >> enPassant;
    EXPECT_EQ(fenFromState(fen(text)),
              placement + " " + side + " " + rights + " " + enPassant + " 0 1");
  }
}

}  // namespace
}  // namespace quenlor
