#include "Main.h"

#include <optional>
#include <string>

#include "AI.h"
#include "Basics.h"
#include "Parser.h"
#include "Program.h"
#include "WinboardInterface.h"

namespace quenlor {

void loop(std::istream& in, std::ostream& out, State state) {
  while (true) {
    const std::optional<InputLine> line = readLine(in, winboardLineLimit);
    if (!line) fatalError("end of input");
    if (line->tooLong) {
      fatalError("Parse error: line longer than " + std::to_string(winboardLineLimit) + " bytes");
    }
    const WinboardCommand command = parseWhole(parseWinboardCommand(), line->text);
    if (const auto* userMove = std::get_if<UserMove>(&command)) {
      requireMoveOnBoard(userMove->move);
      const State afterOpponent = makeMove(state, userMove->move);
      if (const std::optional<Move> reply = cpuMove(afterOpponent)) {
        writeLine(out, moveReply(*reply));
        state = makeMove(afterOpponent, *reply);
      } else {
        writeLine(out, winboardGameOver);
        state = afterOpponent;
      }
    } else if (std::holds_alternative<Protover>(command)) {
      writeLine(out, winboardFeatures);
    } else if (std::holds_alternative<Quit>(command)) {
      writeLine(out, winboardGoodbye);
      return;
    }
    // Every other line is ignored.
  }
}

int runEngine(std::istream& in, std::ostream& out, std::ostream& err) {
  return reportingFatalErrors(err, [&] {
    loop(in, out, newGame());
    return 0;
  });
}

}  // namespace quenlor

#ifndef QUENLOR_NO_MAIN
int main(int argc, char** argv) {
  return quenlor::programMain(argc, argv, "quenlor", quenlor::winboardUsage, quenlor::runEngine,
                              quenlor::Interrupts::Ignored);
}
#endif
