// Tests of the parser-combinator toolkit: the core operations and their result order,
// the ready-made parsers with their edge cases, the 32-bit wrap-around of `nat` and
// `int`, and repetitions over long inputs.

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "MyParseLib.h"
#include "TestSupport.h"

namespace quenlor {
namespace {

using namespace test;

using IntOp = std::function<std::int32_t(std::int32_t, std::int32_t)>;

Parser<IntOp> opParser(char c, IntOp f) {
  return then(charP(c), returnP(std::move(f)));
}

const IntOp subtract = [](std::int32_t a, std::int32_t b) { return a - b; };
const IntOp add = [](std::int32_t a, std::int32_t b) { return a + b; };

constexpr std::int32_t int32Max = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t int32Min = std::numeric_limits<std::int32_t>::min();

//=== Core operations ===//

TEST(MyParseLib, ReturnConsumesNothingAndMzeroFails) {
  EXPECT_EQ(results(returnP(7), "abc"), (std::vector<Result<int>>{{7, "abc"}}));
  EXPECT_EQ(results(returnP(7), ""), (std::vector<Result<int>>{{7, ""}}));
  EXPECT_TRUE(results(mzero<int>(), "abc").empty());
  EXPECT_TRUE(results(mzero<int>(), "").empty());
}

TEST(MyParseLib, BindConcatenatesResultsInOrder) {
  const Parser<int> oneOrTwo = mplus(returnP(1), returnP(2));
  const Parser<int> p =
      bind(oneOrTwo, [](int n) { return mplus(returnP(n * 10), returnP(n * 10 + 1)); });
  EXPECT_EQ(results(p, "x"),
            (std::vector<Result<int>>{{10, "x"}, {11, "x"}, {20, "x"}, {21, "x"}}));
  // Each continuation runs on the rest of its own result.
  const Parser<std::string> prefixes = mplus(stringP("a"), stringP("ab"));
  const Parser<std::string> q =
      bind(prefixes, [](const std::string& s) { return then(item(), returnP(s)); });
  EXPECT_EQ(results(q, "abc"), (std::vector<Result<std::string>>{{"a", "c"}, {"ab", ""}}));
  // A failing first parser gives no result; a failing continuation drops only its branch.
  EXPECT_TRUE(results(bind(mzero<int>(), [](int n) { return returnP(n); }), "x").empty());
  const Parser<char> r = bind(prefixes, [](const std::string&) { return charP('b'); });
  EXPECT_EQ(results(r, "abc"), (std::vector<Result<char>>{{'b', "c"}}));
}

TEST(MyParseLib, ThenIgnoresTheFirstValue) {
  EXPECT_EQ(results(then(stringP("ab"), item()), "abc"), (std::vector<Result<char>>{{'c', ""}}));
  EXPECT_TRUE(results(then(stringP("ab"), item()), "ab").empty());
  EXPECT_TRUE(results(then(stringP("x"), item()), "abc").empty());
}

TEST(MyParseLib, MplusGivesAllResultsOfBothInOrder) {
  const Parser<std::string> p = mplus(stringP("a"), stringP("ab"));
  EXPECT_EQ(results(p, "abc"), (std::vector<Result<std::string>>{{"a", "bc"}, {"ab", "c"}}));
  EXPECT_EQ(results(mplus(stringP("ab"), stringP("a")), "abc"),
            (std::vector<Result<std::string>>{{"ab", "c"}, {"a", "bc"}}));
  EXPECT_EQ(results(p, "a"), (std::vector<Result<std::string>>{{"a", ""}}));
  EXPECT_TRUE(results(p, "b").empty());
  // Nested: three results, duplicates kept.
  const Parser<int> three = mplus(mplus(returnP(1), returnP(2)), returnP(1));
  EXPECT_EQ(results(three, ""), (std::vector<Result<int>>{{1, ""}, {2, ""}, {1, ""}}));
}

TEST(MyParseLib, OrElseTakesTheFirstResultOfTheFirstParserThatSucceeds) {
  const Parser<int> several = mplus(mplus(returnP(1), returnP(2)), returnP(3));
  // +++(mzero, p) is p restricted to its first result.
  EXPECT_EQ(results(orElse(mzero<int>(), several), "x"), (std::vector<Result<int>>{{1, "x"}}));
  EXPECT_EQ(results(orElse(several, returnP(9)), "x"), (std::vector<Result<int>>{{1, "x"}}));
  EXPECT_TRUE(results(orElse(mzero<int>(), mzero<int>()), "x").empty());
  // A first parser that succeeds without consuming still wins over one that consumes.
  EXPECT_EQ(results(orElse(stringP(""), stringP("ab")), "abc"),
            (std::vector<Result<std::string>>{{"", "abc"}}));
  EXPECT_EQ(results(orElse(stringP("x"), stringP("ab")), "abc"),
            (std::vector<Result<std::string>>{{"ab", "c"}}));

  // The second parser runs only when the first fails.
  int secondRuns = 0;
  const Parser<int> counted([&secondRuns](std::string_view input) {
    ++secondRuns;
    return ParseResults<int>{{2, input}};
  });
  EXPECT_EQ(results(orElse(returnP(1), counted), "x"), (std::vector<Result<int>>{{1, "x"}}));
  EXPECT_EQ(secondRuns, 0);
  EXPECT_EQ(results(orElse(mzero<int>(), counted), "x"), (std::vector<Result<int>>{{2, "x"}}));
  EXPECT_EQ(secondRuns, 1);
}

TEST(MyParseLib, ParsersAreReusableValues) {
  const Parser<std::string> p = symbol("quit");
  const Parser<std::string> copy = p;
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(results(p, "quit x"), (std::vector<Result<std::string>>{{"quit", "x"}}));
    EXPECT_EQ(results(copy, "quitter"), (std::vector<Result<std::string>>{{"quit", "ter"}}));
  }
}

//=== Characters and text ===//

TEST(MyParseLib, ItemSatCharAndDigitTakeOneByte) {
  expectSingles(item(), {{"", std::nullopt},
                         {"ab", Result<char>{'a', "b"}},
                         {std::string("\0z", 2), Result<char>{'\0', "z"}},
                         {"\xff", Result<char>{'\xff', ""}}});
  const Parser<char> vowel = sat([](char c) { return c == 'a' || c == 'e'; });
  expectSingles(vowel, {{"ex", Result<char>{'e', "x"}}, {"xe", std::nullopt}, {"", std::nullopt}});
  expectSingles(charP('q'), {{"qq", Result<char>{'q', "q"}}, {"Q", std::nullopt}});
  expectSingles(charP('\xa0'), {{"\xa0", Result<char>{'\xa0', ""}}});
  for (char c = '0'; c <= '9'; ++c) {
    EXPECT_EQ(single(digit(), std::string{c, 'x'}), (Result<char>{c, "x"}));
  }
  // Only ASCII digits: the neighbours of '0'..'9' and Latin-1 superscripts are not digits.
  for (const char* text : {"/", ":", "\xb2", "\xb9", "\xbc", "a", " ", ""}) {
    EXPECT_FALSE(single(digit(), text)) << brief(text);
  }
}

TEST(MyParseLib, StringMatchesAnExactCaseSensitivePrefix) {
  struct Case {
    std::string s;
    std::string input;
    std::optional<std::string> rest;
  };
  const std::string nul("a\0b", 3);
  // clang-format off
  const std::vector<Case> cases{
      {"quit", "quitter", "ter"},
      {"quit", "quit",    ""},
      {"quit", "Quit",    std::nullopt},
      {"quit", "qui",     std::nullopt},
      {"quit", " quit",   std::nullopt},
      {"quit", "",        std::nullopt},
      {"",     "abc",     "abc"},
      {"",     "",        ""},
      // Embedded NUL bytes are ordinary characters.
      {nul,    nul + "c", "c"},
      {nul,    std::string("a\0c", 3), std::nullopt},
  };
  // clang-format on
  for (const Case& c : cases) {
    const auto expected = c.rest ? std::optional(Result<std::string>{c.s, *c.rest}) : std::nullopt;
    EXPECT_EQ(single(stringP(c.s), c.input), expected) << brief(c.s) << " on " << brief(c.input);
  }
}

//=== Repetition ===//

TEST(MyParseLib, ManyGivesExactlyOneResultAndManyOneNeedsAMatch) {
  using Text = Result<std::string>;
  const Parser<char> any = sat([](char) { return true; });
  const std::string bytes("a\0\xff\n\r", 5);
  for (const Parser<char>& p : {any, item()}) {
    expectSingles(many(p), {{"", Text{"", ""}}, {bytes, Text{bytes, ""}}});
    expectSingles(many1(p), {{"", std::nullopt}, {"abc", Text{"abc", ""}}});
  }
  expectSingles(many(digit()), {{"12a3", Text{"12", "a3"}}, {"a3", Text{"", "a3"}}});
  expectSingles(many1(digit()), {{"1x", Text{"1", "x"}}, {"x1", std::nullopt}});

  // A parser with several results: many takes the first result each time.
  const Parser<std::string> aOrAa = mplus(stringP("a"), stringP("aa"));
  EXPECT_EQ(results(many(aOrAa), "aaab"),
            (std::vector<Result<std::vector<std::string>>>{{{"a", "a", "a"}, "b"}}));
  using Numbers = Result<std::vector<std::int32_t>>;
  const Parser<std::int32_t> number = token(nat());
  expectSingles(many(number),
                {{"1 22  333x", Numbers{{1, 22, 333}, "x"}}, {"x", Numbers{{}, "x"}}});
  expectSingles(many1(number), {{"7 8", Numbers{{7, 8}, ""}}, {"x1", std::nullopt}});
}

TEST(MyParseLib, ChainlOneFoldsToTheLeftAndLeavesATrailingOperator) {
  using R = Result<std::int32_t>;
  // (10 - 2) - 3 = 5; a right-associative chain would give 11.
  expectSingles(chainl1(nat(), opParser('-', subtract)), {{"10-2-3", R{5, ""}},
                                                          {"7", R{7, ""}},
                                                          {"7x", R{7, "x"}},
                                                          {"10-2-", R{8, "-"}},
                                                          {"10-x", R{10, "-x"}},
                                                          {"10--2", R{10, "--2"}},
                                                          {"-7", std::nullopt},
                                                          {"", std::nullopt}});
  // An operator made of several characters is left whole.
  expectSingles(chainl1(nat(), then(stringP("->"), returnP(subtract))), {{"9->4->", R{5, "->"}}});
  // The continuation (op, then p) is one parser tried against stopping: its first result wins,
  // even when it comes from the operator's second result.
  const Parser<IntOp> op = mplus(opParser('+', add), then(stringP("+-"), returnP(subtract)));
  expectSingles(chainl1(nat(), op), {{"5+-2", R{3, ""}}, {"5+2", R{7, ""}}, {"5+-x", R{5, "+-x"}}});
  // One result per result of the first parser; the second alternative consumes nothing and
  // the chain then stops at once.
  EXPECT_EQ(results(chainl1(mplus(nat(), returnP(-1)), opParser('+', add)), "1+2"),
            (std::vector<R>{{3, ""}, {-1, "1+2"}}));
}

TEST(MyParseLib, RepetitionsHandleLongInputsWithoutRecursion) {
  // Several megabytes: a per-character recursion would overflow the stack here.
  const std::size_t n = 4 << 20;
  std::string bytes(n, '\0');
  for (std::size_t i = 0; i < n; ++i) bytes[i] = static_cast<char>((i * 131 + 7) % 256);
  const auto all = results(many(item()), bytes);
  ASSERT_EQ(all.size(), 1U);
  EXPECT_TRUE(sameText(all.front().first, bytes));
  EXPECT_EQ(all.front().second, "");

  const auto digits = single(many1(digit()), std::string(n, '1') + "x");
  ASSERT_TRUE(digits);
  EXPECT_EQ(digits->first.size(), n);
  EXPECT_EQ(digits->second, "x");

  const auto generic = single(many(then(charP('a'), returnP(1))), std::string(1 << 20, 'a') + "b");
  ASSERT_TRUE(generic);
  EXPECT_EQ(generic->first.size(), std::size_t{1} << 20);
  EXPECT_EQ(generic->second, "b");

  std::string chain = "1";
  const int terms = 200000;
  for (int i = 1; i < terms; ++i) chain += "-1";
  EXPECT_EQ(single(chainl1(nat(), opParser('-', subtract)), chain + "-"),
            (Result<std::int32_t>{1 - (terms - 1), "-"}));
}

//=== Numbers ===//

TEST(MyParseLib, NatReadsAllFollowingDigitsWrappingAroundInThirtyTwoBits) {
  using R = Result<std::int32_t>;
  // clang-format off
  expectSingles(nat(), {
      {"007x",                 R{7, "x"}},
      {"0",                    R{0, ""}},
      {"12 3",                 R{12, " 3"}},
      {"12\xb3",               R{12, "\xb3"}},
      {"x",                    std::nullopt},
      {"",                     std::nullopt},
      {"-1",                   std::nullopt},
      {" 1",                   std::nullopt},
      // The fold 10·m + n wraps around.
      {"2147483647",           R{int32Max, ""}},
      {"2147483648",           R{int32Min, ""}},
      {"2147483649",           R{int32Min + 1, ""}},
      {"4294967295",           R{-1, ""}},
      {"4294967296",           R{0, ""}},
      {"4294967303x",          R{7, "x"}},
      {"99999999999999",       R{276447231, ""}},
      {"12345678901234567890", R{-350287150, ""}},
      // 10^k is a multiple of 2^32 for k ≥ 32, and 10^k − 1 is −1 modulo 2^32.
      {"1" + std::string(32, '0'),                 R{0, ""}},
      {"7" + std::string(100000, '0') + "42;",     R{42, ";"}},
      {std::string(1 << 20, '9'),                  R{-1, ""}},
      {std::string(1 << 20, '0') + "5",            R{5, ""}},
  });
  // clang-format on
}

TEST(MyParseLib, IntTakesAnOptionalMinusAndIntegerSkipsJunkAfterIt) {
  using R = Result<std::int32_t>;
  // clang-format off
  expectSingles(intP(), {
      {"-12",                   R{-12, ""}},
      {"12",                    R{12, ""}},
      {"-12x",                  R{-12, "x"}},
      {"-0",                    R{0, ""}},
      {"-007",                  R{-7, ""}},
      {"-x",                    std::nullopt},
      {"- 1",                   std::nullopt},
      {"-",                     std::nullopt},
      {"--1",                   std::nullopt},
      {"+1",                    std::nullopt},
      {"",                      std::nullopt},
      // The negation wraps around like the fold.
      {"-2147483647",           R{-int32Max, ""}},
      {"-2147483648",           R{int32Min, ""}},
      {"-2147483649",           R{int32Max, ""}},
      {"-4294967295",           R{1, ""}},
      {"-99999999999999",       R{-276447231, ""}},
      {"-12345678901234567890", R{350287150, ""}},
      {"-" + std::string(4096, '9'), R{1, ""}},
  });
  expectSingles(integer(), {
      {"-12  # c\n x", R{-12, "x"}},
      {"7\xa0",        R{7, ""}},
      {" 7",           std::nullopt},
      {"- 7",          std::nullopt},
  });
  // clang-format on
}

//=== Whitespace and comments ===//

TEST(MyParseLib, SpacesNeedsOneOrMoreWhitespaceBytes) {
  expectRests(spaces(), {{"", std::nullopt}, {"x ", std::nullopt}, {" \t\n\v\f\r\xa0x ", "x "}});
  // Each whitespace byte on its own, the no-break space 0xA0 included.
  for (const char c : {' ', '\t', '\n', '\v', '\f', '\r', '\xa0'}) {
    expectRests(spaces(), {{std::string{c, 'y'}, "y"}});
  }
  // Bytes that other classifications count as space are not whitespace here.
  for (const char c : {'\0', '\x1c', '\x1d', '\x1e', '\x1f', '\x85', '\xff', '\x7f', '\x08'}) {
    expectRests(spaces(), {{std::string{c, ' '}, std::nullopt}});
  }
}

TEST(MyParseLib, CommentRunsUpToTheNextNewline) {
  // clang-format off
  expectRests(comment(), {
      {"% a\nb",           "\nb"},
      {"# x",              ""},
      {"-- y\nz",          "\nz"},
      {"--\n",             "\n"},
      {"%",                ""},
      {"#",                ""},
      {"%%\x01\xff\r\v\n", "\n"},
      {std::string("#a\0b\nc", 6), "\nc"},
      {"-x",               std::nullopt},
      {"-",                std::nullopt},
      {" %",               std::nullopt},
      {"x%",               std::nullopt},
      {"",                 std::nullopt},
  });
  // clang-format on
}

TEST(MyParseLib, JunkSkipsTheLongestRunOfWhitespaceAndComments) {
  std::string longRun;
  for (int i = 0; i < 100000; ++i) longRun += " \t\xa0# comment\n-- more\n%\n";
  // clang-format off
  expectRests(junk(), {
      {"  # a\n -- b\n  x",            "x"},
      {"%",                            ""},
      {"",                             ""},
      {"x",                            "x"},
      {"x  ",                          "x  "},
      {"\xa0% c\n\xa0\t--\n\r\v\f x",  "x"},
      {"\xa0\xa0y",                    "y"},
      {"- x",                          "- x"},
      {"  - x",                        "- x"},
      {"# everything\xa0 else",        ""},
      {"%\n#\n--\n\n y z",             "y z"},
      {"\x85 x",                       "\x85 x"},
      {" \x1f",                        "\x1f"},
      {std::string(" \0 ", 3),         std::string("\0 ", 2)},
      {longRun + "end",                "end"},
      {std::string(4 << 20, ' ') + "end", "end"},
  });
  // clang-format on
}

TEST(MyParseLib, TokenAndSymbolSkipTrailingJunk) {
  using R = Result<std::string>;
  // clang-format off
  expectSingles(symbol("quit"), {
      {"quit#x",       R{"quit", ""}},
      {"quit # bye",   R{"quit", ""}},
      {"quit -- bye",  R{"quit", ""}},
      {"quit % bye",   R{"quit", ""}},
      {"quit\xa0",     R{"quit", ""}},
      {"quit x",       R{"quit", "x"}},
      {"quitter",      R{"quit", "ter"}},
      {"quit - x",     R{"quit", "- x"}},
      {"quit",         R{"quit", ""}},
      {" quit",        std::nullopt},
      {"Quit",         std::nullopt},
      {"qui",          std::nullopt},
  });
  // clang-format on
  EXPECT_EQ(single(token(digit()), "7 \n %x\n8"), (Result<char>{'7', "8"}));
  EXPECT_EQ(single(token(stringP("")), "  x"), (R{"", "x"}));
}

//=== Words and choices ===//

TEST(MyParseLib, WordsKeywordsTextUntilChoiceAndFoldMany) {
  using R = Result<std::string>;
  const auto shown = [](Parser<std::string_view> p) {
    return bind(p, [](std::string_view v) { return returnP(std::string(v)); });
  };
  const auto tag = [](const char* t) { return returnP(std::string(t)); };
  const auto wordLengths =
      foldMany(then(many(sat(isSpace)), word()), std::string(),
               [](std::string acc, std::string_view w) { return acc + std::to_string(w.size()); });
  struct Case {
    const char* what;
    Parser<std::string> parser;
    std::string input;
    std::optional<R> expected;
  };
  // clang-format off
  const std::vector<Case> cases{
      {"word",     shown(word()),                 "e2e4 e7e5",      R{"e2e4", " e7e5"}},
      {"word",     shown(word()),                 "\xff\x01\tx",     R{"\xff\x01", "\tx"}},
      {"word",     shown(word()),                 " x",             std::nullopt},
      {"word",     shown(word()),                 "\xa0x",          std::nullopt},
      {"word",     shown(word()),                 "",               std::nullopt},
      {"keyword",  then(keyword("go"), tag("k")), "go depth",       R{"k", " depth"}},
      {"keyword",  then(keyword("go"), tag("k")), "go",             R{"k", ""}},
      {"keyword",  then(keyword("go"), tag("k")), "go\r",           R{"k", "\r"}},
      {"keyword",  then(keyword("go"), tag("k")), "gox",            std::nullopt},
      {"keyword",  then(keyword("go"), tag("k")), "Go",             std::nullopt},
      {"keyword",  then(keyword("go"), tag("k")), " go",            std::nullopt},
      {"keyword",  then(keyword(""), tag("k")),   " go",            std::nullopt},
      {"textUntil", shown(textUntil("moves")),    " a  b\tmoves c", R{"a  b", "moves c"}},
      {"textUntil", shown(textUntil("moves")),    "a movesx b  ",   R{"a movesx b", ""}},
      {"textUntil", shown(textUntil("moves")),    "moves",          R{"", "moves"}},
      {"textUntil", shown(textUntil("moves")),    "  ",             R{"", ""}},
      {"textUntil", shown(textUntil("")),         "a b ",           R{"a b", ""}},
      {"choice",   choice<std::string>({then(keyword("go"), tag("1")), then(charP('g'), tag("2")),
                                        then(charP('g'), tag("3"))}),
                                                  "gx",             R{"2", "x"}},
      {"choice",   choice<std::string>({then(charP('g'), tag("1")), tag("2")}),
                                                  "x",              R{"2", "x"}},
      {"choice",   choice<std::string>({mplus(tag("1"), tag("2"))}),
                                                  "x",              R{"1", "x"}},
      {"choice",   choice<std::string>({then(charP('g'), tag("1")), then(charP('h'), tag("2"))}),
                                                  "x",              std::nullopt},
      {"choice",   choice<std::string>({}),       "x",              std::nullopt},
      {"foldMany", wordLengths,                   "ab c   def ",    R{"213", " "}},
      {"foldMany", foldMany(tag("x"), std::string("init"), std::plus<>()),
                                                  "ab",             R{"init", "ab"}},
  };
  // clang-format on
  for (const Case& c : cases) {
    EXPECT_EQ(single(c.parser, c.input), c.expected) << c.what << " on " << brief(c.input);
  }
}

}  // namespace
}  // namespace quenlor
