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

namespace quenlor {
namespace {

template <typename T>
using Result = std::pair<T, std::string>;

// The single result of p on the input, or nothing; more than one result fails the test.
template <typename T>
std::optional<Result<T>> single(const Parser<T>& p, std::string_view input) {
  const ParseResults<T> all = papply(p, input);
  EXPECT_LE(all.size(), 1U) << ::testing::PrintToString(std::string(input));
  if (all.empty()) return std::nullopt;
  return Result<T>{all.front().first, std::string(all.front().second)};
}

// The message of the fatal error that `f` stops with; fails the test when it returns.
std::string fatalMessage(const std::function<void()>& f) {
  try {
    f();
  } catch (const FatalError& e) {
    return e.what();
  }
  ADD_FAILURE() << "no fatal error";
  return "";
}

constexpr std::int32_t int32Min = std::numeric_limits<std::int32_t>::min();

//=== Squares ===//

TEST(Parser, ParseLocationReadsRowNineMinusRankAndColumnLetterMinus96) {
  struct Case {
    std::string input;
    std::optional<Result<Location>> expected;
  };
  // clang-format off
  const std::vector<Case> cases{
      {"e2",          Result<Location>{{7, 5}, ""}},
      {"a8",          Result<Location>{{1, 1}, ""}},
      {"h1",          Result<Location>{{8, 8}, ""}},
      {"e2e4",        Result<Location>{{7, 5}, "e4"}},
      {"a10",         Result<Location>{{-1, 1}, ""}},
      {"i9",          Result<Location>{{0, 9}, ""}},
      {"a0",          Result<Location>{{9, 1}, ""}},
      {"z1",          Result<Location>{{8, 26}, ""}},
      {"a007",        Result<Location>{{2, 1}, ""}},
      {"b3 ",         Result<Location>{{6, 2}, " "}},
      // 9 − n wraps around in 32 bits.
      {"a2147483648", Result<Location>{{int32Min + 9, 1}, ""}},
      {"a2147483657", Result<Location>{{int32Min, 1}, ""}},
      {"a4294967305", Result<Location>{{0, 1}, ""}},
      {"a4294967304", Result<Location>{{1, 1}, ""}},
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
  };
  // clang-format on
  for (const Case& c : cases) {
    EXPECT_EQ(single(parseLocation(), c.input), c.expected) << ::testing::PrintToString(c.input);
  }
}

//=== Piece letters ===//

TEST(Parser, TryPieceAcceptsItsLetterInEitherCase) {
  for (const char letter : {'q', 'Q'}) {
    const Parser<PieceType> p = tryPiece(letter, PieceType::Queen);
    EXPECT_EQ(single(p, "q"), (Result<PieceType>{PieceType::Queen, ""}));
    EXPECT_EQ(single(p, "Q"), (Result<PieceType>{PieceType::Queen, ""}));
    EXPECT_EQ(single(p, "qQ"), (Result<PieceType>{PieceType::Queen, "Q"}));
    EXPECT_FALSE(single(p, "r"));
    EXPECT_FALSE(single(p, " q"));
    EXPECT_FALSE(single(p, ""));
  }
  // The value is the given type, whatever the letter.
  EXPECT_EQ(single(tryPiece('x', PieceType::Bishop), "X"),
            (Result<PieceType>{PieceType::Bishop, ""}));
}

TEST(Parser, ParsePieceTypeReadsTheSixLettersInEitherCase) {
  struct Case {
    char letter;
    PieceType type;
  };
  // clang-format off
  const std::array<Case, 6> table{{
      {'q', PieceType::Queen}, {'r', PieceType::Rook}, {'n', PieceType::Knight},
      {'b', PieceType::Bishop}, {'k', PieceType::King}, {'p', PieceType::Pawn}}};
  // clang-format on
  for (const Case& c : table) {
    const char upper = static_cast<char>(c.letter - 32);
    EXPECT_EQ(single(parsePieceType(), std::string{c.letter}), (Result<PieceType>{c.type, ""}));
    EXPECT_EQ(single(parsePieceType(), std::string{upper}), (Result<PieceType>{c.type, ""}));
    // One letter only: the first that accepts the next character gives the result.
    EXPECT_EQ(single(parsePieceType(), std::string{c.letter, 'q'}),
              (Result<PieceType>{c.type, "q"}));
    EXPECT_EQ(single(parsePieceType(), std::string{upper, 'p'}), (Result<PieceType>{c.type, "p"}));
  }
  for (const char* text : {"x", "a", "=q", " q", "", "\xf1"}) {
    EXPECT_FALSE(single(parsePieceType(), text)) << text;
  }
}

//=== Moves ===//

TEST(Parser, ParseMoveTable) {
  struct Case {
    std::string input;
    std::optional<Result<Move>> expected;
  };
  const auto movePiece = [](Location from, Location to, const std::string& rest) {
    return std::optional<Result<Move>>(Result<Move>{MovePiece(from, to), rest});
  };
  const auto promote = [](Location from, Location to, PieceType type, const std::string& rest) {
    return std::optional<Result<Move>>(Result<Move>{PromotePawn(from, to, type), rest});
  };
  // clang-format off
  const std::vector<Case> cases{
      {"e2e4",    movePiece({7, 5}, {5, 5}, "")},
      {"e7e8q",   promote({2, 5}, {1, 5}, PieceType::Queen, "")},
      {"e7e8Q",   promote({2, 5}, {1, 5}, PieceType::Queen, "")},
      {"e2e4k",   promote({7, 5}, {5, 5}, PieceType::King, "")},
      {"e2e4p",   promote({7, 5}, {5, 5}, PieceType::Pawn, "")},
      {"b2b1n",   promote({7, 2}, {8, 2}, PieceType::Knight, "")},
      {"b2b1R",   promote({7, 2}, {8, 2}, PieceType::Rook, "")},
      {"b2b1B",   promote({7, 2}, {8, 2}, PieceType::Bishop, "")},
      {"a1h8",    movePiece({8, 1}, {1, 8}, "")},
      {"e2e4 ",   movePiece({7, 5}, {5, 5}, " ")},
      {"e7e8=q",  movePiece({2, 5}, {1, 5}, "=q")},
      {"e7e8qq",  promote({2, 5}, {1, 5}, PieceType::Queen, "q")},
      {"e7e8x",   movePiece({2, 5}, {1, 5}, "x")},
      {"e2e4\r",  movePiece({7, 5}, {5, 5}, "\r")},
      {"i9a0",    movePiece({0, 9}, {9, 1}, "")},
      {"a10b1",   movePiece({-1, 1}, {8, 2}, "")},
      {"a1a9",    movePiece({8, 1}, {0, 1}, "")},
      {"e7e9q",   promote({2, 5}, {0, 5}, PieceType::Queen, "")},
      {"z26a1",   movePiece({-17, 26}, {8, 1}, "")},
      {"e2 e4",   std::nullopt},
      {"E2E4",    std::nullopt},
      {"e2E4",    std::nullopt},
      {"e2",      std::nullopt},
      {"e2e",     std::nullopt},
      {" e2e4",   std::nullopt},
      {"",        std::nullopt},
  };
  // clang-format on
  for (const Case& c : cases) {
    EXPECT_EQ(single(parseMove(), c.input), c.expected) << ::testing::PrintToString(c.input);
  }
}

//=== Running a parser over a whole text ===//

TEST(Parser, ParseWholeReturnsTheSingleCompleteResult) {
  EXPECT_EQ(parseWhole(parseMove(), "e2e4"), MovePiece({7, 5}, {5, 5}));
  EXPECT_EQ(parseWhole(parseMove(), "e7e8n"), PromotePawn({2, 5}, {1, 5}, PieceType::Knight));
  EXPECT_EQ(parseWhole(parseMove(), "i9a0"), MovePiece({0, 9}, {9, 1}));
  EXPECT_EQ(parseWhole(parseLocation(), "a10"), (Location{-1, 1}));
  EXPECT_EQ(parseWhole(intP(), "-12"), -12);
  EXPECT_EQ(parseWhole(parsePieceType(), "K"), PieceType::King);
}

TEST(Parser, ParseWholeStopsWhenNothingParses) {
  for (const char* text : {"E2E4", "", "e2", " e2e4", "e2 e4"}) {
    EXPECT_EQ(fatalMessage([&] { (void)parseWhole(parseMove(), text); }),
              "Couldn't parse any of the input")
        << text;
  }
  EXPECT_EQ(fatalMessage([] { (void)parseWhole(mzero<std::int32_t>(), "x"); }),
            "Couldn't parse any of the input");
  // The message is a FatalError, a std::runtime_error.
  EXPECT_THROW((void)parseWhole(parseMove(), "x"), std::runtime_error);
}

TEST(Parser, ParseWholeStopsWithTheResultsListWhenTextIsLeftOrResultsAreSeveral) {
  struct Case {
    std::function<void()> run;
    std::string message;
  };
  // clang-format off
  const std::vector<Case> cases{
      {[] { (void)parseWhole(parseMove(), "e2e4 "); },
       R"(Parse error: [(MovePiece (7,5) (5,5)," ")])"},
      {[] { (void)parseWhole(parseMove(), "e7e8qx"); },
       R"(Parse error: [(PromotePawn (2,5) (1,5) Queen,"x")])"},
      {[] { (void)parseWhole(parseMove(), "e7e8=q"); },
       R"(Parse error: [(MovePiece (2,5) (1,5),"=q")])"},
      {[] { (void)parseWhole(parseMove(), "a10b1\t"); },
       R"(Parse error: [(MovePiece (-1,1) (8,2),"\t")])"},
      {[] { (void)parseWhole(parseMove(), "e2e4\"\\"); },
       R"(Parse error: [(MovePiece (7,5) (5,5),"\"\\")])"},
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

TEST(Parser, ShowStringLiteralEscapesQuotesAndBackslashes) {
  EXPECT_EQ(showStringLiteral(""), R"("")");
  EXPECT_EQ(showStringLiteral("ter"), R"("ter")");
  EXPECT_EQ(showStringLiteral(" "), R"(" ")");
  EXPECT_EQ(showStringLiteral("\""), R"("\"")");
  EXPECT_EQ(showStringLiteral("\\"), R"("\\")");
  EXPECT_EQ(showStringLiteral("a\"b\\c'd"), R"("a\"b\\c'd")");
  EXPECT_EQ(showStringLiteral("~!&"), R"("~!&")");
}

TEST(Parser, ShowStringLiteralNamesEveryControlByte) {
  // clang-format off
  const std::array<const char*, 32> names{
      "NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "a",   "b",   "t",   "n",
      "v",   "f",   "r",   "SO",  "SI",  "DLE", "DC1", "DC2", "DC3", "DC4", "NAK",
      "SYN", "ETB", "CAN", "EM",  "SUB", "ESC", "FS",  "GS",  "RS",  "US"};
  // clang-format on
  for (int b = 0; b < 32; ++b) {
    const std::string text(1, static_cast<char>(b));
    EXPECT_EQ(showStringLiteral(text), "\"\\" + std::string(names[b]) + "\"") << b;
    // No separator after a named escape before a digit: \NUL1 and \ESC9 are unambiguous.
    EXPECT_EQ(showStringLiteral(text + "1"), "\"\\" + std::string(names[b]) + "1\"") << b;
  }
  EXPECT_EQ(showStringLiteral("\x7f"), R"("\DEL")");
  EXPECT_EQ(showStringLiteral("\x7f"
                              "1"),
            R"("\DEL1")");
  EXPECT_EQ(showStringLiteral(std::string("a\0b", 3)), R"("a\NULb")");
}

TEST(Parser, ShowStringLiteralWritesHighBytesInDecimal) {
  for (int b = 128; b < 256; ++b) {
    EXPECT_EQ(showStringLiteral(std::string(1, static_cast<char>(b))),
              "\"\\" + std::to_string(b) + "\"")
        << b;
  }
  // Every printable ASCII byte but " and \ stands for itself.
  for (int b = 32; b < 127; ++b) {
    if (b == '"' || b == '\\') continue;
    EXPECT_EQ(showStringLiteral(std::string(1, static_cast<char>(b))),
              "\"" + std::string(1, static_cast<char>(b)) + "\"")
        << b;
  }
}

TEST(Parser, ShowStringLiteralSeparatesEscapesThatAFollowingCharacterWouldExtend) {
  struct Case {
    std::string text;
    std::string literal;
  };
  // clang-format off
  const std::vector<Case> cases{
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
      {"\x0e" "1",          R"("\SO1")"},
      {"\x0e\x0e" "H",      R"("\SO\SO\&H")"},
      {"\xe9" "H",          R"("\233H")"},
      {"\xe9\"",            R"("\233\"")"},
      {"\x0e\\",            R"("\SO\\")"},
      {"\r\n",              R"("\r\n")"},
  };
  // clang-format on
  for (const Case& c : cases) {
    EXPECT_EQ(showStringLiteral(c.text), c.literal) << ::testing::PrintToString(c.text);
  }
}

// Reads a literal back as a Haskell lexer would: the longest escape name, the longest run of
// decimal digits, "\&" as nothing. Nothing when the literal is malformed.
std::optional<std::string> readLiteral(const std::string& literal) {
  static const std::vector<std::pair<std::string, int>> names = [] {
    std::vector<std::pair<std::string, int>> out{{"DEL", 127}};
    // clang-format off
    const std::array<const char*, 32> controls{
        "NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL", "BS",  "HT",  "LF",
        "VT",  "FF",  "CR",  "SO",  "SI",  "DLE", "DC1", "DC2", "DC3", "DC4", "NAK",
        "SYN", "ETB", "CAN", "EM",  "SUB", "ESC", "FS",  "GS",  "RS",  "US"};
    // clang-format on
    for (int i = 0; i < 32; ++i) out.emplace_back(controls[i], i);
    return out;
  }();
  const std::string singles = "abtnvfr";
  if (literal.size() < 2 || literal.front() != '"' || literal.back() != '"') return std::nullopt;
  std::string out;
  std::size_t i = 1;
  const std::size_t end = literal.size() - 1;
  while (i < end) {
    const char c = literal[i];
    if (c == '"') return std::nullopt;
    if (c != '\\') {
      out += c;
      ++i;
      continue;
    }
    ++i;
    if (i >= end) return std::nullopt;
    const char e = literal[i];
    if (e == '&') {
      ++i;
    } else if (e == '"' || e == '\\') {
      out += e;
      ++i;
    } else if (singles.find(e) != std::string::npos) {
      out += static_cast<char>(7 + singles.find(e));
      ++i;
    } else if (e >= '0' && e <= '9') {
      int value = 0;
      while (i < end && literal[i] >= '0' && literal[i] <= '9') {
        value = value * 10 + (literal[i] - '0');
        if (value > 255) return std::nullopt;
        ++i;
      }
      out += static_cast<char>(value);
    } else {
      std::size_t best = 0;
      int code = 0;
      for (const auto& [name, value] : names) {
        if (name.size() > best && literal.compare(i, name.size(), name) == 0) {
          best = name.size();
          code = value;
        }
      }
      if (best == 0) return std::nullopt;
      out += static_cast<char>(code);
      i += best;
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
    EXPECT_EQ(readLiteral(showStringLiteral(text)), text) << ::testing::PrintToString(text);
  }
  std::string all;
  for (int b = 255; b >= 0; --b) all += static_cast<char>(b);
  EXPECT_EQ(readLiteral(showStringLiteral(all + all)), all + all);
}

//=== Replaying a game ===//

TEST(Parser, OpenWithReplaysMoveWordsFromTheStart) {
  const State state = openWith("e2e4 e7e5");
  EXPECT_EQ(state.turn, Colour::White);
  EXPECT_EQ(state.moveNum, 3);
  const std::vector<Move> history = state.reversedHistory.toVector();
  EXPECT_EQ(history, (std::vector<Move>{MovePiece({2, 5}, {4, 5}), MovePiece({7, 5}, {5, 5})}));
  const State expected =
      makeMove(makeMove(newGame(), MovePiece({7, 5}, {5, 5})), MovePiece({2, 5}, {4, 5}));
  EXPECT_EQ(state.getBoard, expected.getBoard);
  EXPECT_EQ(state.castleStatus, expected.castleStatus);
}

TEST(Parser, OpenWithSplitsAtAnyRunOfWhiteSpace) {
  const std::vector<Move> expected{MovePiece({1, 7}, {3, 6}), MovePiece({8, 7}, {6, 6})};
  for (const char* text : {"g1f3 g8f6", "  g1f3\t\n g8f6  ", "\r\ng1f3\v\fg8f6\n"}) {
    const State state = openWith(text);
    EXPECT_EQ(state.reversedHistory.toVector(), expected) << ::testing::PrintToString(text);
    EXPECT_EQ(state.moveNum, 3);
  }
  const State empty = openWith("");
  EXPECT_EQ(empty.turn, Colour::White);
  EXPECT_EQ(empty.moveNum, 1);
  EXPECT_TRUE(empty.reversedHistory.empty());
  EXPECT_TRUE(openWith(" \t\n").reversedHistory.empty());
}

TEST(Parser, OpenWithCountsTheNoBreakSpaceAsWhiteSpace) {
  // White space is the set `spaces` skips, the no-break space 0xA0 included.
  const State state = openWith(
      "e2e4\xa0"
      "e7e5\xa0");
  EXPECT_EQ(state.reversedHistory.toVector(),
            (std::vector<Move>{MovePiece({2, 5}, {4, 5}), MovePiece({7, 5}, {5, 5})}));
}

TEST(Parser, OpenWithStopsOnAWordThatIsNotExactlyOneMove) {
  EXPECT_EQ(fatalMessage([] { (void)openWith("e2e4 xx"); }), "Couldn't parse any of the input");
  EXPECT_EQ(fatalMessage([] { (void)openWith("e2e4 e7e5x"); }),
            R"(Parse error: [(MovePiece (2,5) (4,5),"x")])");
  EXPECT_EQ(fatalMessage([] { (void)openWith("e2e4,e7e5"); }),
            R"(Parse error: [(MovePiece (7,5) (5,5),",e7e5")])");
  // Every word is read before any move is applied: e4e5 from an empty square would stop with
  // a different message if it were applied first.
  EXPECT_EQ(fatalMessage([] { (void)openWith("e4e5 xx"); }), "Couldn't parse any of the input");
}

TEST(Parser, OpenWithRefusesASquareOffTheBoardBeforeApplyingAnyMove) {
  struct Case {
    std::string text;
    std::string message;
  };
  // clang-format off
  const std::vector<Case> cases{
      {"e2e4 e7e5 a1a9",  "Move off the board: a1a9"},
      {"i9a0",            "Move off the board: i9a0"},
      {"e7e9q",           "Move off the board: e7e9q"},
      {"a0a1",            "Move off the board: a0a1"},
      {"a10a1",           "Move off the board: a10a1"},
      {"e2e4 z1a1",       "Move off the board: z1a1"},
      {"a2147483648a1",   "Move off the board: a-2147483648a1"},
      // e4e5 moves from an empty square; applied first it would stop with another message.
      {"e4e5 a1a9",       "Move off the board: a1a9"},
      {"e4e5 e2e4 i9a0",  "Move off the board: i9a0"},
  };
  // clang-format on
  for (const Case& c : cases) {
    EXPECT_EQ(fatalMessage([&] { (void)openWith(c.text); }), c.message) << c.text;
  }
  // Squares on the board pass the check; a move from an empty square then fails in makeMove.
  EXPECT_EQ(fatalMessage([] { (void)openWith("e4e5"); }),
            "getPieceFromSquare called on empty square");
}

TEST(Parser, MoveOnBoardChecksBothSquares) {
  EXPECT_TRUE(moveOnBoard(MovePiece({1, 1}, {8, 8})));
  EXPECT_TRUE(moveOnBoard(PromotePawn({2, 1}, {1, 1}, PieceType::Queen)));
  for (const Location off : {Location{0, 1}, Location{9, 1}, Location{1, 0}, Location{1, 9},
                             Location{-1, 1}, Location{int32Min, 1}}) {
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
