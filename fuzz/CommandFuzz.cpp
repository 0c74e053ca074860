// Fuzz target: one input line of arbitrary bytes through the command parser and the whole-text
// run, compared with the reference reading of the grammar. A parse error must carry the exact
// results list, and its string literal must read back to the unconsumed text.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

#include "FuzzSupport.h"
#include "Parser.h"
#include "WinboardInterface.h"

namespace {

using namespace quenlor;
using namespace quenlor::fuzz;

// The display form of a command, built from the reference texts.
std::string refDisplay(const WinboardCommand& command) {
  if (const auto* c = std::get_if<UserMove>(&command)) {
    return "UserMove (" + refMoveConstructor(c->move) + ")";
  }
  if (const auto* c = std::get_if<Protover>(&command)) {
    const std::string n = std::to_string(c->version);
    return c->version < 0 ? "Protover (" + n + ")" : "Protover " + n;
  }
  if (std::holds_alternative<Quit>(command)) return "Quit";
  const std::string& line = std::get<Unknown>(command).line;
  check(decodeLiteral(showStringLiteral(line)) == line, "Unknown literal does not read back");
  return "Unknown " + showStringLiteral(line);
}

WinboardCommand expectedCommand(const RefCommand& ref, std::string_view line) {
  switch (ref.kind) {
    case CommandKind::UserMove: return UserMove{ref.move};
    case CommandKind::Protover: return Protover{ref.version};
    case CommandKind::Quit: return Quit{};
    case CommandKind::Unknown: break;
  }
  return Unknown{std::string(line)};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string line(reinterpret_cast<const char*>(data), size);
  const ParseResults<WinboardCommand> results = papply(parseWinboardCommand(), line);
  check(results.size() == 1, "the command parser must give exactly one result");
  const auto& [command, rest] = results.front();
  check(rest.data() >= line.data() && rest.data() + rest.size() == line.data() + line.size(),
        "the unconsumed text is not a suffix of the line");

  const RefCommand ref = readCommand(line);
  check(command == expectedCommand(ref, line), "command differs from the reference reading");
  check(rest.size() == line.size() - ref.restStart, "unconsumed text differs from the reference");

  const std::string literal = showStringLiteral(rest);
  check(decodeLiteral(literal) == std::string(rest), "literal does not read back: " + literal);

  try {
    const WinboardCommand whole = parseWhole(parseWinboardCommand(), line);
    check(rest.empty(), "parseWhole accepted a line with unconsumed text");
    check(whole == command, "parseWhole returned another command");
  } catch (const FatalError& e) {
    check(!rest.empty(), std::string("parseWhole stopped on a complete line: ") + e.what());
    const std::string expected =
        "Parse error: [(" + refDisplay(command) + "," + refQuotedRest(rest) + ")]";
    check(e.what() == expected, std::string("message ") + e.what() + " instead of " + expected);
  }
  return 0;
}
