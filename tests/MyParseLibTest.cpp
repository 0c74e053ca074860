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

namespace quenlor {
namespace {

// A result with its remaining text copied out, so that tables can state it directly.
template <typename T>
using Result = std::pair<T, std::string>;

template <typename T>
std::vector<Result<T>> results(const Parser<T>& p, std::string_view input) {
  std::vector<Result<T>> out;
  for (const auto& [value, rest] : papply(p, input)) {
    // Every remaining text is a suffix of the input, as a view into it.
    EXPECT_EQ(rest.data() + rest.size(), input.data() + input.size());
    out.emplace_back(value, std::string(rest));
  }
  return out;
}

// The single result of p, or nothing when p fails; more than one result fails the test.
template <typename T>
std::optional<Result<T>> single(const Parser<T>& p, std::string_view input) {
  const auto all = results(p, input);
  EXPECT_LE(all.size(), 1U) << "input " << ::testing::PrintToString(std::string(input));
  if (all.empty()) return std::nullopt;
  return all.front();
}

using IntOp = std::function<std::int32_t(std::int32_t, std::int32_t)>;

Parser<IntOp> opParser(char c, IntOp f) {
  return then(charP(c), returnP(std::move(f)));
}

const IntOp subtract = [](std::int32_t a, std::int32_t b) { return a - b; };
const IntOp add = [](std::int32_t a, std::int32_t b) { return a + b; };

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
  EXPECT_EQ(results(orElse(mzero<int>(), returnP(9)), "x"), (std::vector<Result<int>>{{9, "x"}}));
  EXPECT_TRUE(results(orElse(mzero<int>(), mzero<int>()), "x").empty());
  // A first parser that succeeds without consuming still wins over one that consumes.
  EXPECT_EQ(results(orElse(stringP(""), stringP("ab")), "abc"),
            (std::vector<Result<std::string>>{{"", "abc"}}));
  EXPECT_EQ(results(orElse(stringP("x"), stringP("ab")), "abc"),
            (std::vector<Result<std::string>>{{"ab", "c"}}));
}

TEST(MyParseLib, OrElseDoesNotRunTheSecondParserWhenTheFirstSucceeds) {
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
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(results(p, "quit x"), (std::vector<Result<std::string>>{{"quit", "x"}}));
    EXPECT_EQ(results(copy, "quitter"), (std::vector<Result<std::string>>{{"quit", "ter"}}));
  }
}

//=== Characters and text ===//

TEST(MyParseLib, ItemTakesAnyOneByte) {
  EXPECT_FALSE(single(item(), ""));
  EXPECT_EQ(single(item(), "ab"), (Result<char>{'a', "b"}));
  const std::string nul("\0z", 2);
  EXPECT_EQ(single(item(), nul), (Result<char>{'\0', "z"}));
  EXPECT_EQ(single(item(), "\xff"), (Result<char>{'\xff', ""}));
}

TEST(MyParseLib, SatCharAndDigit) {
  const Parser<char> vowel = sat([](char c) { return c == 'a' || c == 'e'; });
  EXPECT_EQ(single(vowel, "ex"), (Result<char>{'e', "x"}));
  EXPECT_FALSE(single(vowel, "xe"));
  EXPECT_FALSE(single(vowel, ""));
  EXPECT_EQ(single(charP('q'), "qq"), (Result<char>{'q', "q"}));
  EXPECT_FALSE(single(charP('q'), "Q"));
  EXPECT_EQ(single(charP('\xa0'), "\xa0"), (Result<char>{'\xa0', ""}));
  for (char c = '0'; c <= '9'; ++c) {
    EXPECT_EQ(single(digit(), std::string{c, 'x'}), (Result<char>{c, "x"}));
  }
  // Only ASCII digits: the neighbours of '0'..'9' and Latin-1 superscripts are not digits.
  for (const char* text : {"/", ":", "\xb2", "\xb9", "\xbc", "a", " ", ""}) {
    EXPECT_FALSE(single(digit(), text)) << ::testing::PrintToString(std::string(text));
  }
}

