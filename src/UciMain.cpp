#include "UciMain.h"

#include <type_traits>
#include <variant>

#include "Basics.h"
#include "Parser.h"
#include "Program.h"
#include "UciInterface.h"

namespace quenlor {

namespace {

void writeLines(std::ostream& out, const std::vector<std::string>& lines) {
  for (const std::string& line : lines) writeLine(out, line);
}

}  // namespace

UciSession::UciSession() : state_(newGame()) {}

bool UciSession::handleLine(std::string_view line, std::ostream& out) {
  const UciCommand command = readUciCommand(line);
  bool goOn = true;
  std::visit(
      [&](const auto& c) {
        using C = std::decay_t<decltype(c)>;
        if constexpr (std::is_same_v<C, UciHello>) {
          writeLines(out, uciIdentification());
        } else if constexpr (std::is_same_v<C, IsReady>) {
          writeLine(out, "readyok");
        } else if constexpr (std::is_same_v<C, UciNewGame>) {
          state_ = newGame();
        } else if constexpr (std::is_same_v<C, SetOption>) {
          if (const std::optional<std::string> problem = applyOption(c, options_)) {
            writeLine(out, infoString(*problem));
          }
        } else if constexpr (std::is_same_v<C, PositionCommand>) {
          PositionSetUp setUp = setUpPosition(c);
          state_ = std::move(setUp.state);
          if (setUp.problem) writeLine(out, infoString(*setUp.problem));
        } else if constexpr (std::is_same_v<C, GoCommand>) {
          // Every "go" gets its own bestmove: one still held back is sent first.
          writeLines(out, held_);
          held_.clear();
          std::vector<std::string> closing = searchAndReport(state_, c, options_, out);
          if (c.infinite || c.ponder) {
            held_ = std::move(closing);
            pondering_ = c.ponder && !c.infinite;
          } else {
            writeLines(out, closing);
          }
        } else if constexpr (std::is_same_v<C, UciStop>) {
          writeLines(out, held_);
          held_.clear();
        } else if constexpr (std::is_same_v<C, PonderHit>) {
          // The ponder search becomes a normal one, which answers at once; an infinite search
          // stays infinite.
          if (pondering_) {
            writeLines(out, held_);
            held_.clear();
          }
        } else if constexpr (std::is_same_v<C, UciQuit>) {
          finish(out);
          goOn = false;
        } else if constexpr (std::is_same_v<C, Malformed>) {
          writeLine(out, infoString(c.reason));
        } else if constexpr (std::is_same_v<C, Unsupported>) {
          writeLine(out, infoString("unsupported command " + quoteInput(c.word) + " ignored"));
        } else if constexpr (std::is_same_v<C, UciUnknown>) {
          writeLine(out, infoString("unknown command " + quoteInput(c.word) + " ignored"));
        }
        // `Ignored`: nothing to answer.
      },
      command);
  return goOn;
}

void UciSession::finish(std::ostream& out) {
  writeLines(out, held_);
  held_.clear();
}

int runUci(std::istream& in, std::ostream& out, std::ostream& err) {
  return reportingFatalErrors(err, [&] {
    UciSession session;
    while (const std::optional<InputLine> line = readLine(in, uciLineLimit)) {
      if (line->tooLong) {
        writeLine(
            out, infoString("line longer than " + std::to_string(uciLineLimit) + " bytes ignored"));
      } else if (!session.handleLine(line->text, out)) {
        return 0;
      }
    }
    session.finish(out);
    return 0;
  });
}

}  // namespace quenlor

#ifndef QUENLOR_NO_MAIN
int main(int argc, char** argv) {
  return quenlor::programMain(argc, argv, "quenlor-uci", quenlor::uciUsage, quenlor::runUci,
                              quenlor::Interrupts::End);
}
#endif
