#include "Program.h"

#include <new>

#include "Types.h"

#ifndef QUENLOR_NO_MAIN
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <iostream>
#endif

namespace quenlor {

std::optional<std::string> commandLineReply(const std::vector<std::string>& args,
                                            std::string_view name, std::string_view usage) {
  for (const std::string& arg : args) {
    if (arg == "--version" || arg == "-V") return std::string(name) + " " QUENLOR_VERSION "\n";
    if (arg == "--help" || arg == "-h") return std::string(usage);
  }
  return std::nullopt;
}

std::optional<std::string> readLine(std::istream& in) {
  std::string line;
  if (!std::getline(in, line)) return std::nullopt;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

void writeLine(std::ostream& out, const std::string& text) {
  out << text + "\n" << std::flush;
  if (!out) fatalError("cannot write to standard output");
}

int reportingFatalErrors(std::ostream& err, const std::function<int()>& body) {
  std::string message;
  try {
    return body();
  } catch (const FatalError& e) {
    message = e.what();
  } catch (const std::bad_alloc&) {
    message = "out of memory";
  }
  err << "quenlor: " + message + "\n" << std::flush;
  return 1;
}

#ifndef QUENLOR_NO_MAIN
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
  std::signal(SIGPIPE, SIG_IGN);
  // Every line must reach the interface at once. Standard input keeps its buffer: the engine is
  // its only reader, so buffering it changes nothing but the speed of reading long lines.
  std::ios::sync_with_stdio(false);
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  std::setvbuf(stderr, nullptr, _IONBF, 0);
  std::cout << std::unitbuf;
  std::cerr << std::unitbuf;
  return program(std::cin, std::cout, std::cerr);
}
#endif

}  // namespace quenlor
