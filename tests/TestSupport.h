#pragma once
// Helpers shared by the test files: positions, squares and moves from text, readable board
// failures, fatal-error capture, parser results as plain values, the reference data beside the
// project, and running the built programs as subprocesses.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <ostream>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Fen.h"
#include "MyParseLib.h"
#include "Types.h"

namespace quenlor {

// Boards in test failures: the picture and every piece's list.
inline void PrintTo(const Board& board, std::ostream* os) {
  *os << "\n" << niceShowBoard(board);
  for (const Piece piece : allPieces) {
    *os << niceShowPiece(piece) << ":";
    for (const Location loc : findGivenPiece(board, piece).toVector())
      *os << " " << showLocation(loc);
    *os << (board.index.hasEntry(pieceCode(piece)) ? "" : " (no entry)") << "\n";
  }
}

inline void PrintTo(const Location& loc, std::ostream* os) {
  *os << showLocation(loc);
}

}  // namespace quenlor

namespace quenlor::test {

//=== Positions, squares and moves ===//

inline constexpr Piece WK{Colour::White, PieceType::King};
inline constexpr Piece WQ{Colour::White, PieceType::Queen};
inline constexpr Piece WR{Colour::White, PieceType::Rook};
inline constexpr Piece WN{Colour::White, PieceType::Knight};
inline constexpr Piece WP{Colour::White, PieceType::Pawn};
inline constexpr Piece BK{Colour::Black, PieceType::King};
inline constexpr Piece BN{Colour::Black, PieceType::Knight};
inline constexpr Piece BP{Colour::Black, PieceType::Pawn};

using Squares = std::vector<Location>;
using Placements = std::vector<PlacedPiece>;

// Squares just off each edge and corner, further off, and at the ends of the int32 range.
inline const Squares offBoard{
    {0, 5}, {9, 5},   {5, 0},         {5, 9},         {0, 0},
    {9, 9}, {-1, -1}, {INT32_MIN, 4}, {1, INT32_MAX}, {INT32_MAX, INT32_MIN}};

// The state of a FEN that the test knows to be well formed.
inline State fen(const std::string& text) {
  std::string error;
  const std::optional<State> state = stateFromFen(text, &error);
  if (!state) throw std::runtime_error("bad FEN in test: " + text + ": " + error);
  return *state;
}

// White to move on `board`, move 1, no history, no castling rights.
inline State stateWith(const Board& board) {
  return State{Colour::White, 1, History{}, board, CastleStatus{}};
}

// "e2" → (7, 5).
inline Location sq(std::string_view name) {
  return Location{9 - (name[1] - '0'), name[0] - 'a' + 1};
}

// "e2e4" → MovePiece, "a7a8q" → PromotePawn (every type letter k q r n b p is accepted).
inline Move mv(std::string_view text) {
  const Location from = sq(text.substr(0, 2));
  const Location to = sq(text.substr(2, 2));
  if (text.size() == 4) return MovePiece(from, to);
  const std::string_view letters = "kqrnbp";
  return PromotePawn(from, to, static_cast<PieceType>(letters.find(text[4])));
}

// The coordinate texts of a list of moves, joined by single spaces.
template <typename Moves>
std::string moveTexts(const Moves& moves) {
  std::string out;
  for (const Move& m : moves) out += (out.empty() ? "" : " ") + niceShowMove(m);
  return out;
}

// `n` empty rows of a board picture.
inline std::string emptyRows(int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += "........\n";
  return out;
}

//=== Fatal errors ===//

// The message of the fatal error that `action` stops with, or a note that it did not stop.
inline std::string fatalMessage(const std::function<void()>& action) {
  try {
    action();
  } catch (const FatalError& e) {
    return e.what();
  }
  return "<no fatal error>";
}

//=== Texts in failure messages ===//

// A text for a failure message: long texts only by their start and length.
inline std::string brief(const std::string& text) {
  if (text.size() <= 100) return ::testing::PrintToString(text);
  return ::testing::PrintToString(text.substr(0, 60)) + "... (" + std::to_string(text.size()) +
         " bytes)";
}

// Equality of two texts; long texts are reported by their lengths and first difference only.
inline ::testing::AssertionResult sameText(const std::string& actual, const std::string& expected) {
  if (actual == expected) return ::testing::AssertionSuccess();
  if (actual.size() <= 300 && expected.size() <= 300) {
    return ::testing::AssertionFailure() << ::testing::PrintToString(actual) << "\n  expected "
                                         << ::testing::PrintToString(expected);
  }
  std::size_t at = 0;
  while (at < actual.size() && at < expected.size() && actual[at] == expected[at]) ++at;
  return ::testing::AssertionFailure()
         << actual.size() << " bytes, expected " << expected.size() << "; first difference at "
         << at << ": " << ::testing::PrintToString(actual.substr(at, 40)) << " instead of "
         << ::testing::PrintToString(expected.substr(at, 40));
}

//=== Parser results ===//

// A result with its remaining text copied out, so that tables can state it directly.
template <typename T>
using Result = std::pair<T, std::string>;

// Every result of p on the input; each remaining text must be a suffix view of the input.
template <typename T>
std::vector<Result<T>> results(const Parser<T>& p, std::string_view input) {
  std::vector<Result<T>> out;
  for (const auto& [value, rest] : papply(p, input)) {
    EXPECT_EQ(rest.data() + rest.size(), input.data() + input.size());
    out.emplace_back(value, std::string(rest));
  }
  return out;
}

// The single result of p, or nothing when p fails; more than one result fails the test.
template <typename T>
std::optional<Result<T>> single(const Parser<T>& p, std::string_view input) {
  const auto all = results(p, input);
  EXPECT_LE(all.size(), 1U) << "input " << brief(std::string(input));
  if (all.empty()) return std::nullopt;
  return all.front();
}

// An input with the single result expected of a parser, or nothing when it must fail.
template <typename T>
struct SingleCase {
  std::string input;
  std::optional<Result<T>> expected;
};

template <typename T>
void expectSingles(const Parser<T>& p, const std::vector<SingleCase<T>>& cases) {
  for (const SingleCase<T>& c : cases) {
    EXPECT_EQ(single(p, c.input), c.expected) << brief(c.input);
  }
}

// The same for parsers whose value is of no interest: only the rest is stated.
inline void expectRests(
    const Parser<Unit>& p,
    const std::vector<std::pair<std::string, std::optional<std::string>>>& cases) {
  for (const auto& [input, rest] : cases) {
    const auto expected = rest ? std::optional(Result<Unit>{Unit{}, *rest}) : std::nullopt;
    EXPECT_EQ(single(p, input), expected) << brief(input);
  }
}

//=== Reference data ===//

inline std::filesystem::path sharedDir() {
  return QUENLOR_SHARED_DIR;
}

inline std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The data rows of a tab-separated file of the shared reference folder, header skipped.
inline std::vector<std::vector<std::string>> referenceRows(const std::string& name) {
  std::istringstream in(readFile(sharedDir() / "reference" / name));
  std::vector<std::vector<std::string>> rows;
  std::string line;
  std::getline(in, line);  // header
  while (std::getline(in, line)) {
    if (line.empty()) continue;
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1) {
      fields.push_back(line.substr(start, tab - start));
    }
    fields.push_back(line.substr(start));
    rows.push_back(fields);
  }
  return rows;
}

//=== Subprocesses ===//

struct RunResult {
  std::string out;
  std::string err;
  int status = -1;  // exit status, or 128 + signal number
};

// Runs `program args` with `input` on standard input.
inline RunResult runProgram(const std::string& program, const std::string& input,
                            const std::string& args = "") {
  char dirTemplate[] = "/tmp/quenlor-test-XXXXXX";
  const std::filesystem::path dir = mkdtemp(dirTemplate);
  {
    std::ofstream in(dir / "in", std::ios::binary);
    in << input;
  }
  const std::string command = "'" + program + "' " + args + " < '" + (dir / "in").string() +
                              "' > '" + (dir / "out").string() + "' 2> '" + (dir / "err").string() +
                              "'";
  const int raw = std::system(command.c_str());
  RunResult result;
  result.out = readFile(dir / "out");
  result.err = readFile(dir / "err");
  if (WIFEXITED(raw)) result.status = WEXITSTATUS(raw);
  if (WIFSIGNALED(raw)) result.status = 128 + WTERMSIG(raw);
  std::filesystem::remove_all(dir);
  return result;
}

inline RunResult runEngineBinary(const std::string& input) {
  return runProgram(QUENLOR_BINARY, input);
}

}  // namespace quenlor::test
