#pragma once
// MyParseLib: a small parser-combinator toolkit. A parser is a value wrapping a function from the
// remaining input (a view into a text the caller keeps alive) to the ordered list of its
// (value, rest) results; an empty list is failure. Uses only the standard library.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quenlor {

template <typename T>
using ParseResult = std::pair<T, std::string_view>;
template <typename T>
using ParseResults = std::vector<ParseResult<T>>;

// The value of parsers that only consume text.
struct Unit {
  bool operator==(const Unit&) const = default;
};

// The set of characters a one-character parser accepts, as a table over the 256 byte values.
using CharClass = std::array<bool, 256>;

template <typename T>
class Parser {
 public:
  using Value = T;
  using Function = std::function<ParseResults<T>(std::string_view)>;

  explicit Parser(Function f) : function_(std::make_shared<const Function>(std::move(f))) {}
  // A one-character parser that also carries its character class, so that repetitions of it
  // can scan a run of characters in one tight loop.
  Parser(Function f, const CharClass& charClass)
      : function_(std::make_shared<const Function>(std::move(f))),
        charClass_(std::make_shared<const CharClass>(charClass)) {}

  [[nodiscard]] ParseResults<T> operator()(std::string_view input) const {
    return (*function_)(input);
  }
  [[nodiscard]] const CharClass* charClass() const noexcept { return charClass_.get(); }

 private:
  std::shared_ptr<const Function> function_;
  std::shared_ptr<const CharClass> charClass_;
};

//=== Core operations ===//

template <typename T>
[[nodiscard]] ParseResults<T> papply(const Parser<T>& p, std::string_view input) {
  return p(input);
}

// One result, the value, consuming nothing.
template <typename T>
[[nodiscard]] Parser<T> returnP(T value) {
  return Parser<T>([value = std::move(value)](std::string_view input) {
    return ParseResults<T>{{value, input}};
  });
}

template <typename T>
[[nodiscard]] Parser<T> mzero() {
  return Parser<T>([](std::string_view) { return ParseResults<T>{}; });
}

// For each result of p in order, all results of f(value) on its rest, concatenated.
template <typename T, typename F>
[[nodiscard]] auto bind(Parser<T> p, F f) -> decltype(f(std::declval<T>())) {
  using U = typename decltype(f(std::declval<T>()))::Value;
  return Parser<U>([p, f](std::string_view input) {
    ParseResults<U> out;
    for (auto& [value, rest] : p(input)) {
      for (auto& result : f(std::move(value))(rest)) out.push_back(std::move(result));
    }
    return out;
  });
}

// q on every rest of p, ignoring p's value.
template <typename T, typename U>
[[nodiscard]] Parser<U> then(Parser<T> p, Parser<U> q) {
  return bind(p, [q](const T&) { return q; });
}

// All results of p, then all results of q.
template <typename T>
[[nodiscard]] Parser<T> mplus(Parser<T> p, Parser<T> q) {
  return Parser<T>([p, q](std::string_view input) {
    ParseResults<T> out = p(input);
    for (auto& result : q(input)) out.push_back(std::move(result));
    return out;
  });
}

// Deterministic choice (`+++`): p's first result, else q's first result; q runs only if p fails.
template <typename T>
[[nodiscard]] Parser<T> orElse(Parser<T> p, Parser<T> q) {
  return Parser<T>([p, q](std::string_view input) {
    ParseResults<T> out = p(input);
    if (out.empty()) out = q(input);
    if (out.size() > 1) out.resize(1);
    return out;
  });
}

// Deterministic choice among many: the first result of the first alternative that succeeds;
// the ones after it do not run. Fails when all do (and when there are none).
template <typename T>
[[nodiscard]] Parser<T> choice(std::vector<Parser<T>> alternatives) {
  return Parser<T>([alternatives = std::move(alternatives)](std::string_view input) {
    for (const Parser<T>& p : alternatives) {
      ParseResults<T> out = p(input);
      if (out.empty()) continue;
      out.erase(out.begin() + 1, out.end());
      return out;
    }
    return ParseResults<T>{};
  });
}

//=== Characters and text ===//

[[nodiscard]] Parser<char> item();
[[nodiscard]] Parser<char> sat(std::function<bool(char)> predicate);
[[nodiscard]] Parser<char> charP(char c);
[[nodiscard]] Parser<char> digit();
// Exactly the characters of s (case-sensitive).
[[nodiscard]] Parser<std::string> stringP(std::string s);

//=== Repetition ===//

