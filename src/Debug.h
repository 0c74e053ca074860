#pragma once
// Debug: the debug-log hooks (inert: nothing is ever written) and the board integrity check,
// the one authority on the two views of a board agreeing, and its counterpart for the working
// form. Uses Types, Basics and Position.

#include <optional>
#include <string>

#include "Basics.h"
#include "Position.h"
#include "Types.h"

namespace quenlor {

// The name the debug log would have; nothing ever opens it.
inline constexpr const char* logFile = "quenlor.debug";

void initialiseLog() noexcept;
void log(const std::string& message) noexcept;

// Hands back `value` without looking at anything.
template <typename Subject, typename Value>
[[nodiscard]] constexpr Value checkIntegrity(const Subject& /*subject*/, Value value) noexcept {
  return value;
}

// Nothing when the square view and the piece-location index of the state's board agree,
// otherwise "board integrity wrong\n" and both views, normalised.
[[nodiscard]] std::optional<std::string> boardIntegrityProblems(const State& state);

// Nothing when the working form agrees with itself: each cell's piece is in its colour's set and
// its type's set and no set holds an empty square or lies in another of its kind, the castling
// rights held are keys present, and the last move (if any) ended on an occupied square;
// otherwise "position integrity wrong: " and the first disagreement found.
[[nodiscard]] std::optional<std::string> positionIntegrityProblems(const Position& position);

}  // namespace quenlor
