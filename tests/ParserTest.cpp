// Tests of the move-notation parser: squares, piece letters and moves, the `$$`
// operation with its two fatal messages, the string literals of "Parse error: " messages with
// every escape rule, and `openWith` with its off-board check.

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "Basics.h"
#include "Parser.h"
#include "TestSupport.h"

namespace quenlor {
namespace {

using namespace test;

constexpr std::int32_t int32Min = std::numeric_limits<std::int32_t>::min();

//=== Squares, piece letters and moves ===//

TEST(Parser, ParseLocationReadsRowNineMinusRankAndColumnLetterMinus96) {
  using R = Result<Location>;
  // clang-format off
  expectSingles(parseLocation(), {
      {"e2",          R{{7, 5}, ""}},
      {"a8",          R{{1, 1}, ""}},
      {"h1",          R{{8, 8}, ""}},
      {"e2e4",        R{{7, 5}, "e4"}},
      {"a10",         R{{-1, 1}, ""}},
      {"i9",          R{{0, 9}, ""}},
      {"a0",          R{{9, 1}, ""}},
      {"z1",          R{{8, 26}, ""}},
      {"a007",        R{{2, 1}, ""}},
      {"b3 ",         R{{6, 2}, " "}},
      // 9 − n wraps around in 32 bits.
      {"a2147483648", R{{int32Min + 9, 1}, ""}},
      {"a2147483657", R{{int32Min, 1}, ""}},
      // Only a–z as the letter, no space, at least one digit.
      {"A1",          std::nullopt},
      {"`1",          std::nullopt},
      {"{1",          std::nullopt},
      {"\xe9" "1",    std::nullopt},
      {"a 1",         std::nullopt},
      {" a1",         std::nullopt},
      {"a-1",         std::nullopt},
      {"a",           std::nullopt},
      {"1a",          std::nullopt},
      {"",            std::nullopt},
  });
  // clang-format on
}

TEST(Parser, PieceLettersInEitherCase) {
  using R = Result<PieceType>;
  // The value is the given type, whatever the letter.
  for (const char letter : {'x', 'X'}) {
    expectSingles(tryPiece(letter, PieceType::Bishop), {{"x", R{PieceType::Bishop, ""}},
                                                        {"X", R{PieceType::Bishop, ""}},
                                                        {"xX", R{PieceType::Bishop, "X"}},
                                                        {"r", std::nullopt},
                                                        {" x", std::nullopt},
                                                        {"", std::nullopt}});
  }
  const std::string letters = "qrnbkp";
  const std::array<PieceType, 6> types{PieceType::Queen,  PieceType::Rook, PieceType::Knight,
                                       PieceType::Bishop, PieceType::King, PieceType::Pawn};
  for (std::size_t i = 0; i < letters.size(); ++i) {
    const char lower = letters[i];
    const char upper = static_cast<char>(lower - 32);
    // One letter only: the first that accepts the next character gives the result.
    expectSingles(parsePieceType(), {{std::string{lower}, R{types[i], ""}},
                                     {std::string{upper}, R{types[i], ""}},
                                     {std::string{lower, 'q'}, R{types[i], "q"}},
                                     {std::string{upper, 'p'}, R{types[i], "p"}}});
  }
  for (const char* text : {"x", "a", "=q", " q", "", "\xf1"}) {
    EXPECT_FALSE(single(parsePieceType(), text)) << brief(text);
  }
}

TEST(Parser, ParseMoveReadsTwoSquaresAndAnOptionalPieceLetter) {
  using R = Result<Move>;
  // clang-format off
  expectSingles(parseMove(), {
      {"e2e4",    R{MovePiece({7, 5}, {5, 5}), ""}},
      {"a1h8",    R{MovePiece({8, 1}, {1, 8}), ""}},
      {"e7e8q",   R{PromotePawn({2, 5}, {1, 5}, PieceType::Queen), ""}},
      {"b2b1R",   R{PromotePawn({7, 2}, {8, 2}, PieceType::Rook), ""}},
      {"e2e4k",   R{PromotePawn({7, 5}, {5, 5}, PieceType::King), ""}},
      // Text after the move is left alone.
      {"e2e4 ",   R{MovePiece({7, 5}, {5, 5}), " "}},
      {"e7e8=q",  R{MovePiece({2, 5}, {1, 5}), "=q"}},
      {"e7e8qq",  R{PromotePawn({2, 5}, {1, 5}, PieceType::Queen), "q"}},
      // No range check.
      {"i9a0",    R{MovePiece({0, 9}, {9, 1}), ""}},
      {"a10b1",   R{MovePiece({-1, 1}, {8, 2}), ""}},
      {"e7e9q",   R{PromotePawn({2, 5}, {0, 5}, PieceType::Queen), ""}},
      {"e2 e4",   std::nullopt},
      {"E2E4",    std::nullopt},
      {"e2E4",    std::nullopt},
      {"e2",      std::nullopt},
      {"e2e",     std::nullopt},
      {" e2e4",   std::nullopt},
      {"",        std::nullopt},
  });
  // clang-format on
}

//=== Running a parser over a whole text ===//

TEST(Parser, ParseWholeReturnsTheSingleCompleteResult) {
  EXPECT_EQ(parseWhole(parseMove(), "e2e4"), MovePiece({7, 5}, {5, 5}));
  EXPECT_EQ(parseWhole(parseMove(), "e7e8n"), PromotePawn({2, 5}, {1, 5}, PieceType::Knight));
  EXPECT_EQ(parseWhole(parseLocation(), "a10"), (Location{-1, 1}));
  EXPECT_EQ(parseWhole(intP(), "-12"), -12);
  EXPECT_EQ(parseWhole(parsePieceType(), "K"), PieceType::King);
}

TEST(Parser, ParseWholeStopsWhenNothingParsesOrWithTheResultsList) {
  struct Case {
    std::function<void()> run;
    std::string message;
  };
  const std::string none = "Couldn't parse any of the input";
  // clang-format off
  const std::vector<Case> cases{
      {[] { (void)parseWhole(parseMove(), "E2E4"); },                   none},
      {[] { (void)parseWhole(parseMove(), ""); },                       none},
      {[] { (void)parseWhole(parseMove(), "e2 e4"); },                  none},
      {[] { (void)parseWhole(mzero<std::int32_t>(), "x"); },            none},
      // Text left over: the results list with the display forms and the rest as a literal.
      {[] { (void)parseWhole(parseMove(), "e2e4 "); },
       R"(Parse error: [(MovePiece (7,5) (5,5)," ")])"},
      {[] { (void)parseWhole(parseMove(), "e7e8qx"); },
       R"(Parse error: [(PromotePawn (2,5) (1,5) Queen,"x")])"},
      {[] { (void)parseWhole(parseMove(), "a10b1\t"); },
       R"(Parse error: [(MovePiece (-1,1) (8,2),"\t")])"},
      {[] { (void)parseWhole(parseLocation(), "a10x"); },
       R"(Parse error: [((-1,1),"x")])"},
      {[] { (void)parseWhole(parsePieceType(), "qq"); },
       R"(Parse error: [(Queen,"q")])"},
      {[] { (void)parseWhole(intP(), "-12x"); },
       R"(Parse error: [(-12,"x")])"},
      // Several results: an error even when every one of them is complete.
      {[] { (void)parseWhole(mplus(parseMove(), parseMove()), "e2e4"); },
       R"(Parse error: [(MovePiece (7,5) (5,5),""),(MovePiece (7,5) (5,5),"")])"},
      {[] { (void)parseWhole(mplus(nat(), returnP(0)), "12"); },
       R"(Parse error: [(12,""),(0,"12")])"},
      {[] { (void)parseWhole(mplus(returnP(1), nat()), "7"); },
       R"(Parse error: [(1,"7"),(7,"")])"},
  };
  // clang-format on
  for (const Case& c : cases) EXPECT_EQ(fatalMessage(c.run), c.message);
}

//=== String literals ===//

// clang-format off
const std::array<const char*, 32> controlNames{
    "NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "a",   "b",   "t",   "n",
    "v",   "f",   "r",   "SO",  "SI",  "DLE", "DC1", "DC2", "DC3", "DC4", "NAK",
    "SYN", "ETB", "CAN", "EM",  "SUB", "ESC", "FS",  "GS",  "RS",  "US"};
// clang-format on

TEST(Parser, ShowStringLiteralSpellsEveryByte) {
  for (int b = 0; b < 256; ++b) {
    const char c = static_cast<char>(b);
    std::string spelled(1, c);
    if (b < 32) spelled = std::string("\\") + controlNames[static_cast<std::size_t>(b)];
    if (b == 127) spelled = "\\DEL";
    if (b > 127) spelled = "\\" + std::to_string(b);
    if (c == '"' || c == '\\') spelled = std::string("\\") + c;
    EXPECT_EQ(showStringLiteral(std::string(1, c)), "\"" + spelled + "\"") << b;
  }
  EXPECT_EQ(showStringLiteral(""), R"("")");
  EXPECT_EQ(showStringLiteral("a\"b\\c'd"), R"("a\"b\\c'd")");
  EXPECT_EQ(showStringLiteral(std::string("a\0b", 3)), R"("a\NULb")");
}

TEST(Parser, ShowStringLiteralSeparatesEscapesThatAFollowingCharacterWouldExtend) {
  // No separator after a named escape before a digit: \NUL1 and \ESC9 are unambiguous.
  for (int b = 0; b < 32; ++b) {
    EXPECT_EQ(showStringLiteral(std::string{static_cast<char>(b), '1'}),
              std::string("\"\\") + controlNames[static_cast<std::size_t>(b)] + "1\"")
        << b;
  }
  // clang-format off
  const std::vector<std::pair<std::string, std::string>> cases{
      {"\x7f" "1",          R"("\DEL1")"},
      {"\xe9" "1",          R"("\233\&1")"},
      {"\xe9" "0",          R"("\233\&0")"},
      {"\xe9" "9x",         R"("\233\&9x")"},
      {"\xe9" " 1",         R"("\233 1")"},
      {"\xe9" "a",          R"("\233a")"},
      {"\xe9\x80",          R"("\233\128")"},
      {"\xe9\xe9" "1",      R"("\233\233\&1")"},
      {"\xff" "12",         R"("\255\&12")"},
      {"\xa0" "5",          R"("\160\&5")"},
      {"9\xe9",             R"("9\233")"},
      {"\x0e" "H",          R"("\SO\&H")"},
      {"\x0e" "HH",         R"("\SO\&HH")"},
      {"\x0e" "h",          R"("\SOh")"},
      {"\x0e" "I",          R"("\SOI")"},
      {"\x0e" "xH",         R"("\SOxH")"},
      {"\x0e\x01",          R"("\SO\SOH")"},
      {"\x01" "H",          R"("\SOHH")"},
      {"\x0e\x0e" "H",      R"("\SO\SO\&H")"},
      {"\xe9" "H",          R"("\233H")"},
      {"\xe9\"",            R"("\233\"")"},
      {"\x0e\\",            R"("\SO\\")"},
      {"\r\n",              R"("\r\n")"},
  };
  // clang-format on
  for (const auto& [text, literal] : cases) {
    EXPECT_EQ(showStringLiteral(text), literal) << brief(text);
  }
}

// Reads a literal back by the escape rules it was written with: the longest escape name, the
// longest run of decimal digits, "\&" as nothing. Nothing when the literal is malformed.
std::optional<std::string> readLiteral(const std::string& literal) {
  if (literal.size() < 2 || literal.front() != '"' || literal.back() != '"') return std::nullopt;
  std::string out;
  const std::size_t end = literal.size() - 1;
  for (std::size_t i = 1; i < end;) {
    const char c = literal[i++];
    if (c == '"') return std::nullopt;
    if (c != '\\') {
      out += c;
      continue;
    }
    if (i >= end) return std::nullopt;
    const char e = literal[i];
    if (e == '&' || e == '"' || e == '\\') {
      if (e != '&') out += e;
      ++i;
    } else if (e >= '0' && e <= '9') {
      int value = 0;
      for (; i < end && literal[i] >= '0' && literal[i] <= '9'; ++i) {
        value = value * 10 + (literal[i] - '0');
        if (value > 255) return std::nullopt;
      }
      out += static_cast<char>(value);
    } else {
      std::string best;
      int code = 0;
      for (int b = 0; b <= 32; ++b) {
        const std::string name = b < 32 ? controlNames[static_cast<std::size_t>(b)] : "DEL";
        if (name.size() > best.size() && literal.compare(i, name.size(), name) == 0) {
          best = name;
          code = b < 32 ? b : 127;
        }
      }
      if (best.empty()) return std::nullopt;
      out += static_cast<char>(code);
      i += best.size();
    }
  }
  return out;
}

TEST(Parser, ShowStringLiteralReadsBackToTheSameBytes) {
  // Random texts over an alphabet rich in the characters that could make escapes ambiguous.
  std::string alphabet = "0123456789HOSNUL\"\\&a \x0e\x01\x0f\x7f\x80\xa0\xe9\xff\n\r\t";
  alphabet += '\0';
  std::mt19937 random(5);
  std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
  std::uniform_int_distribution<int> length(0, 12);
  for (int n = 0; n < 20000; ++n) {
    std::string text;
    for (int i = length(random); i > 0; --i) text += alphabet[pick(random)];
    EXPECT_EQ(readLiteral(showStringLiteral(text)), text) << brief(text);
  }
  std::string all;
  for (int b = 255; b >= 0; --b) all += static_cast<char>(b);
  EXPECT_EQ(readLiteral(showStringLiteral(all + all)), all + all);
}

//=== Replaying a game ===//

TEST(Parser, OpenWithReplaysMoveWordsSplitAtAnyRunOfWhiteSpace) {
  const State expected = makeMove(makeMove(newGame(), mv("g1f3")), mv("g8f6"));
  for (const char* text :
       {"g1f3 g8f6", "  g1f3\t\n g8f6  ", "\r\ng1f3\v\fg8f6\n", "g1f3\xa0g8f6\xa0"}) {
    const State state = openWith(text);
    EXPECT_EQ(state.reversedHistory.toVector(), (std::vector<Move>{mv("g8f6"), mv("g1f3")}))
        << brief(text);
    EXPECT_EQ(state.moveNum, 3);
    EXPECT_EQ(state.turn, Colour::White);
    EXPECT_EQ(state.getBoard, expected.getBoard);
    EXPECT_EQ(state.castleStatus, expected.castleStatus);
  }
  for (const char* text : {"", " \t\n"}) {
    EXPECT_EQ(niceShowState(openWith(text)), niceShowState(newGame())) << brief(text);
  }
}

TEST(Parser, OpenWithChecksEveryWordBeforeApplyingAnyMove) {
  // clang-format off
  const std::vector<std::pair<std::string, std::string>> cases{
      {"e2e4 xx",         "Couldn't parse any of the input"},
      {"e2e4 e7e5x",      R"(Parse error: [(MovePiece (2,5) (4,5),"x")])"},
      {"e2e4,e7e5",       R"(Parse error: [(MovePiece (7,5) (5,5),",e7e5")])"},
      {"e2e4 e7e5 a1a9",  "Move off the board: a1a9"},
      {"i9a0",            "Move off the board: i9a0"},
      {"e7e9q",           "Move off the board: e7e9q"},
      {"a0a1",            "Move off the board: a0a1"},
      {"a10a1",           "Move off the board: a10a1"},
      {"e2e4 z1a1",       "Move off the board: z1a1"},
      {"a2147483648a1",   "Move off the board: a-2147483648a1"},
      // e4e5 moves from an empty square; applied first it would stop with another message.
      {"e4e5 xx",         "Couldn't parse any of the input"},
      {"e4e5 a1a9",       "Move off the board: a1a9"},
      {"e4e5 e2e4 i9a0",  "Move off the board: i9a0"},
      // Squares on the board pass the check; the move then fails in makeMove.
      {"e4e5",            "getPieceFromSquare called on empty square"},
  };
  // clang-format on
  for (const auto& [text, message] : cases) {
    EXPECT_EQ(fatalMessage([&] { (void)openWith(text); }), message) << text;
  }
}

TEST(Parser, MoveOnBoardChecksBothSquares) {
  EXPECT_TRUE(moveOnBoard(MovePiece({1, 1}, {8, 8})));
  EXPECT_TRUE(moveOnBoard(PromotePawn({2, 1}, {1, 1}, PieceType::Queen)));
  for (const Location off : offBoard) {
    EXPECT_FALSE(moveOnBoard(MovePiece(off, {1, 1})));
    EXPECT_FALSE(moveOnBoard(MovePiece({1, 1}, off)));
    EXPECT_FALSE(moveOnBoard(PromotePawn({2, 1}, off, PieceType::Queen)));
  }
  EXPECT_NO_THROW(requireMoveOnBoard(MovePiece({7, 5}, {5, 5})));
  EXPECT_EQ(fatalMessage([] {
              requireMoveOnBoard(MovePiece({8, 1}, {0, 1}));
            }),
            "Move off the board: a1a9");
}

}  // namespace
}  // namespace quenlor
