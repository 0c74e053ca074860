#pragma once
// Parser: the coordinate move notation ("e2e4", "e7e8q"), running a parser over a whole text with
// its two fatal outcomes, the string literals of error messages and of input quoted in replies,
// and replaying a game from move words. Uses MyParseLib, Types and Basics.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "Basics.h"
#include "MyParseLib.h"
#include "Types.h"

namespace quenlor {

// A lower-case letter and a number: row 9 − number, column letter − 96; no range check.
[[nodiscard]] Parser<Location> parseLocation();
// The letter in lower case or, failing that, in upper case; the value is `type`.
[[nodiscard]] Parser<PieceType> tryPiece(char letter, PieceType type);
// q, r, n, b, k, p in that order, either case.
[[nodiscard]] Parser<PieceType> parsePieceType();
// Two squares and an optional piece letter; text after the move is left alone.
[[nodiscard]] Parser<Move> parseMove();

// A text as a double-quoted literal with every byte spelled unambiguously.
[[nodiscard]] std::string showStringLiteral(std::string_view text);

// A text from the input inside a message: a literal as above, cut short after `shown` bytes
// with the whole length named, so that no input can make a message long or unreadable.
[[nodiscard]] std::string quoteInput(std::string_view text, std::size_t shown = 60);

// How many bytes of the unconsumed text a "Parse error: " message quotes before cutting it short.
inline constexpr std::size_t parseErrorShown = 256;

// The display forms used inside "Parse error: " messages.
[[nodiscard]] inline std::string display(const Move& move) {
  return showMoveConstructor(move);
}
[[nodiscard]] inline std::string display(const Location& loc) {
  return showLocation(loc);
}
[[nodiscard]] inline std::string display(PieceType type) {
  return showPieceTypeName(type);
}
[[nodiscard]] inline std::string display(std::int32_t n) {
  return std::to_string(n);
}

// The `$$` operation: the single complete result of p on the text, or a fatal stop with
// "Couldn't parse any of the input" (no result) or "Parse error: " and the results list, each
// unconsumed text quoted up to `parseErrorShown` bytes.
template <typename T>
[[nodiscard]] T parseWhole(const Parser<T>& p, std::string_view text) {
  ParseResults<T> results = p(text);
  if (results.empty()) fatalError("Couldn't parse any of the input");
  if (results.size() > 1 || !results.front().second.empty()) {
    std::string message = "Parse error: [";
    for (std::size_t i = 0; i < results.size(); ++i) {
      if (i > 0) message += ',';
      message += '(';
      message += display(results[i].first);
      message += ',';
      message += quoteInput(results[i].second, parseErrorShown);
      message += ')';
    }
    message += ']';
    fatalError(message);
  }
  return std::move(results.front().first);
}

// Whether both squares of a move are on the board.
[[nodiscard]] bool moveOnBoard(Move move) noexcept;
// Stops the program with "Move off the board: " unless both squares are on the board.
void requireMoveOnBoard(Move move);

// Replays a game written as move words separated by white space, from the starting position.
// Every word is read and checked before any move is applied.
[[nodiscard]] State openWith(std::string_view text);

}  // namespace quenlor
