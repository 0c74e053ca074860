#pragma once
// The fixed suite of positions the benchmarks search, and the bench signature: one number folding
// the root list (moves and scores) the engine gives for every suite position. The search is
// deterministic, so the signature changes exactly when the engine's behaviour changes.

#include <cstdint>
#include <string>
#include <vector>

namespace quenlor {

[[nodiscard]] const std::vector<std::string>& benchSuite();
[[nodiscard]] std::uint64_t benchSignature();

}  // namespace quenlor
