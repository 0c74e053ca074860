#pragma once
// Shared by the fuzz targets: a failure report that stops the fuzzer, and plain reference
// readers of the command grammar and the move notation, written as straight loops over the
// bytes so that the harnesses compare the combinator parsers against an independent model.

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "Parser.h"
#include "Types.h"

namespace quenlor::fuzz {

// Reports a broken invariant and aborts, which libFuzzer records as a crash with its input.
[[noreturn]] inline void fail(const std::string& what) {
  std::fprintf(stderr, "fuzz invariant broken: %s\n", what.c_str());
  std::fflush(stderr);
  std::abort();
}

inline void check(bool condition, const std::string& what) {
  if (!condition) fail(what);
}

//=== Reference reading of the notation ===//

inline bool isJunkSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r' ||
         static_cast<unsigned char>(c) == 0xA0;
}

// The position after any run of whitespace and comments ("%", "#" or "--" to the next newline).
inline std::size_t skipJunk(std::string_view text, std::size_t pos) {
  while (pos < text.size()) {
    const char c = text[pos];
    if (isJunkSpace(c)) {
      ++pos;
    } else if (c == '%' || c == '#' ||
               (c == '-' && pos + 1 < text.size() && text[pos + 1] == '-')) {
      pos += c == '-' ? 2 : 1;
      while (pos < text.size() && text[pos] != '\n') ++pos;
    } else {
      break;
    }
  }
  return pos;
}

// Digits from `pos` folded as 10·m + n with 32-bit wrap-around; nothing without a digit.
inline std::optional<std::pair<std::int32_t, std::size_t>> readNat(std::string_view text,
                                                                   std::size_t pos) {
  std::uint32_t value = 0;
  const std::size_t start = pos;
  while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
    value = value * 10U + static_cast<std::uint32_t>(text[pos] - '0');
    ++pos;
  }
  if (pos == start) return std::nullopt;
  return std::pair{static_cast<std::int32_t>(value), pos};
}

inline std::optional<std::pair<Location, std::size_t>> readLocation(std::string_view text,
                                                                    std::size_t pos) {
  if (pos >= text.size() || text[pos] < 'a' || text[pos] > 'z') return std::nullopt;
  const std::int32_t column = text[pos] - 96;
  const auto n = readNat(text, pos + 1);
  if (!n) return std::nullopt;
  const auto row = static_cast<std::int32_t>(9U - static_cast<std::uint32_t>(n->first));
  return std::pair{Location{row, column}, n->second};
}

// The piece type of a promotion letter in either case.
inline std::optional<PieceType> pieceOfLetter(char c) {
  switch (c) {
    case 'q':
    case 'Q': return PieceType::Queen;
    case 'r':
    case 'R': return PieceType::Rook;
    case 'n':
    case 'N': return PieceType::Knight;
    case 'b':
    case 'B': return PieceType::Bishop;
    case 'k':
    case 'K': return PieceType::King;
    case 'p':
    case 'P': return PieceType::Pawn;
    default: return std::nullopt;
  }
}

// A move in coordinate notation starting at `pos`, and the position after it.
inline std::optional<std::pair<Move, std::size_t>> readMove(std::string_view text,
                                                            std::size_t pos) {
  const auto from = readLocation(text, pos);
  if (!from) return std::nullopt;
  const auto to = readLocation(text, from->second);
  if (!to) return std::nullopt;
  const std::size_t end = to->second;
  if (end < text.size()) {
    if (const auto type = pieceOfLetter(text[end])) {
      return std::pair{PromotePawn(from->first, to->first, *type), end + 1};
    }
  }
  return std::pair{MovePiece(from->first, to->first), end};
}

//=== Reference reading of a command line ===//

enum class CommandKind { UserMove, Protover, Quit, Unknown };

struct RefCommand {
  CommandKind kind;
  Move move{};
  std::int32_t version = 0;
  std::size_t restStart = 0;  // where the unconsumed text begins
};

inline RefCommand readCommand(std::string_view line) {
  if (line.starts_with("usermove")) {
    if (const auto move = readMove(line, skipJunk(line, 8))) {
      return {CommandKind::UserMove, move->first, 0, move->second};
    }
  }
  if (line.starts_with("protover")) {
    std::size_t pos = skipJunk(line, 8);
    const bool negative = pos < line.size() && line[pos] == '-';
    if (const auto n = readNat(line, negative ? pos + 1 : pos)) {
      const std::int32_t value =
          negative ? static_cast<std::int32_t>(0U - static_cast<std::uint32_t>(n->first))
                   : n->first;
      return {CommandKind::Protover, {}, value, skipJunk(line, n->second)};
    }
  }
  if (line.starts_with("quit")) return {CommandKind::Quit, {}, 0, skipJunk(line, 4)};
  return {CommandKind::Unknown, {}, 0, line.size()};
}

