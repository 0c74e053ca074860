// Fuzz target: arbitrary text through the move parser, its whole-text run and the replay of a
// game from move words, each compared with the reference reading of the notation.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Basics.h"
#include "FuzzSupport.h"
#include "Parser.h"

namespace {

using namespace quenlor;
using namespace quenlor::fuzz;

bool isWordSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r' ||
         static_cast<unsigned char>(c) == 0xA0;
}

// The message the whole-text run of the move parser stops with, or nothing when `word` is
// exactly one move.
std::optional<std::string> wholeMoveFailure(std::string_view word) {
  const auto move = readMove(word, 0);
  if (!move) return "Couldn't parse any of the input";
  if (move->second == word.size()) return std::nullopt;
  return "Parse error: [(" + refMoveConstructor(move->first) + "," +
         refQuotedRest(word.substr(move->second)) + ")]";
}

void checkMoveParser(std::string_view text) {
  const ParseResults<Move> results = papply(parseMove(), text);
  const auto expected = readMove(text, 0);
  check(results.size() == (expected ? 1U : 0U), "parseMove result count differs");
  if (expected) {
    check(results.front().first == expected->first, "parseMove value differs");
    check(results.front().second.data() == text.data() + expected->second,
          "parseMove consumed a different prefix");
  }
  const std::optional<std::string> failure = wholeMoveFailure(text);
  try {
    const Move move = parseWhole(parseMove(), text);
    check(!failure, "parseWhole accepted text the reference rejects: " + failure.value_or(""));
    check(move == expected->first, "parseWhole returned another move");
  } catch (const FatalError& e) {
    check(failure && e.what() == *failure, std::string("parseWhole stopped with ") + e.what() +
                                               " instead of " + failure.value_or("a move"));
  }
}

bool sameState(const State& a, const State& b) {
  return a.turn == b.turn && a.moveNum == b.moveNum && a.reversedHistory == b.reversedHistory &&
         a.getBoard == b.getBoard && a.castleStatus == b.castleStatus;
}

// Replays the words as the reference does: every word read and checked first, then the moves
// applied from a new game. Either the state or the message of the first failure.
std::pair<std::optional<State>, std::string> referenceReplay(std::string_view text) {
  std::vector<Move> moves;
  std::size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && isWordSpace(text[i])) ++i;
    std::size_t end = i;
    while (end < text.size() && !isWordSpace(text[end])) ++end;
    if (end > i) {
      const std::string_view word = text.substr(i, end - i);
      if (const auto failure = wholeMoveFailure(word)) return {std::nullopt, *failure};
      const Move move = readMove(word, 0)->first;
      if (!inBoard(move.from) || !inBoard(move.to)) {
        return {std::nullopt, "Move off the board: " + refMoveText(move)};
      }
      moves.push_back(move);
    }
    i = end;
  }
  try {
    State state = newGame();
    for (const Move& move : moves) state = makeMove(state, move);
    return {state, ""};
  } catch (const FatalError& e) {
    return {std::nullopt, e.what()};
  }
}

void checkOpenWith(std::string_view text) {
  const auto [expected, message] = referenceReplay(text);
  try {
    const State state = openWith(text);
    check(expected.has_value(), "openWith succeeded where the reference stops with " + message);
    check(sameState(state, *expected), "openWith reached another state");
  } catch (const FatalError& e) {
    check(!expected && e.what() == message, std::string("openWith stopped with ") + e.what() +
                                                " instead of " +
                                                (expected ? std::string("a state") : message));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  checkMoveParser(text);
  checkOpenWith(text);
  return 0;
}
