#include "Debug.h"

#include <algorithm>
#include <array>
#include <utility>
#include <vector>

namespace quenlor {

void initialiseLog() noexcept {}

void log(const std::string& /*message*/) noexcept {}

namespace {

using View = std::vector<std::pair<Piece, std::vector<Location>>>;

void normalise(View& view) {
  for (auto& entry : view) std::sort(entry.second.begin(), entry.second.end());
  std::sort(view.begin(), view.end());
}

std::string showView(const View& view) {
  std::string out = "[";
  for (std::size_t i = 0; i < view.size(); ++i) {
    if (i > 0) out += ",";
    out += "((" + showColourName(view[i].first.colour) + "," +
           showPieceTypeName(view[i].first.type) + "),[";
    for (std::size_t j = 0; j < view[i].second.size(); ++j) {
      if (j > 0) out += ",";
      out += showLocation(view[i].second[j]);
    }
    out += "])";
  }
  return out + "]";
}

}  // namespace

std::optional<std::string> boardIntegrityProblems(const State& state) {
  const Board& board = state.getBoard;
  View squareView;
  for (const Piece piece : allPieces) {
    std::vector<Location> locations;
    for (const PlacedPiece& pp : findAllPieces(board)) {
      if (pp.piece == piece) locations.push_back(pp.location);
    }
    squareView.emplace_back(piece, std::move(locations));
  }
  View indexView;
  for (PieceCode code = 0; code < 12; ++code) {
    if (!board.index.hasEntry(code)) continue;
    const Piece piece = pieceOfCode(code);
    indexView.emplace_back(piece, primGetPieceLocs(board.index, piece).toVector());
  }
  normalise(squareView);
  normalise(indexView);
  if (squareView == indexView) return std::nullopt;
  return "board integrity wrong\n" + showView(indexView) + showView(squareView);
}

std::optional<std::string> positionIntegrityProblems(const Position& p) {
  auto wrong = [](const std::string& what) { return "position integrity wrong: " + what; };
  std::array<std::uint64_t, 2> colours{};
  std::array<std::uint64_t, 6> types{};
  for (SquareCode sq = 0; sq < 64; ++sq) {
    const std::uint8_t cell = p.cells[sq];
    if (cell > 12) return wrong("cell " + std::to_string(sq) + " holds " + std::to_string(cell));
    if (cell == 0) continue;
    colours[static_cast<std::size_t>(colourOfCell[cell])] |= squareBit(sq);
    types[static_cast<std::size_t>(typeOfCell[cell])] |= squareBit(sq);
  }
  if (colours != p.byColour) return wrong("colour sets differ from the cells");
  if (types != p.byType) return wrong("type sets differ from the cells");
  if ((p.castleStatus.rights & ~p.castleStatus.present) != 0) {
    return wrong("a castling right without its key");
  }
  if (p.lastMove != noMove && p.cells[packedTo(p.lastMove)] == 0) {
    return wrong("the last move " + niceShowMove(unpackMove(p.lastMove)) +
                 " ends on an empty square");
  }
  return std::nullopt;
}

}  // namespace quenlor
