#include "Program.h"

#include <new>

#include "Types.h"

#ifndef QUENLOR_NO_MAIN
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <iostream>
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif
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

std::optional<InputLine> readLine(std::istream& in, std::size_t limit) {
  InputLine line;
  if (limit == std::numeric_limits<std::size_t>::max()) {
    // No limit: the library's scan for the newline is the fastest over long lines.
    if (!std::getline(in, line.text)) return std::nullopt;
  } else {
    using Traits = std::istream::traits_type;
    if (!in.good()) return std::nullopt;
    std::streambuf& buffer = *in.rdbuf();
    bool any = false;
    while (true) {
      const Traits::int_type c = buffer.sbumpc();
      if (Traits::eq_int_type(c, Traits::eof())) {
        in.setstate(any ? std::ios::eofbit : std::ios::eofbit | std::ios::failbit);
        if (!any) return std::nullopt;
        break;
      }
      any = true;
      if (Traits::to_char_type(c) == '\n') break;
      if (line.text.size() < limit) {
        line.text.push_back(Traits::to_char_type(c));
      } else if (!line.tooLong) {
        line.tooLong = true;
        line.text = std::string();  // gives the memory back while the rest is skipped
      }
    }
  }
  if (!line.text.empty() && line.text.back() == '\r') line.text.pop_back();
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
                const Program& program, Interrupts interrupts) {
  if (const auto text = commandLineReply({argv + std::min(argc, 1), argv + argc}, name, usage)) {
    std::fputs(text->c_str(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
  }
  // A closed pipe must show up as a failed write (exit status 1), not kill the process.
  std::signal(SIGINT, interrupts == Interrupts::Ignored ? SIG_IGN : SIG_DFL);
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
#endif

}  // namespace quenlor
