#pragma once
// Helpers for the game-model and rules tests: squares and moves from coordinate text, a board
// as FEN placement text, castling rights as FEN text, fatal-error capture and the rows of the
// tab-separated reference files.

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "TestSupport.h"
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
  const auto type = static_cast<PieceType>(letters.find(text[4]));
  return PromotePawn(from, to, type);
}

// The coordinate texts of a list of moves, joined by single spaces.
template <typename Moves>
std::string moveTexts(const Moves& moves) {
  std::string out;
  for (const Move& m : moves) out += (out.empty() ? "" : " ") + niceShowMove(m);
  return out;
}

// The board as the placement field of a FEN ("rnbqkbnr/pppppppp/8/...").
inline std::string placement(const Board& board) {
  std::string out;
  for (std::int32_t row = 1; row <= 8; ++row) {
    int gap = 0;
    for (std::int32_t column = 1; column <= 8; ++column) {
      const std::optional<Piece> content = getSquare(board, {row, column});
      if (!content) {
        ++gap;
        continue;
      }
      if (gap > 0) out += std::to_string(gap);
      gap = 0;
      out += niceShowPiece(*content);
    }
    if (gap > 0) out += std::to_string(gap);
    if (row < 8) out += '/';
  }
  return out;
}

// The castling rights held, as the castling field of a FEN ("KQkq", "-").
inline std::string rightsText(CastleStatus status) {
  std::string out;
  if (status.holds(BoardSide::KingSide, Colour::White)) out += 'K';
  if (status.holds(BoardSide::QueenSide, Colour::White)) out += 'Q';
  if (status.holds(BoardSide::KingSide, Colour::Black)) out += 'k';
  if (status.holds(BoardSide::QueenSide, Colour::Black)) out += 'q';
  return out.empty() ? "-" : out;
}

// The message of the fatal error that `action` stops with, or a note that it did not stop.
inline std::string fatalMessage(const std::function<void()>& action) {
  try {
    action();
  } catch (const FatalError& e) {
    return e.what();
  }
  return "<no fatal error>";
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

}  // namespace quenlor::test
