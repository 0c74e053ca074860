// Tests of the WinBoard command parser: the table of lines with their command and
// remaining text, the consequences of the grammar, the display forms, and the "Parse error: "
// messages that `$$` builds from them.

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "WinboardInterface.h"

namespace quenlor {
namespace {

using namespace test;

WinboardCommand userMove(const char* text) {
  return UserMove{mv(text)};
}

constexpr std::int32_t int32Min = std::numeric_limits<std::int32_t>::min();

//=== The command grammar ===//

struct LineCase {
  std::string line;
  WinboardCommand command;
  std::string rest;
};

// Each line gives exactly one result: the expected command with the expected text left over.
void expectCommands(const std::vector<LineCase>& cases) {
  for (const LineCase& c : cases) {
    const ParseResults<WinboardCommand> results = papply(parseWinboardCommand(), c.line);
    ASSERT_EQ(results.size(), 1U) << brief(c.line);
    EXPECT_TRUE(results.front().first == c.command)
        << brief(c.line) << " gave " << brief(display(results.front().first)) << ", expected "
        << brief(display(c.command));
    EXPECT_TRUE(sameText(std::string(results.front().second), c.rest)) << brief(c.line);
  }
}

TEST(WinboardInterface, CommandTable) {
  // clang-format off
  expectCommands({
      {"usermove e2e4",       userMove("e2e4"),              ""},
      {"usermove  e7e8q",     userMove("e7e8q"),             ""},
      {"usermove e2e4k",      userMove("e2e4k"),             ""},
      {"protover 2",          Protover{2},                   ""},
      {"protover -1",         Protover{-1},                  ""},
      {"quit",                Quit{},                        ""},
      // Keywords are case-sensitive prefixes in the first column; junk after them is skipped.
      {"quitter",             Quit{},                        "ter"},
      {"quit2",               Quit{},                        "2"},
      {"quit # bye",          Quit{},                        ""},
      {"quit -x",             Quit{},                        "-x"},
      {"protover2x",          Protover{2},                   "x"},
      {"protover 2 x",        Protover{2},                   "x"},
      {"protover 2 # x",      Protover{2},                   ""},
      {"usermovee2e4",        userMove("e2e4"),              ""},
      {"usermove\xa0" "e2e4", userMove("e2e4"),              ""},
      // Within one line parsed in process, a newline ends the comment.
      {"usermove % x\ne2e4",  userMove("e2e4"),              ""},
      // Nothing after the move is consumed.
      {"usermove e2e4 # c",   userMove("e2e4"),              " # c"},
      {"usermove e2e4\r",     userMove("e2e4"),              "\r"},
      {"usermove e7e8=q",     userMove("e7e8"),              "=q"},
      {"usermove e7e8qq",     userMove("e7e8q"),             "q"},
      // Squares off the board still parse; the main loop refuses them afterwards.
      {"usermove i9a0",       UserMove{MovePiece({0, 9}, {9, 1})},          ""},
      {"usermove a2147483648a1", UserMove{MovePiece({int32Min + 9, 1}, {8, 1})}, ""},
      // The number wraps around in 32 bits.
      {"protover 2147483648",       Protover{int32Min},    ""},
      {"protover -99999999999999",  Protover{-276447231},  ""},
      {"protover " + std::string(100000, '9'), Protover{-1}, ""},
      {std::string("quit\0", 5),    Quit{},                std::string(1, '\0')},
  });
  // clang-format on

  // Every other line is Unknown, whole, however much of it looks like a command.
  for (const std::string line : {"",
                                 "xboard",
                                 "new",
                                 "Quit",
                                 "QUIT",
                                 " quit",
                                 "qui",
                                 "Usermove e2e4",
                                 "Protover 2",
                                 "protover",
                                 "protover x",
                                 "protover - 1",
                                 "protover -",
                                 "protover +2",
                                 "protover # 2",
                                 "usermove",
                                 "usermove ",
                                 "usermove xyz",
                                 "usermove E2E4",
                                 "usermove e2",
                                 "usermove e2 e4",
                                 "usermove # e2e4",
                                 "\tusermove e2e4",
                                 "\xff\xfe\x80 \x01"}) {
    expectCommands({{line, Unknown{line}, ""}});
  }
  const std::string withNul("x\0board", 7);
  expectCommands({{withNul, Unknown{withNul}, ""}});
}

TEST(WinboardInterface, EqualityIsStructural) {
  const std::vector<WinboardCommand> distinct{
      userMove("e2e4"), userMove("e2e3"), userMove("e7e8q"), userMove("e7e8r"), userMove("e7e8k"),
      userMove("e7e8"), Protover{2},      Protover{3},       Protover{0},       Quit{},
      Unknown{"a"},     Unknown{"b"},     Unknown{"quit"},   Unknown{""}};
  for (std::size_t i = 0; i < distinct.size(); ++i) {
    for (std::size_t j = 0; j < distinct.size(); ++j) {
      EXPECT_EQ(distinct[i] == WinboardCommand(distinct[j]), i == j)
          << display(distinct[i]) << " vs " << display(distinct[j]);
    }
  }
}

//=== Display forms ===//

TEST(WinboardInterface, DisplayForms) {
  // clang-format off
  const std::vector<std::pair<WinboardCommand, std::string>> cases{
      {userMove("e2e4"),                           "UserMove (MovePiece (7,5) (5,5))"},
      {userMove("b2b1n"),                          "UserMove (PromotePawn (7,2) (8,2) Knight)"},
      {UserMove{MovePiece({-1, 1}, {8, 2})},       "UserMove (MovePiece (-1,1) (8,2))"},
      {Protover{2},                                "Protover 2"},
      {Protover{0},                                "Protover 0"},
      {Protover{-1},                               "Protover (-1)"},
      {Protover{int32Min},                         "Protover (-2147483648)"},
      {Quit{},                                     "Quit"},
      {Unknown{"xboard"},                          R"(Unknown "xboard")"},
      {Unknown{std::string("\"a\0" "1", 4)},       R"(Unknown "\"a\NUL1")"},
  };
  // clang-format on
  for (const auto& [command, text] : cases) EXPECT_EQ(display(command), text);
}

//=== Parse-error messages ===//

TEST(WinboardInterface, ParseErrorMessagesShowTheResultsList) {
  // clang-format off
  const std::vector<std::pair<std::string, std::string>> cases{
      {"quitter",              R"(Parse error: [(Quit,"ter")])"},
      {"protover -1 x",        R"(Parse error: [(Protover (-1),"x")])"},
      {"usermove e7e8qq",      R"(Parse error: [(UserMove (PromotePawn (2,5) (1,5) Queen),"q")])"},
      {"usermove e2e4\r",      R"(Parse error: [(UserMove (MovePiece (7,5) (5,5)),"\r")])"},
  };
  // clang-format on
  for (const auto& [line, message] : cases) {
    EXPECT_EQ(fatalMessage([&] { (void)parseWhole(parseWinboardCommand(), line); }), message)
        << brief(line);
  }
  // The command parser never gives several results; doubled with mplus it does, and the list
  // then shows every result, Unknown lines included.
  const Parser<WinboardCommand> unknownThenCommand = mplus(returnP(WinboardCommand(Unknown{"a\"\xe9"
                                                                                           "9"})),
                                                           parseWinboardCommand());
  EXPECT_EQ(fatalMessage([&] { (void)parseWhole(unknownThenCommand, "quit!"); }),
            R"(Parse error: [(Unknown "a\"\233\&9","quit!"),(Quit,"!")])");
  EXPECT_EQ(fatalMessage([&] { (void)parseWhole(unknownThenCommand, "usermove e2e4"); }),
            R"(Parse error: [(Unknown "a\"\233\&9","usermove e2e4"),)"
            R"((UserMove (MovePiece (7,5) (5,5)),"")])");
  EXPECT_TRUE(parseWhole(parseWinboardCommand(), "quit # bye") == WinboardCommand(Quit{}));
}

}  // namespace
}  // namespace quenlor
