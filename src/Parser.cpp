#include "Parser.h"

#include <array>
#include <vector>

namespace quenlor {

Parser<Location> parseLocation() {
  const Parser<char> letter = sat([](char c) { return c >= 'a' && c <= 'z'; });
  return bind(letter, [](char c) {
    return bind(nat(), [c](std::int32_t n) {
      // 9 − n wraps around like every other step of arithmetic on a parsed number.
      const auto row = static_cast<std::int32_t>(9U - static_cast<std::uint32_t>(n));
      return returnP(Location{row, static_cast<std::int32_t>(c) - 96});
    });
  });
}

Parser<PieceType> tryPiece(char letter, PieceType type) {
  const char lower = static_cast<char>(letter >= 'A' && letter <= 'Z' ? letter + 32 : letter);
  const char upper = static_cast<char>(letter >= 'a' && letter <= 'z' ? letter - 32 : letter);
  return then(orElse(charP(lower), charP(upper)), returnP(type));
}

Parser<PieceType> parsePieceType() {
  return orElse(
      orElse(orElse(orElse(orElse(tryPiece('q', PieceType::Queen), tryPiece('r', PieceType::Rook)),
                           tryPiece('n', PieceType::Knight)),
                    tryPiece('b', PieceType::Bishop)),
             tryPiece('k', PieceType::King)),
      tryPiece('p', PieceType::Pawn));
}

Parser<Move> parseMove() {
  static const Parser<Move> parser = [] {
    const Parser<Location> square = parseLocation();
    const Parser<PieceType> pieceType = parsePieceType();
    return bind(square, [square, pieceType](Location from) {
      return bind(square, [from, pieceType](Location to) {
        const Parser<Move> promotion =
            bind(pieceType, [from, to](PieceType t) { return returnP(PromotePawn(from, to, t)); });
        return orElse(promotion, returnP(MovePiece(from, to)));
      });
    });
  }();
  return parser;
}

std::string showStringLiteral(std::string_view text) {
  static constexpr std::array<const char*, 32> controlNames{
      "NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "a",   "b",   "t",   "n",
      "v",   "f",   "r",   "SO",  "SI",  "DLE", "DC1", "DC2", "DC3", "DC4", "NAK",
      "SYN", "ETB", "CAN", "EM",  "SUB", "ESC", "FS",  "GS",  "RS",  "US"};
  std::string out = "\"";
  out.reserve(text.size() + 2);
  // Set after an escape that a following character could extend: a decimal escape before a
  // digit, or \SO before H (which would read as \SOH); "\&" then separates them.
  bool afterNumericEscape = false;
  bool afterSO = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char ch = text[i];
    const auto byte = static_cast<unsigned char>(ch);
    // A run of plain printable characters goes in whole.
    if (byte >= 32 && byte <= 126 && byte != '"' && byte != '\\' && !afterNumericEscape &&
        !afterSO) {
      std::size_t end = i + 1;
      while (end < text.size()) {
        const auto next = static_cast<unsigned char>(text[end]);
        if (next < 32 || next > 126 || next == '"' || next == '\\') break;
        ++end;
      }
      out.append(text.substr(i, end - i));
      i = end - 1;
      continue;
    }
    if ((afterNumericEscape && byte >= '0' && byte <= '9') || (afterSO && byte == 'H'))
      out += "\\&";
    afterNumericEscape = false;
    afterSO = false;
    if (byte == '"') {
      out += "\\\"";
    } else if (byte == '\\') {
      out += "\\\\";
    } else if (byte >= 32 && byte <= 126) {
      out += ch;
    } else if (byte < 32) {
      out += '\\';
      out += controlNames[byte];
      afterSO = byte == 14;
    } else if (byte == 127) {
      out += "\\DEL";
    } else {
      out += "\\" + std::to_string(byte);
      afterNumericEscape = true;
    }
  }
  return out + "\"";
}

std::string quoteInput(std::string_view text, std::size_t shown) {
  if (text.size() <= shown) return showStringLiteral(text);
  return showStringLiteral(text.substr(0, shown)) + "... (" + std::to_string(text.size()) +
         " bytes)";
}

bool moveOnBoard(Move move) noexcept {
  return inBoard(move.from) && inBoard(move.to);
}

void requireMoveOnBoard(Move move) {
  if (!moveOnBoard(move)) fatalError("Move off the board: " + niceShowMove(move));
}

State openWith(std::string_view text) {
  // Words are separated by the command parser's white space, the no-break space included.
  std::vector<Move> moves;
  std::size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && isSpace(text[i])) ++i;
    std::size_t end = i;
    while (end < text.size() && !isSpace(text[end])) ++end;
    if (end > i) {
      const Move move = parseWhole(parseMove(), text.substr(i, end - i));
      requireMoveOnBoard(move);
      moves.push_back(move);
    }
    i = end;
  }
  State state = newGame();
  for (const Move& move : moves) state = makeMove(state, move);
  return state;
}

}  // namespace quenlor