TEST(MyParseLib, StringMatchesAnExactCaseSensitivePrefix) {
  struct Case {
    std::string s;
    std::string input;
    std::optional<std::string> rest;
  };
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
  };
  // clang-format on
  for (const Case& c : cases) {
    const auto r = single(stringP(c.s), c.input);
    ASSERT_EQ(r.has_value(), c.rest.has_value()) << c.s << " on " << c.input;
    if (r) {
      EXPECT_EQ(*r, (Result<std::string>{c.s, *c.rest}));
    }
  }
  // Embedded NUL bytes are ordinary characters.
  const std::string s("a\0b", 3);
  const std::string input("a\0bc", 4);
  EXPECT_EQ(single(stringP(s), input), (Result<std::string>{s, "c"}));
  EXPECT_FALSE(single(stringP(s), std::string("a\0c", 3)));
}

//=== Repetition ===//

TEST(MyParseLib, ManyNeverFailsAndGivesExactlyOneResult) {
  const Parser<char> any = sat([](char) { return true; });
  EXPECT_EQ(results(many(any), ""), (std::vector<Result<std::string>>{{"", ""}}));
  EXPECT_EQ(results(many(item()), ""), (std::vector<Result<std::string>>{{"", ""}}));
  EXPECT_EQ(results(many(digit()), "12a3"), (std::vector<Result<std::string>>{{"12", "a3"}}));
  EXPECT_EQ(results(many(digit()), "a3"), (std::vector<Result<std::string>>{{"", "a3"}}));
  const std::string bytes("a\0\xff\n\r", 5);
  EXPECT_EQ(results(many(item()), bytes), (std::vector<Result<std::string>>{{bytes, ""}}));
  EXPECT_EQ(results(many(any), bytes), (std::vector<Result<std::string>>{{bytes, ""}}));
  // A parser with several results: many takes the first result each time.
  const Parser<std::string> aOrAa = mplus(stringP("a"), stringP("aa"));
  EXPECT_EQ(results(many(aOrAa), "aaab"),
            (std::vector<Result<std::vector<std::string>>>{{{"a", "a", "a"}, "b"}}));
  const Parser<std::int32_t> number = token(nat());
  EXPECT_EQ(results(many(number), "1 22  333x"),
            (std::vector<Result<std::vector<std::int32_t>>>{{{1, 22, 333}, "x"}}));
  EXPECT_EQ(results(many(number), "x"),
            (std::vector<Result<std::vector<std::int32_t>>>{{{}, "x"}}));
}

TEST(MyParseLib, ManyOneNeedsAtLeastOneMatch) {
  EXPECT_FALSE(single(many1(digit()), ""));
  EXPECT_FALSE(single(many1(digit()), "x1"));
  EXPECT_EQ(single(many1(digit()), "1x"), (Result<std::string>{"1", "x"}));
  EXPECT_EQ(single(many1(item()), "abc"), (Result<std::string>{"abc", ""}));
  const Parser<std::int32_t> number = token(nat());
  EXPECT_FALSE(single(many1(number), "x1"));
  EXPECT_EQ(single(many1(number), "7 8"), (Result<std::vector<std::int32_t>>{{7, 8}, ""}));
}

TEST(MyParseLib, RepetitionsHandleLongInputsWithoutRecursion) {
  // Several megabytes: a per-character recursion would overflow the stack here.
  const std::size_t n = 4 << 20;
  std::string bytes(n, '\0');
  for (std::size_t i = 0; i < n; ++i) bytes[i] = static_cast<char>((i * 131 + 7) % 256);
  const auto all = results(many(item()), bytes);
  ASSERT_EQ(all.size(), 1U);
  EXPECT_TRUE(all.front().first == bytes) << all.front().first.size() << " bytes";
  EXPECT_EQ(all.front().second, "");

  const std::string ones(n, '1');
  const auto digits = single(many1(digit()), ones + "x");
  ASSERT_TRUE(digits);
  EXPECT_EQ(digits->first.size(), n);
  EXPECT_EQ(digits->second, "x");

  const Parser<char> a = charP('a');
  const auto generic = single(many(then(a, returnP(1))), std::string(1 << 20, 'a') + "b");
  ASSERT_TRUE(generic);
  EXPECT_EQ(generic->first.size(), std::size_t{1} << 20);
  EXPECT_EQ(generic->second, "b");
}

