#include "Position.h"

namespace quenlor {

Position positionOf(const State& state) noexcept {
  Position position;
  static_cast<SquareMap&>(position) = state.getBoard.squares;
  position.turn = state.turn;
  position.castleStatus = state.castleStatus;
  const std::optional<Move> last = lastMove(state);
  position.lastMove = (last ? packMove(*last) : std::nullopt).value_or(noMove);
  return position;
}

void applyMove(Position& position, PackedMove move) {
  const Colour mover = position.turn;
  if (const char* error = applyMoveTo<SquareMap>(position, mover, move, position.lastMove)) {
    fatalError(error);
  }
  position.castleStatus = position.castleStatus.without(rightsLost(mover, move));
  position.turn = toggle(mover);
  position.lastMove = move;
}

}  // namespace quenlor
