#include "MyParseLib.h"

namespace quenlor {

Parser<char> item() {
  return sat([](char) { return true; });
}

Parser<char> sat(std::function<bool(char)> predicate) {
  // The predicate is a pure test of one character, so it is tabulated once over all 256 bytes.
  CharClass accepted{};
  for (int byte = 0; byte < 256; ++byte) {
    accepted[static_cast<std::size_t>(byte)] = predicate(static_cast<char>(byte));
  }
  return Parser<char>(
      [accepted](std::string_view input) {
        if (input.empty() || !accepted[static_cast<unsigned char>(input.front())]) {
          return ParseResults<char>{};
        }
        return ParseResults<char>{{input.front(), input.substr(1)}};
      },
      accepted);
}

Parser<char> charP(char c) {
  return sat([c](char x) { return x == c; });
}

Parser<char> digit() {
  return sat([](char x) { return x >= '0' && x <= '9'; });
}

Parser<std::string> stringP(std::string s) {
  return Parser<std::string>([s](std::string_view input) {
    if (input.substr(0, s.size()) != s) return ParseResults<std::string>{};
    return ParseResults<std::string>{{s, input.substr(s.size())}};
  });
}

Parser<std::string> many(Parser<char> p) {
  return Parser<std::string>([p](std::string_view input) {
    if (const auto* charClass = p.charClass()) {
      const std::size_t n = parsedetail::scanClass(*charClass, input);
      return ParseResults<std::string>{{std::string(input.substr(0, n)), input.substr(n)}};
    }
    auto [values, rest] = parsedetail::repeat(p, input);
    return ParseResults<std::string>{{std::string(values.begin(), values.end()), rest}};
  });
}

Parser<std::string> many1(Parser<char> p) {
  const Parser<std::string> any = many(p);
  return Parser<std::string>([any](std::string_view input) {
    ParseResults<std::string> out = any(input);
    if (out.front().first.empty()) out.clear();
    return out;
  });
}

Parser<std::int32_t> nat() {
  // The chain of digits folded by 10·m + n, scanned in one loop; unsigned arithmetic gives the
  // 32-bit wrap-around without undefined behaviour.
  return Parser<std::int32_t>([](std::string_view input) {
    std::size_t n = 0;
    std::uint32_t value = 0;
    while (n < input.size() && input[n] >= '0' && input[n] <= '9') {
      value = value * 10U + static_cast<std::uint32_t>(input[n] - '0');
      ++n;
    }
    if (n == 0) return ParseResults<std::int32_t>{};
    return ParseResults<std::int32_t>{{static_cast<std::int32_t>(value), input.substr(n)}};
  });
}

Parser<std::int32_t> intP() {
  const Parser<std::int32_t> negative =
      then(charP('-'), bind(nat(), [](std::int32_t n) {
             return returnP(static_cast<std::int32_t>(0U - static_cast<std::uint32_t>(n)));
           }));
  return orElse(negative, nat());
}

bool isSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r' ||
         static_cast<unsigned char>(c) == 0xA0;
}

Parser<Unit> spaces() {
  return then(many1(sat(isSpace)), returnP(Unit{}));
}

Parser<Unit> comment() {
  const Parser<std::string> marker = orElse(orElse(stringP("%"), stringP("#")), stringP("--"));
  return then(marker, then(many(sat([](char c) { return c != '\n'; })), returnP(Unit{})));
}

Parser<Unit> junk() {
  static const Parser<Unit> parser = then(many(orElse(spaces(), comment())), returnP(Unit{}));
  return parser;
}

Parser<std::string> symbol(std::string s) {
  return token(stringP(std::move(s)));
}

Parser<std::int32_t> integer() {
  return token(intP());
}

namespace {

// The length of the word at the start of `input` (0 when it starts with whitespace or is empty).
std::size_t wordLength(std::string_view input) {
  std::size_t n = 0;
  while (n < input.size() && !isSpace(input[n])) ++n;
  return n;
}

// The length of the whitespace at the start of `input`.
std::size_t spaceLength(std::string_view input) {
  std::size_t n = 0;
  while (n < input.size() && isSpace(input[n])) ++n;
  return n;
}

}  // namespace

Parser<std::string_view> word() {
  return Parser<std::string_view>([](std::string_view input) {
    const std::size_t n = wordLength(input);
    if (n == 0) return ParseResults<std::string_view>{};
    return ParseResults<std::string_view>{{input.substr(0, n), input.substr(n)}};
  });
}

Parser<Unit> keyword(std::string k) {
  return Parser<Unit>([k = std::move(k)](std::string_view input) {
    if (k.empty() || !input.starts_with(k) ||
        (input.size() > k.size() && !isSpace(input[k.size()]))) {
      return ParseResults<Unit>{};
    }
    return ParseResults<Unit>{{Unit{}, input.substr(k.size())}};
  });
}

Parser<std::string_view> textUntil(std::string stop) {
  return Parser<std::string_view>([stop = std::move(stop)](std::string_view input) {
    const std::size_t start = spaceLength(input);
    std::size_t end = start;   // just after the last word taken
    std::size_t next = start;  // where the next word starts
    while (next < input.size()) {
      const std::size_t length = wordLength(input.substr(next));
      if (input.substr(next, length) == stop) break;
      end = next + length;
      next = end + spaceLength(input.substr(end));
    }
    return ParseResults<std::string_view>{{input.substr(start, end - start), input.substr(next)}};
  });
}

}  // namespace quenlor
