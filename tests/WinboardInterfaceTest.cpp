// Tests of the WinBoard command parser: the table of lines with their command and
// remaining text, the consequences of the grammar, the display forms, and the "Parse error: "
// messages that `$$` builds from them.

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "WinboardInterface.h"

namespace quenlor {
namespace {

std::string fatalMessage(const std::function<void()>& f) {
  try {
    f();
  } catch (const FatalError& e) {
    return e.what();
  }
  ADD_FAILURE() << "no fatal error";
  return "";
}

WinboardCommand userMove(Location from, Location to) {
  return UserMove{MovePiece(from, to)};
}

constexpr std::int32_t int32Min = std::numeric_limits<std::int32_t>::min();

//=== The command grammar ===//

struct LineCase {
  std::string line;
  WinboardCommand command;
  std::string rest;
};

// A text for a failure message: long texts only by their start and length.
std::string brief(const std::string& text) {
  if (text.size() <= 100) return ::testing::PrintToString(text);
  return ::testing::PrintToString(text.substr(0, 60)) + "... (" + std::to_string(text.size()) +
         " bytes)";
}

std::string brief(const WinboardCommand& command) {
  return brief(display(command));
}

// Each line gives exactly one result: the expected command with the expected text left over.
void expectCommands(const std::vector<LineCase>& cases) {
  for (const LineCase& c : cases) {
    const ParseResults<WinboardCommand> results = papply(parseWinboardCommand(), c.line);
    ASSERT_EQ(results.size(), 1U) << brief(c.line);
    EXPECT_TRUE(results.front().first == c.command)
        << brief(c.line) << " gave " << brief(results.front().first) << ", expected "
        << brief(c.command);
    EXPECT_TRUE(results.front().second == c.rest)
        << brief(c.line) << " left " << brief(std::string(results.front().second)) << ", expected "
        << brief(c.rest);
  }
}

TEST(WinboardInterface, CommandTable) {
  // clang-format off
  expectCommands({
      {"usermove e2e4",   userMove({7, 5}, {5, 5}),                                   ""},
      {"usermove  e7e8q", UserMove{PromotePawn({2, 5}, {1, 5}, PieceType::Queen)},    ""},
      {"usermovee2e4",    userMove({7, 5}, {5, 5}),                                   ""},
      {"usermove e2e4 ",  userMove({7, 5}, {5, 5}),                                   " "},
      {"usermove E2E4",   Unknown{"usermove E2E4"},                                   ""},
      {"protover 2",      Protover{2},                                                ""},
      {"protover -1",     Protover{-1},                                               ""},
      {"protover",        Unknown{"protover"},                                        ""},
      {"protover 2 x",    Protover{2},                                                "x"},
      {"quit",            Quit{},                                                     ""},
      {"quit # bye",      Quit{},                                                     ""},
      {"quitter",         Quit{},                                                     "ter"},
      {"xboard",          Unknown{"xboard"},                                          ""},
      {"",                Unknown{""},                                                ""},
  });
  // clang-format on
}

TEST(WinboardInterface, KeywordsAreCaseSensitivePrefixesInTheFirstColumn) {
  // clang-format off
  expectCommands({
      {"Quit",              Unknown{"Quit"},                  ""},
      {" quit",             Unknown{" quit"},                 ""},
      {"QUIT",              Unknown{"QUIT"},                  ""},
      {"\tusermove e2e4",   Unknown{"\tusermove e2e4"},       ""},
      {"Usermove e2e4",     Unknown{"Usermove e2e4"},         ""},
      {"Protover 2",        Unknown{"Protover 2"},            ""},
      {"qui",               Unknown{"qui"},                   ""},
      {"quit2",             Quit{},                           "2"},
      {"quit\tx",           Quit{},                           "x"},
      {"protover2",         Protover{2},                      ""},
      {"protover2x",        Protover{2},                      "x"},
      {"usermoveg8f6",      userMove({1, 7}, {3, 6}),         ""},
      {"usermove\te2e4",    userMove({7, 5}, {5, 5}),         ""},
      {"usermove\xa0" "e2e4", userMove({7, 5}, {5, 5}),       ""},
      {"usermove \xa0\t e2e4", userMove({7, 5}, {5, 5}),      ""},
  });
  // clang-format on
}

TEST(WinboardInterface, CommentsAreJunkAfterKeywordsAndNumbers) {
  // clang-format off
  expectCommands({
      {"quit # bye",          Quit{},                       ""},
      {"quit -- bye",         Quit{},                       ""},
      {"quit % bye",          Quit{},                       ""},
      {"quit#",               Quit{},                       ""},
      {"quit--x",             Quit{},                       ""},
      {"quit -x",             Quit{},                       "-x"},
      {"quit \xa0",           Quit{},                       ""},
      {"quit \r",             Quit{},                       ""},
      {"protover 2 # x",      Protover{2},                  ""},
      {"protover 2   ",       Protover{2},                  ""},
      {"protover 2\xa0",      Protover{2},                  ""},
      {"protover # 2",        Unknown{"protover # 2"},      ""},
      // The comment swallows the move.
      {"usermove # e2e4",     Unknown{"usermove # e2e4"},   ""},
      {"usermove -- e2e4",    Unknown{"usermove -- e2e4"},  ""},
      // Within one line parsed in process, a newline ends the comment.
      {"usermove % x\ne2e4",  userMove({7, 5}, {5, 5}),     ""},
  });
  // clang-format on
}

TEST(WinboardInterface, NothingAfterTheMoveIsConsumed) {
  // clang-format off
  expectCommands({
      {"usermove e2e4 ",      userMove({7, 5}, {5, 5}),                                 " "},
      {"usermove e2e4#",      userMove({7, 5}, {5, 5}),                                 "#"},
      {"usermove e2e4 # c",   userMove({7, 5}, {5, 5}),                                 " # c"},
      {"usermove e2e4\r",     userMove({7, 5}, {5, 5}),                                 "\r"},
      {"usermove e2e4\xa0",   userMove({7, 5}, {5, 5}),                                 "\xa0"},
      {"usermove e7e8=q",     userMove({2, 5}, {1, 5}),                                 "=q"},
      {"usermove e7e8qq",     UserMove{PromotePawn({2, 5}, {1, 5}, PieceType::Queen)},  "q"},
      {"usermove e2e4k",      UserMove{PromotePawn({7, 5}, {5, 5}, PieceType::King)},   ""},
      // Squares off the board still parse; the main loop refuses them afterwards.
      {"usermove i9a0",       userMove({0, 9}, {9, 1}),                                 ""},
      {"usermove a1a9",       userMove({8, 1}, {0, 1}),                                 ""},
      {"usermove e7e9q",      UserMove{PromotePawn({2, 5}, {0, 5}, PieceType::Queen)},  ""},
      {"usermove a2147483648a1", userMove({int32Min + 9, 1}, {8, 1}),                   ""},
  });
  // clang-format on
}

TEST(WinboardInterface, UnparsableArgumentsFallThroughToUnknown) {
  // clang-format off
  expectCommands({
      {"usermove xyz",       Unknown{"usermove xyz"},      ""},
      {"usermove",           Unknown{"usermove"},          ""},
      {"usermove ",          Unknown{"usermove "},         ""},
      {"usermove e2",        Unknown{"usermove e2"},       ""},
      {"usermove e2 e4",     Unknown{"usermove e2 e4"},    ""},
      {"protover x",         Unknown{"protover x"},        ""},
      {"protover - 1",       Unknown{"protover - 1"},      ""},
      {"protover -",         Unknown{"protover -"},        ""},
      {"protover +2",        Unknown{"protover +2"},       ""},
      {"new",                Unknown{"new"},               ""},
      {"go",                 Unknown{"go"},                ""},
      {"accepted usermove",  Unknown{"accepted usermove"}, ""},
      {"level 40 5 0",       Unknown{"level 40 5 0"},      ""},
      {"result 1-0 {White mates}", Unknown{"result 1-0 {White mates}"}, ""},
      {"\xff\xfe\x80 \x01",  Unknown{"\xff\xfe\x80 \x01"}, ""},
  });
  // clang-format on
  const std::string withNul("x\0board", 7);
  expectCommands({{withNul, Unknown{withNul}, ""}});
  const std::string quitNul("quit\0", 5);
  expectCommands({{quitNul, Quit{}, std::string(1, '\0')}});
}

TEST(WinboardInterface, ProtoverNumbersWrapAroundInThirtyTwoBits) {
  // clang-format off
  expectCommands({
      {"protover 0",                     Protover{0},                       ""},
      {"protover 2147483647",            Protover{2147483647},              ""},
      {"protover 2147483648",            Protover{int32Min},                ""},
      {"protover -2147483648",           Protover{int32Min},                ""},
      {"protover 4294967295",            Protover{-1},                      ""},
      {"protover 4294967298",            Protover{2},                       ""},
      {"protover 99999999999999",        Protover{276447231},               ""},
      {"protover -99999999999999",       Protover{-276447231},              ""},
      {"protover 12345678901234567890",  Protover{-350287150},              ""},
  });
  // clang-format on
  expectCommands({{"protover " + std::string(100000, '9'), Protover{-1}, ""}});
}

TEST(WinboardInterface, EqualityIsStructural) {
  EXPECT_TRUE(userMove({7, 5}, {5, 5}) == userMove({7, 5}, {5, 5}));
  EXPECT_FALSE(userMove({7, 5}, {5, 5}) == userMove({7, 5}, {6, 5}));
  EXPECT_FALSE(WinboardCommand(UserMove{PromotePawn({2, 5}, {1, 5}, PieceType::Queen)}) ==
               WinboardCommand(UserMove{PromotePawn({2, 5}, {1, 5}, PieceType::Rook)}));
  EXPECT_FALSE(WinboardCommand(UserMove{PromotePawn({2, 5}, {1, 5}, PieceType::King)}) ==
               userMove({2, 5}, {1, 5}));
  EXPECT_TRUE(WinboardCommand(Protover{2}) == WinboardCommand(Protover{2}));
  EXPECT_FALSE(WinboardCommand(Protover{2}) == WinboardCommand(Protover{3}));
  EXPECT_TRUE(WinboardCommand(Quit{}) == WinboardCommand(Quit{}));
  EXPECT_TRUE(WinboardCommand(Unknown{"a"}) == WinboardCommand(Unknown{"a"}));
  EXPECT_FALSE(WinboardCommand(Unknown{"a"}) == WinboardCommand(Unknown{"b"}));
  EXPECT_FALSE(WinboardCommand(Unknown{"quit"}) == WinboardCommand(Quit{}));
  EXPECT_FALSE(WinboardCommand(Protover{0}) == WinboardCommand(Unknown{""}));
}

TEST(WinboardInterface, LongLinesAreUnknownOrLeaveTheirRest) {
  std::string bytes(8 << 20, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    bytes[i] = static_cast<char>((i * 197 + 3) % 256);
  }
  expectCommands({{"x" + bytes, Unknown{"x" + bytes}, ""}});
  expectCommands({{"quit" + std::string(8 << 20, ' '), Quit{}, ""}});
  // A comment holding every byte but the newline runs to the end of the line.
  std::string noNewline = bytes;
  for (char& c : noNewline) {
    if (c == '\n') c = '\0';
  }
  expectCommands({{"quit #" + noNewline, Quit{}, ""}});
  expectCommands({{"quitX" + bytes, Quit{}, "X" + bytes}});
}

//=== Display forms ===//

TEST(WinboardInterface, DisplayForms) {
  struct Case {
    WinboardCommand command;
    std::string text;
  };
  // clang-format off
  const std::vector<Case> cases{
      {userMove({7, 5}, {5, 5}),                                  "UserMove (MovePiece (7,5) (5,5))"},
      {UserMove{PromotePawn({2, 5}, {1, 5}, PieceType::Queen)},   "UserMove (PromotePawn (2,5) (1,5) Queen)"},
      {UserMove{PromotePawn({7, 2}, {8, 2}, PieceType::Knight)},  "UserMove (PromotePawn (7,2) (8,2) Knight)"},
      {userMove({0, 9}, {9, 1}),                                  "UserMove (MovePiece (0,9) (9,1))"},
      {userMove({-1, 1}, {8, 2}),                                 "UserMove (MovePiece (-1,1) (8,2))"},
      {Protover{2},                                               "Protover 2"},
      {Protover{0},                                               "Protover 0"},
      {Protover{-1},                                              "Protover (-1)"},
      {Protover{int32Min},                                        "Protover (-2147483648)"},
      {Protover{2147483647},                                      "Protover 2147483647"},
      {Quit{},                                                    "Quit"},
      {Unknown{"xboard"},                                         R"(Unknown "xboard")"},
      {Unknown{""},                                               R"(Unknown "")"},
      {Unknown{"say \"hi\" \\o/"},                                R"(Unknown "say \"hi\" \\o/")"},
      {Unknown{"\t\r\x0e" "H\x1b\x7f\xe9" "1\xa0"},               R"(Unknown "\t\r\SO\&H\ESC\DEL\233\&1\160")"},
  };
  // clang-format on
  for (const Case& c : cases) EXPECT_EQ(display(c.command), c.text);
  EXPECT_EQ(display(WinboardCommand(Unknown{std::string("a\0"
                                                        "1",
                                                        3)})),
            R"(Unknown "a\NUL1")");
}

//=== Parse-error messages ===//

TEST(WinboardInterface, ParseWholeReturnsCompleteCommands) {
  EXPECT_TRUE(parseWhole(parseWinboardCommand(), "usermove e2e4") == userMove({7, 5}, {5, 5}));
  EXPECT_TRUE(parseWhole(parseWinboardCommand(), "quit # bye") == WinboardCommand(Quit{}));
  EXPECT_TRUE(parseWhole(parseWinboardCommand(), "protover -1") == WinboardCommand(Protover{-1}));
  EXPECT_TRUE(parseWhole(parseWinboardCommand(), "") == WinboardCommand(Unknown{""}));
  EXPECT_TRUE(parseWhole(parseWinboardCommand(), "usermove E2E4") ==
              WinboardCommand(Unknown{"usermove E2E4"}));
}

TEST(WinboardInterface, ParseErrorMessagesShowTheResultsList) {
  struct Case {
    std::string line;
    std::string message;
  };
  // clang-format off
  const std::vector<Case> cases{
      {"quitter",              R"(Parse error: [(Quit,"ter")])"},
      {"usermove e2e4 ",       R"(Parse error: [(UserMove (MovePiece (7,5) (5,5))," ")])"},
      {"protover 2 x",         R"(Parse error: [(Protover 2,"x")])"},
      {"protover -1 x",        R"(Parse error: [(Protover (-1),"x")])"},
      {"protover 99999999999999 x", R"(Parse error: [(Protover 276447231,"x")])"},
      {"protover 2147483648x", R"(Parse error: [(Protover (-2147483648),"x")])"},
      {"usermove e7e8qq",      R"(Parse error: [(UserMove (PromotePawn (2,5) (1,5) Queen),"q")])"},
      {"usermove e7e8=q",      R"(Parse error: [(UserMove (MovePiece (2,5) (1,5)),"=q")])"},
      {"usermove a1a9 ",       R"(Parse error: [(UserMove (MovePiece (8,1) (0,1))," ")])"},
      {"usermove e2e4\r",      R"(Parse error: [(UserMove (MovePiece (7,5) (5,5)),"\r")])"},
      {"usermove e2e4 # c",    R"(Parse error: [(UserMove (MovePiece (7,5) (5,5))," # c")])"},
      {"quit \"x\\",           R"(Parse error: [(Quit,"\"x\\")])"},
      {"quit\xe9" "1",         R"(Parse error: [(Quit,"\233\&1")])"},
      {"quit\x0e" "H",         R"(Parse error: [(Quit,"\SO\&H")])"},
      {"quit\x7f\x1f\xff",     R"(Parse error: [(Quit,"\DEL\US\255")])"},
  };
  // clang-format on
  for (const Case& c : cases) {
    EXPECT_EQ(fatalMessage([&] { (void)parseWhole(parseWinboardCommand(), c.line); }), c.message)
        << ::testing::PrintToString(c.line);
  }
  EXPECT_EQ(fatalMessage([] {
              (void)parseWhole(parseWinboardCommand(), std::string("quit\0"
                                                                   "1",
                                                                   6));
            }),
            R"(Parse error: [(Quit,"\NUL1")])");
}

TEST(WinboardInterface, ParseErrorMessagesShowSeveralResultsAndUnknownLines) {
  // The command parser never gives several results; doubled with mplus it does, and the list
  // then shows every result, Unknown lines included.
  const Parser<WinboardCommand> twice = mplus(parseWinboardCommand(), parseWinboardCommand());
  EXPECT_EQ(fatalMessage([&] { (void)parseWhole(twice, "xboard"); }),
            R"(Parse error: [(Unknown "xboard",""),(Unknown "xboard","")])");
  EXPECT_EQ(fatalMessage([&] { (void)parseWhole(twice, "usermove e2e4"); }),
            R"(Parse error: [(UserMove (MovePiece (7,5) (5,5)),""),)"
            R"((UserMove (MovePiece (7,5) (5,5)),"")])");
  const Parser<WinboardCommand> unknownThenQuit = mplus(returnP(WinboardCommand(Unknown{"a\"\xe9"
                                                                                        "9"})),
                                                        parseWinboardCommand());
  EXPECT_EQ(fatalMessage([&] { (void)parseWhole(unknownThenQuit, "quit!"); }),
            R"(Parse error: [(Unknown "a\"\233\&9","quit!"),(Quit,"!")])");
}

}  // namespace
}  // namespace quenlor
