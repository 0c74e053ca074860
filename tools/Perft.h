#pragma once
// Perft, the count of the legal-move tree that proves the move generator, for tests, benchmarks
// and the developer tool.

#include <cstdint>

#include "Types.h"

namespace quenlor {

// The number of move sequences of exactly `depth` plies (1 for depth 0).
[[nodiscard]] std::uint64_t perft(const State& state, int depth);

}  // namespace quenlor