TEST(MyParseLib, ChainlOneIsLeftAssociative) {
  const Parser<std::int32_t> minus = chainl1(nat(), opParser('-', subtract));
  // (10 - 2) - 3 = 5; a right-associative chain would give 11.
  EXPECT_EQ(single(minus, "10-2-3"), (Result<std::int32_t>{5, ""}));
  EXPECT_EQ(single(minus, "7"), (Result<std::int32_t>{7, ""}));
  EXPECT_EQ(single(minus, "7x"), (Result<std::int32_t>{7, "x"}));
  EXPECT_FALSE(single(minus, "-7"));
  EXPECT_FALSE(single(minus, ""));
}

TEST(MyParseLib, ChainlOneLeavesATrailingOperatorUnconsumed) {
  const Parser<std::int32_t> minus = chainl1(nat(), opParser('-', subtract));
  EXPECT_EQ(single(minus, "10-2-"), (Result<std::int32_t>{8, "-"}));
  EXPECT_EQ(single(minus, "10-x"), (Result<std::int32_t>{10, "-x"}));
  EXPECT_EQ(single(minus, "10--2"), (Result<std::int32_t>{10, "--2"}));
  // An operator made of several characters is left whole.
  const Parser<IntOp> arrow = then(stringP("->"), returnP(subtract));
  EXPECT_EQ(single(chainl1(nat(), arrow), "9->4->"), (Result<std::int32_t>{5, "->"}));
}

TEST(MyParseLib, ChainlOneTriesEveryOperatorResultBeforeStopping) {
  // The continuation (op, then p) is one parser tried against stopping: its first result wins,
  // even when it comes from the operator's second result.
  const Parser<IntOp> op = mplus(opParser('+', add), then(stringP("+-"), returnP(subtract)));
  EXPECT_EQ(single(chainl1(nat(), op), "5+-2"), (Result<std::int32_t>{3, ""}));
  EXPECT_EQ(single(chainl1(nat(), op), "5+2"), (Result<std::int32_t>{7, ""}));
  EXPECT_EQ(single(chainl1(nat(), op), "5+-x"), (Result<std::int32_t>{5, "+-x"}));
}

TEST(MyParseLib, ChainlOneGivesOneResultPerResultOfItsFirstParser) {
  const Parser<std::int32_t> p = mplus(nat(), returnP(-1));
  const Parser<std::int32_t> chain = chainl1(p, opParser('+', add));
  // The second alternative of p consumes nothing and the chain then stops at once.
  EXPECT_EQ(results(chain, "1+2"), (std::vector<Result<std::int32_t>>{{3, ""}, {-1, "1+2"}}));
}

TEST(MyParseLib, ChainlOneHandlesLongChainsWithoutRecursion) {
  std::string text = "1";
  const int terms = 200000;
  for (int i = 1; i < terms; ++i) text += "-1";
  const Parser<std::int32_t> minus = chainl1(nat(), opParser('-', subtract));
  EXPECT_EQ(single(minus, text + "-"), (Result<std::int32_t>{1 - (terms - 1), "-"}));
}

//=== Numbers ===//

TEST(MyParseLib, NatReadsAllFollowingDigits) {
  struct Case {
    std::string input;
    std::optional<Result<std::int32_t>> expected;
  };
  constexpr std::int32_t max = std::numeric_limits<std::int32_t>::max();
  constexpr std::int32_t min = std::numeric_limits<std::int32_t>::min();
  // clang-format off
  const std::vector<Case> cases{
      {"007x",                 Result<std::int32_t>{7, "x"}},
      {"0",                    Result<std::int32_t>{0, ""}},
      {"12 3",                 Result<std::int32_t>{12, " 3"}},
      {"12\xb3",               Result<std::int32_t>{12, "\xb3"}},
      {"x",                    std::nullopt},
      {"",                     std::nullopt},
      {"-1",                   std::nullopt},
      {" 1",                   std::nullopt},
      // 32-bit wrap-around of the fold 10·m + n.
      {"2147483647",           Result<std::int32_t>{max, ""}},
      {"2147483648",           Result<std::int32_t>{min, ""}},
      {"2147483649",           Result<std::int32_t>{min + 1, ""}},
      {"4294967295",           Result<std::int32_t>{-1, ""}},
      {"4294967296",           Result<std::int32_t>{0, ""}},
      {"4294967303x",          Result<std::int32_t>{7, "x"}},
      {"99999999999999",       Result<std::int32_t>{276447231, ""}},
      {"12345678901234567890", Result<std::int32_t>{-350287150, ""}},
  };
  // clang-format on
  for (const Case& c : cases) {
    EXPECT_EQ(single(nat(), c.input), c.expected) << ::testing::PrintToString(c.input);
  }
}

