#pragma once
// Program: what both programs share around their sessions: the process entry, the replies to
// --help and --version, reading and writing whole lines, and the one way a fatal error is
// reported. Standard C++ streams only, apart from the process entry, which a build without its
// own `main` (QUENLOR_NO_MAIN: tests, fuzzing, the browser worker) leaves out.

#include <functional>
#include <istream>
#include <limits>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace quenlor {

// A whole program over its input, output and error streams, returning the exit status.
using Program = std::function<int(std::istream&, std::ostream&, std::ostream&)>;

// The text the program `name` prints for --version or -V ("name version") or for --help or -h
// (`usage`), exit status 0; nothing for any other command line: interfaces start an engine
// without arguments, and other arguments are ignored.
[[nodiscard]] std::optional<std::string> commandLineReply(const std::vector<std::string>& args,
                                                          std::string_view name,
                                                          std::string_view usage);

// A line of input: its text without the terminator (a carriage return before the newline is
// dropped), or, for a line longer than the reader's limit, only that fact.
struct InputLine {
  std::string text;  // empty when too long
  bool tooLong = false;
};

// The next line; a last line without a newline still counts. Nothing at end of input. A line of
// more than `limit` bytes (its carriage return included) is read to its end without being
// kept, so that no input line can take more memory than the limit.
[[nodiscard]] std::optional<InputLine> readLine(
    std::istream& in, std::size_t limit = std::numeric_limits<std::size_t>::max());

// Writes one whole line at once and flushes it, so the interface never sees part of it; a
// reader that went away is a fatal error.
void writeLine(std::ostream& out, const std::string& text);

// Runs a whole program, `body`, and returns its exit status; a fatal error is reported the one
// way, "quenlor: " and the message on `err`, with status 1 (a line too long to hold counts as
// "out of memory").
int reportingFatalErrors(std::ostream& err, const std::function<int()>& body);

// What SIGINT does to a program: xboard sends it to interrupt an engine's thinking, which
// means nothing to an engine that answers at once, so there it is ignored; for a UCI engine it
// keeps its usual meaning and ends the process.
enum class Interrupts { Ignored, End };

// The process entry of both programs: prints `commandLineReply`'s text for --help or --version;
// otherwise sets the standard streams up for an interface (every line written at once, SIGINT
// as `interrupts` says, a closed pipe a failed write) and returns `program`'s exit status on
// them.
int programMain(int argc, char** argv, std::string_view name, std::string_view usage,
                const Program& program, Interrupts interrupts);

}  // namespace quenlor