namespace parsedetail {

// Applies p as often as it succeeds, taking its first result each time. A parser that succeeds
// without consuming would repeat for ever; the repetition stops there instead.
template <typename T>
std::pair<std::vector<T>, std::string_view> repeat(const Parser<T>& p, std::string_view input) {
  std::vector<T> values;
  while (true) {
    ParseResults<T> results = p(input);
    if (results.empty() || results.front().second.size() == input.size()) break;
    values.push_back(std::move(results.front().first));
    input = results.front().second;
  }
  return {std::move(values), input};
}

// The longest prefix of characters in the class.
inline std::size_t scanClass(const CharClass& charClass, std::string_view input) {
  std::size_t n = 0;
  while (n < input.size() && charClass[static_cast<unsigned char>(input[n])]) ++n;
  return n;
}

}  // namespace parsedetail

// p as often as it succeeds (possibly never); exactly one result.
template <typename T>
[[nodiscard]] Parser<std::vector<T>> many(Parser<T> p) {
  return Parser<std::vector<T>>([p](std::string_view input) {
    auto [values, rest] = parsedetail::repeat(p, input);
    return ParseResults<std::vector<T>>{{std::move(values), rest}};
  });
}

// p at least once, then as often as it succeeds.
template <typename T>
[[nodiscard]] Parser<std::vector<T>> many1(Parser<T> p) {
  return Parser<std::vector<T>>([p](std::string_view input) {
    auto [values, rest] = parsedetail::repeat(p, input);
    if (values.empty()) return ParseResults<std::vector<T>>{};
    return ParseResults<std::vector<T>>{{std::move(values), rest}};
  });
}

// Repetitions of a one-character parser give their characters as text.
[[nodiscard]] Parser<std::string> many(Parser<char> p);
[[nodiscard]] Parser<std::string> many1(Parser<char> p);

// p applied as often as it succeeds and consumes, taking its first result each time, its values
// folded into `init` by `f` as they come (acc = f(acc, value)), so that nothing is kept per
// repetition; exactly one result.
template <typename T, typename A, typename F>
[[nodiscard]] Parser<A> foldMany(Parser<T> p, A init, F f) {
  return Parser<A>([p, init, f](std::string_view input) {
    A acc = init;
    while (true) {
      ParseResults<T> results = p(input);
      if (results.empty() || results.front().second.size() == input.size()) break;
      acc = f(std::move(acc), std::move(results.front().first));
      input = results.front().second;
    }
    return ParseResults<A>{{std::move(acc), input}};
  });
}

// A left-associative chain: p, then repeatedly op and p, the value becoming f(value, y). The
// longest chain is taken; an op whose following p fails is left unconsumed.
template <typename T>
[[nodiscard]] Parser<T> chainl1(Parser<T> p, Parser<std::function<T(T, T)>> op) {
  return Parser<T>([p, op](std::string_view input) {
    ParseResults<T> out;
    for (auto [value, rest] : p(input)) {
      while (true) {
        bool extended = false;
        for (auto& [f, afterOp] : op(rest)) {
          ParseResults<T> next = p(afterOp);
          if (next.empty()) continue;
          value = f(value, next.front().first);
          rest = next.front().second;
          extended = true;
          break;
        }
        if (!extended) break;
      }
      out.emplace_back(std::move(value), rest);
    }
    return out;
  });
}

//=== Numbers, whitespace and comments ===//

// One or more decimal digits folded as 10·m + n in 32 bits, wrapping around on overflow.
[[nodiscard]] Parser<std::int32_t> nat();
// An optional "-" before `nat`; the negation wraps around too.
[[nodiscard]] Parser<std::int32_t> intP();
// The whitespace characters: space, \t, \n, \v, \f, \r and the no-break space 0xA0.
[[nodiscard]] bool isSpace(char c);
// One or more whitespace characters.
[[nodiscard]] Parser<Unit> spaces();
// "%", "#" or "--", then everything up to (not including) the next newline.
[[nodiscard]] Parser<Unit> comment();
// Any run of whitespace and comments; never fails.
[[nodiscard]] Parser<Unit> junk();

// p followed by junk, keeping p's value.
template <typename T>
[[nodiscard]] Parser<T> token(Parser<T> p) {
  const Parser<Unit> j = junk();
  return bind(p, [j](const T& value) { return then(j, returnP(value)); });
}

[[nodiscard]] Parser<std::string> symbol(std::string s);
[[nodiscard]] Parser<std::int32_t> integer();

//=== Words ===//

// For line-based command languages, where a word is a run of characters that are not
// whitespace (`isSpace`). Their values are views into the input; none consumes the whitespace
// after it. They scan directly, as they may run over lines of millions of words.

// One word.
[[nodiscard]] Parser<std::string_view> word();
// Exactly the word `k`: its characters, followed by whitespace or the end of the input.
[[nodiscard]] Parser<Unit> keyword(std::string k);
// The words before the first word that is exactly `stop` (`stop` itself excluded), or before the
// end of the input: one text from the first word to the end of the last, inner whitespace kept.
// Whitespace before the first word is consumed; the rest starts at `stop`, or is empty. Never
// fails; with no word before `stop`, the text is empty.
[[nodiscard]] Parser<std::string_view> textUntil(std::string stop);

}  // namespace quenlor