TEST(MyParseLib, NatWrapsAroundOnDigitStringsOfAnyLength) {
  // 10^k is a multiple of 2^32 for k ≥ 32, and 10^k − 1 is −1 modulo 2^32.
  EXPECT_EQ(single(nat(), "1" + std::string(32, '0')), (Result<std::int32_t>{0, ""}));
  EXPECT_EQ(single(nat(), "7" + std::string(100000, '0') + "42;"), (Result<std::int32_t>{42, ";"}));
  EXPECT_EQ(single(nat(), std::string(1 << 20, '9')), (Result<std::int32_t>{-1, ""}));
  EXPECT_EQ(single(nat(), std::string(1 << 20, '0') + "5"), (Result<std::int32_t>{5, ""}));
}

TEST(MyParseLib, IntTakesAnOptionalMinus) {
  struct Case {
    std::string input;
    std::optional<Result<std::int32_t>> expected;
  };
  constexpr std::int32_t max = std::numeric_limits<std::int32_t>::max();
  constexpr std::int32_t min = std::numeric_limits<std::int32_t>::min();
  // clang-format off
  const std::vector<Case> cases{
      {"-12",                  Result<std::int32_t>{-12, ""}},
      {"12",                   Result<std::int32_t>{12, ""}},
      {"-12x",                 Result<std::int32_t>{-12, "x"}},
      {"-0",                   Result<std::int32_t>{0, ""}},
      {"-007",                 Result<std::int32_t>{-7, ""}},
      {"-x",                   std::nullopt},
      {"- 1",                  std::nullopt},
      {"-",                    std::nullopt},
      {"--1",                  std::nullopt},
      {"+1",                   std::nullopt},
      {"",                     std::nullopt},
      // The negation wraps around like the fold.
      {"-2147483647",          Result<std::int32_t>{-max, ""}},
      {"-2147483648",          Result<std::int32_t>{min, ""}},
      {"-2147483649",          Result<std::int32_t>{max, ""}},
      {"-4294967295",          Result<std::int32_t>{1, ""}},
      {"-99999999999999",      Result<std::int32_t>{-276447231, ""}},
      {"-12345678901234567890", Result<std::int32_t>{350287150, ""}},
  };
  // clang-format on
  for (const Case& c : cases) {
    EXPECT_EQ(single(intP(), c.input), c.expected) << ::testing::PrintToString(c.input);
  }
  EXPECT_EQ(single(intP(), "-" + std::string(4096, '9')), (Result<std::int32_t>{1, ""}));
}

TEST(MyParseLib, IntegerSkipsJunkAfterTheNumber) {
  EXPECT_EQ(single(integer(), "-12  # c\n x"), (Result<std::int32_t>{-12, "x"}));
  EXPECT_EQ(single(integer(), "7\xa0"), (Result<std::int32_t>{7, ""}));
  EXPECT_FALSE(single(integer(), " 7"));
  EXPECT_FALSE(single(integer(), "- 7"));
}

//=== Whitespace and comments ===//

TEST(MyParseLib, SpacesNeedsOneOrMoreWhitespaceBytes) {
  EXPECT_FALSE(single(spaces(), ""));
  EXPECT_FALSE(single(spaces(), "x "));
  EXPECT_EQ(single(spaces(), " \t\n\v\f\r\xa0x "), (Result<Unit>{Unit{}, "x "}));
  // Each whitespace byte on its own, the no-break space 0xA0 included.
  for (const char c : {' ', '\t', '\n', '\v', '\f', '\r', '\xa0'}) {
    EXPECT_EQ(single(spaces(), std::string{c, 'y'}), (Result<Unit>{Unit{}, "y"}))
        << static_cast<int>(static_cast<unsigned char>(c));
  }
  // Bytes that other classifications count as space are not whitespace here.
  for (const char c : {'\0', '\x1c', '\x1d', '\x1e', '\x1f', '\x85', '\xff', '\x7f', '\x08'}) {
    EXPECT_FALSE(single(spaces(), std::string{c, ' '}))
        << static_cast<int>(static_cast<unsigned char>(c));
  }
}

