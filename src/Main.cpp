#include "Main.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <new>
#include <string>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "AI.h"
#include "Basics.h"
#include "Parser.h"
#include "WinboardInterface.h"

namespace quenlor {

namespace {

// Writes one whole line at once; a reader that went away is a fatal error, not a signal.
void writeLine(std::ostream& out, const std::string& text) {
  out << text + "\n" << std::flush;
  if (!out) fatalError("cannot write to standard output");
}

// The next line without its terminator (a carriage return before the newline is dropped); a
// last line without a newline still counts. End of input before a line is a fatal error.
std::string readLine(std::istream& in) {
  std::string line;
  if (!std::getline(in, line)) fatalError("end of input");
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

}  // namespace

std::optional<std::string> commandLineReply(const std::vector<std::string>& args,
                                            std::string_view name, std::string_view usage) {
  for (const std::string& arg : args) {
    if (arg == "--version" || arg == "-V") return std::string(name) + " " QUENLOR_VERSION "\n";
    if (arg == "--help" || arg == "-h") return std::string(usage);
  }
  return std::nullopt;
}

void loop(std::istream& in, std::ostream& out, State state) {
  while (true) {
    const std::string line = readLine(in);
    const WinboardCommand command = parseWhole(parseWinboardCommand(), line);
    if (const auto* userMove = std::get_if<UserMove>(&command)) {
      requireMoveOnBoard(userMove->move);
      const State afterOpponent = makeMove(state, userMove->move);
      if (const std::optional<Move> reply = cpuMove(afterOpponent)) {
        writeLine(out, "move " + niceShowMove(*reply));
        state = makeMove(afterOpponent, *reply);
      } else {
        writeLine(out, "telluser \"Game over - I can't make any legal moves\"");
        state = afterOpponent;
      }
    } else if (std::holds_alternative<Protover>(command)) {
      writeLine(out, winboardFeatures);
    } else if (std::holds_alternative<Quit>(command)) {
      writeLine(out, "Goodbye");
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

int programMain(int argc, char** argv, std::string_view name, std::string_view usage,
                const Program& program) {
  if (const auto text = commandLineReply({argv + std::min(argc, 1), argv + argc}, name, usage)) {
    std::fputs(text->c_str(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
  }
  // Interfaces interrupt engines with SIGINT (xboard does before moves); an engine that answers
  // at once never thinks while it waits, so the signal means nothing to it. A closed pipe must
  // show up as a failed write (exit status 1), not kill the process.
  std::signal(SIGINT, SIG_IGN);
#ifdef SIGPIPE
  std::signal(SIGPIPE, SIG_IGN);
#endif
#ifdef _WIN32
  // Binary mode: the same bytes in and out as elsewhere ("\n" stays "\n"; CR and Ctrl-Z reach
  // the reader, which drops a CR before the newline itself).
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
#endif
  // Every line must reach the interface at once. Standard input keeps its buffer: the engine is
  // its only reader, so buffering it changes nothing but the speed of reading long lines.
  std::ios::sync_with_stdio(false);
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  std::setvbuf(stderr, nullptr, _IONBF, 0);
  std::cout << std::unitbuf;
  std::cerr << std::unitbuf;
  return program(std::cin, std::cout, std::cerr);
}

}  // namespace quenlor

#ifndef QUENLOR_NO_MAIN
int main(int argc, char** argv) {
  return quenlor::programMain(argc, argv, "quenlor", quenlor::winboardUsage, quenlor::runEngine);
}
#endif