//=== Reference texts ===//

inline std::string refShowLocation(Location loc) {
  return "(" + std::to_string(loc.row) + "," + std::to_string(loc.column) + ")";
}

inline std::string refPieceTypeName(PieceType type) {
  static constexpr std::array<const char*, 6> names{"King",   "Queen",  "Rook",
                                                    "Knight", "Bishop", "Pawn"};
  return names[static_cast<std::size_t>(type)];
}

inline std::string refMoveConstructor(Move move) {
  if (move.kind == MoveKind::MovePiece) {
    return "MovePiece " + refShowLocation(move.from) + " " + refShowLocation(move.to);
  }
  return "PromotePawn " + refShowLocation(move.from) + " " + refShowLocation(move.to) + " " +
         refPieceTypeName(move.promoted);
}

// The coordinate text of a square: the file letter, then 9 − row with wrap-around.
inline std::string refCoordinates(Location loc) {
  const auto rank = static_cast<std::int32_t>(9U - static_cast<std::uint32_t>(loc.row));
  return std::string(1, static_cast<char>(96 + loc.column)) + std::to_string(rank);
}

inline std::string refMoveText(Move move) {
  static constexpr std::array<char, 6> letters{'k', 'q', 'r', 'n', 'b', 'p'};
  std::string out = refCoordinates(move.from) + refCoordinates(move.to);
  if (move.kind == MoveKind::PromotePawn) out += letters[static_cast<std::size_t>(move.promoted)];
  return out;
}

//=== String literals ===//

// The unconsumed text as a "Parse error: " message quotes it: whole up to `parseErrorShown`
// bytes, past that their literal and the whole length.
inline std::string refQuotedRest(std::string_view rest) {
  if (rest.size() <= parseErrorShown) return showStringLiteral(rest);
  return showStringLiteral(rest.substr(0, parseErrorShown)) + "... (" +
         std::to_string(rest.size()) + " bytes)";
}

// Reads back a double-quoted literal with the escapes of error messages, taking the longest
// control name as a reader would ("\SOH" is one character, not "\SO" and "H"). Nothing when the
// literal is malformed or a character stands unescaped where it must not.
inline std::optional<std::string> decodeLiteral(std::string_view literal) {
  static constexpr std::array<const char*, 32> names{
      "NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL", "BS",  "HT",  "LF",
      "VT",  "FF",  "CR",  "SO",  "SI",  "DLE", "DC1", "DC2", "DC3", "DC4", "NAK",
      "SYN", "ETB", "CAN", "EM",  "SUB", "ESC", "FS",  "GS",  "RS",  "US"};
  if (literal.size() < 2 || literal.front() != '"' || literal.back() != '"') return std::nullopt;
  const std::string_view body = literal.substr(1, literal.size() - 2);
  std::string out;
  std::size_t i = 0;
  while (i < body.size()) {
    const auto c = static_cast<unsigned char>(body[i]);
    if (c != '\\') {
      if (c < 32 || c > 126 || c == '"') return std::nullopt;
      out += static_cast<char>(c);
      ++i;
      continue;
    }
    if (++i >= body.size()) return std::nullopt;
    const char e = body[i];
    constexpr std::string_view simple = "abtnvfr";
    if (e == '"' || e == '\\') {
      out += e;
      ++i;
    } else if (simple.find(e) != std::string_view::npos) {
      out += static_cast<char>(7 + simple.find(e));
      ++i;
    } else if (e == '&') {
      ++i;
    } else if (e >= '0' && e <= '9') {
      unsigned value = 0;
      while (i < body.size() && body[i] >= '0' && body[i] <= '9') {
        value = value * 10U + static_cast<unsigned>(body[i] - '0');
        if (value > 255) return std::nullopt;
        ++i;
      }
      out += static_cast<char>(value);
    } else if (body.substr(i).starts_with("DEL")) {
      out += '\x7f';
      i += 3;
    } else {
      // Longest name first, so that "SOH" wins over "SO".
      std::optional<std::size_t> found;
      for (std::size_t length : {3U, 2U}) {
        for (std::size_t k = 0; k < names.size() && !found; ++k) {
          if (std::string_view(names[k]).size() == length && body.substr(i).starts_with(names[k])) {
            found = k;
            i += length;
          }
        }
      }
      if (!found) return std::nullopt;
      out += static_cast<char>(*found);
    }
  }
  return out;
}

}  // namespace quenlor::fuzz