TEST(MyParseLib, CommentRunsUpToTheNextNewline) {
  struct Case {
    std::string input;
    std::optional<std::string> rest;
  };
  // clang-format off
  const std::vector<Case> cases{
      {"% a\nb",     "\nb"},
      {"# x",        ""},
      {"-- y\nz",    "\nz"},
      {"--\n",       "\n"},
      {"%",          ""},
      {"#",          ""},
      {"%%\x01\xff\r\v\n", "\n"},
      {"-x",         std::nullopt},
      {"-",          std::nullopt},
      {" %",         std::nullopt},
      {"x%",         std::nullopt},
      {"",           std::nullopt},
  };
  // clang-format on
  for (const Case& c : cases) {
    const auto r = single(comment(), c.input);
    ASSERT_EQ(r.has_value(), c.rest.has_value()) << ::testing::PrintToString(c.input);
    if (r) {
      EXPECT_EQ(r->second, *c.rest) << ::testing::PrintToString(c.input);
    }
  }
  // A comment holding NUL bytes runs on past them.
  EXPECT_EQ(single(comment(), std::string("#a\0b\nc", 6)), (Result<Unit>{Unit{}, "\nc"}));
}

TEST(MyParseLib, JunkSkipsTheLongestRunOfWhitespaceAndComments) {
  struct Case {
    std::string input;
    std::string rest;
  };
  // clang-format off
  const std::vector<Case> cases{
      {"  # a\n -- b\n  x",               "x"},
      {"%",                               ""},
      {"",                                ""},
      {"x",                               "x"},
      {"x  ",                             "x  "},
      {"\xa0% c\n\xa0\t--\n\r\v\f x",     "x"},
      {"\xa0\xa0y",                       "y"},
      {"- x",                             "- x"},
      {"  - x",                           "- x"},
      {"# everything\xa0 else",           ""},
      {"%\n#\n--\n\n y z",                "y z"},
      {"\x85 x",                          "\x85 x"},
      {" \x1f",                           "\x1f"},
  };
  // clang-format on
  for (const Case& c : cases) {
    EXPECT_EQ(results(junk(), c.input), (std::vector<Result<Unit>>{{Unit{}, c.rest}}))
        << ::testing::PrintToString(c.input);
  }
  const std::string withNul(" \0 ", 3);
  EXPECT_EQ(results(junk(), withNul), (std::vector<Result<Unit>>{{Unit{}, std::string("\0 ", 2)}}));
}

TEST(MyParseLib, JunkHandlesLongRunsOfWhitespaceAndComments) {
  std::string text;
  for (int i = 0; i < 100000; ++i) text += " \t\xa0# comment\n-- more\n%\n";
  text += "end";
  EXPECT_EQ(results(junk(), text), (std::vector<Result<Unit>>{{Unit{}, "end"}}));
  EXPECT_EQ(results(junk(), std::string(4 << 20, ' ') + "end"),
            (std::vector<Result<Unit>>{{Unit{}, "end"}}));
}

TEST(MyParseLib, TokenAndSymbolSkipTrailingJunk) {
  struct Case {
    std::string input;
    std::optional<std::string> rest;
  };
  // clang-format off
  const std::vector<Case> cases{
      {"quit#x",       ""},
      {"quit # bye",   ""},
      {"quit -- bye",  ""},
      {"quit % bye",   ""},
      {"quit\xa0",     ""},
      {"quit x",       "x"},
      {"quitter",      "ter"},
      {"quit - x",     "- x"},
      {"quit",         ""},
      {" quit",        std::nullopt},
      {"Quit",         std::nullopt},
      {"qui",          std::nullopt},
  };
  // clang-format on
  for (const Case& c : cases) {
    const auto r = single(symbol("quit"), c.input);
    ASSERT_EQ(r.has_value(), c.rest.has_value()) << ::testing::PrintToString(c.input);
    if (r) {
      EXPECT_EQ(*r, (Result<std::string>{"quit", *c.rest}));
    }
  }
  EXPECT_EQ(single(token(digit()), "7 \n %x\n8"), (Result<char>{'7', "8"}));
  EXPECT_EQ(single(token(stringP("")), "  x"), (Result<std::string>{"", "x"}));
}

}  // namespace
}  // namespace quenlor
