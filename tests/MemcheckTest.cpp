// The built engine under valgrind's memcheck: the reference games and the fatal stops must give
// exactly the expected output and status with no memory error and no leak. Valgrind's own
// reports go to standard error and turn the exit status into 99, so either shows up here.

#include <gtest/gtest.h>

#include <string>

#include "TestSupport.h"

namespace quenlor::test {
namespace {

RunResult runUnderMemcheck(const std::string& input) {
  return runProgram(
      QUENLOR_VALGRIND, input,
      "-q --error-exitcode=99 --leak-check=full '" + std::string(QUENLOR_BINARY) + "'");
}

class MemcheckGame : public testing::TestWithParam<int> {};

TEST_P(MemcheckGame, PlaysTheReferenceGameWithoutReport) {
  const auto game = sharedDir() / "reference" / "games" / ("game" + std::to_string(GetParam()));
  const RunResult run = runUnderMemcheck(readFile(game.string() + ".in"));
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.status, std::stoi(readFile(game.string() + ".rc")));
  EXPECT_EQ(run.out, readFile(game.string() + ".out"));
}

INSTANTIATE_TEST_SUITE_P(Games, MemcheckGame, testing::Range(1, 6));

// The fatal stops leave through another path than "quit"; they must not leak either.
TEST(Memcheck, FatalStopsWithoutReport) {
  struct Case {
    const char* input;
    const char* out;
    const char* err;
  };
  // clang-format off
  const Case cases[] = {
      {"protover 2\nusermove e2e4\n", "feature time=0 ping=0 usermove=1 myname=\"Quenlor\" reuse=0 done=1\n"
                                      "move e7e6\n", "quenlor: end of input\n"},
      {"quitter\n", "", "quenlor: Parse error: [(Quit,\"ter\")]\n"},
      {"usermove a1a9\n", "", "quenlor: Move off the board: a1a9\n"},
      {"usermove e3e4\n", "", "quenlor: getPieceFromSquare called on empty square\n"},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.input);
    const RunResult run = runUnderMemcheck(c.input);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, c.out);
    EXPECT_EQ(run.err, c.err);
  }
}

}  // namespace
}  // namespace quenlor::test
