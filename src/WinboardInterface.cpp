#include "WinboardInterface.h"

namespace quenlor {

std::string display(const WinboardCommand& command) {
  struct Show {
    std::string operator()(const UserMove& c) const {
      return "UserMove (" + showMoveConstructor(c.move) + ")";
    }
    std::string operator()(const Protover& c) const {
      const std::string n = std::to_string(c.version);
      return "Protover " + (c.version < 0 ? "(" + n + ")" : n);
    }
    std::string operator()(const Quit&) const { return "Quit"; }
    std::string operator()(const Unknown& c) const {
      return "Unknown " + showStringLiteral(c.line);
    }
  };
  return std::visit(Show{}, command);
}

Parser<WinboardCommand> parseWinboardCommand() {
  static const Parser<WinboardCommand> parser = [] {
    // The move is read right after the keyword's junk; nothing after it is consumed.
    const Parser<WinboardCommand> userMove =
        then(symbol("usermove"),
             bind(parseMove(), [](Move m) { return returnP(WinboardCommand(UserMove{m})); }));
    const Parser<WinboardCommand> protover =
        then(symbol("protover"),
             bind(integer(), [](std::int32_t n) { return returnP(WinboardCommand(Protover{n})); }));
    const Parser<WinboardCommand> quit = then(symbol("quit"), returnP(WinboardCommand(Quit{})));
    const Parser<WinboardCommand> unknown = bind(many(item()), [](std::string line) {
      return returnP(WinboardCommand(Unknown{std::move(line)}));
    });
    return orElse(orElse(orElse(userMove, protover), quit), unknown);
  }();
  return parser;
}

std::string moveReply(Move move) {
  return "move " + niceShowMove(move);
}

}  // namespace quenlor
