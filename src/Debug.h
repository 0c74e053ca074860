#pragma once
// Debug: the debug-log hooks (inert: nothing is ever written) and the board integrity check,
// the one authority on the two views of a board agreeing. Uses Types and Basics.

#include <optional>
#include <string>

#include "Basics.h"
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

}  // namespace quenlor
