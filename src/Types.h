#pragma once
// Types: the vocabulary of the game (colours, pieces, squares, moves, scores), the board store
// with its two views of one placement, the game state record and every text rendering.
// Uses only the standard library; every other module builds on it.

#include <array>
#include <compare>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace quenlor {

//=== Fatal errors ===//

// The one kind of failure: the program stops with this message. Only `main` catches it.
struct FatalError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Stops the program with `message` (reported by the programs' one fatal report, in Program).
[[noreturn]] void fatalError(const std::string& message);

//=== Vocabulary ===//

enum class Colour : std::uint8_t { White, Black };
enum class PieceType : std::uint8_t { King, Queen, Rook, Knight, Bishop, Pawn };
enum class BoardSide : std::uint8_t { KingSide, QueenSide };

struct Piece {
  Colour colour;
  PieceType type;
  constexpr auto operator<=>(const Piece&) const = default;
};

// A square as (row, column); row 1 is rank 8, column 1 is file a. May hold any int32 values.
struct Location {
  std::int32_t row;
  std::int32_t column;
  constexpr auto operator<=>(const Location&) const = default;
};

enum class MoveKind : std::uint8_t { MovePiece, PromotePawn };

// `MovePiece` (from, to) or `PromotePawn` (from, to, promoted). Ordered by alternative first,
// then field by field; a `MovePiece` always carries `King` in `promoted` so that the unused
// field never decides an equality or an order.
struct Move {
  Location from;
  Location to;
  MoveKind kind;
  PieceType promoted;

  constexpr bool operator==(const Move&) const = default;
  constexpr std::strong_ordering operator<=>(const Move& other) const {
    if (auto c = kind <=> other.kind; c != 0) return c;
    if (auto c = from <=> other.from; c != 0) return c;
    if (auto c = to <=> other.to; c != 0) return c;
    return promoted <=> other.promoted;
  }
};

[[nodiscard]] constexpr Move MovePiece(Location from, Location to) noexcept {
  return Move{from, to, MoveKind::MovePiece, PieceType::King};
}
[[nodiscard]] constexpr Move PromotePawn(Location from, Location to, PieceType promoted) noexcept {
  return Move{from, to, MoveKind::PromotePawn, promoted};
}

//=== Scores ===//

// A search score. Its order is not a strict weak order (`NeverCalculated` compared with a
// `Number` is "greater" both ways), so it has hand-written comparisons and must never be given
// to `std::sort`, ordered containers or `<=>`.
struct Score {
  enum class Kind : std::uint8_t { NegativeInfinity, NeverCalculated, Number, PositiveInfinity };
  Kind kind;
  std::int32_t value;  // meaningful only for `Number`

  friend constexpr bool operator==(Score a, Score b) noexcept {
    return a.kind == b.kind && (a.kind != Kind::Number || a.value == b.value);
  }
};

inline constexpr Score NegativeInfinity{Score::Kind::NegativeInfinity, 0};
inline constexpr Score NeverCalculated{Score::Kind::NeverCalculated, 0};
inline constexpr Score PositiveInfinity{Score::Kind::PositiveInfinity, 0};
[[nodiscard]] constexpr Score Number(std::int32_t n) noexcept {
  return Score{Score::Kind::Number, n};
}

enum class Ordering : std::uint8_t { Less, Equal, Greater };

// a ≤ b: NegativeInfinity is below everything, everything is below PositiveInfinity, two
// Numbers compare by value, and nothing else holds.
[[nodiscard]] constexpr bool scoreLessOrEqual(Score a, Score b) noexcept {
  if (a.kind == Score::Kind::NegativeInfinity) return true;
  if (b.kind == Score::Kind::PositiveInfinity) return true;
  if (a.kind == Score::Kind::Number && b.kind == Score::Kind::Number) return a.value <= b.value;
  return false;
}
[[nodiscard]] constexpr Ordering compare(Score a, Score b) noexcept {
  if (a == b) return Ordering::Equal;
  return scoreLessOrEqual(a, b) ? Ordering::Less : Ordering::Greater;
}
[[nodiscard]] constexpr bool operator<=(Score a, Score b) noexcept {
  return scoreLessOrEqual(a, b);
}
[[nodiscard]] constexpr bool operator<(Score a, Score b) noexcept {
  return compare(a, b) == Ordering::Less;
}
[[nodiscard]] constexpr bool operator>(Score a, Score b) noexcept {
  return compare(a, b) == Ordering::Greater;
}
[[nodiscard]] constexpr bool operator>=(Score a, Score b) noexcept {
  return compare(a, b) != Ordering::Less;
}
[[nodiscard]] constexpr Score scoreMax(Score a, Score b) noexcept {
  return a <= b ? b : a;
}
[[nodiscard]] constexpr Score scoreMin(Score a, Score b) noexcept {
  return a <= b ? a : b;
}

//=== Constant lists and letters ===//

// `inc` n: n, n+1, …, 8 (empty when n > 8); `dec` n: n, n−1, …, 1 (empty when n < 1).
[[nodiscard]] std::vector<std::int32_t> inc(std::int32_t n);
[[nodiscard]] std::vector<std::int32_t> dec(std::int32_t n);

// The back-rank order of columns 1..8.
inline constexpr std::array<PieceType, 8> pieces{
    PieceType::Rook, PieceType::Knight, PieceType::Bishop, PieceType::Queen,
    PieceType::King, PieceType::Bishop, PieceType::Knight, PieceType::Rook};

// The twelve pieces in the order the board store builds its index.
// clang-format off
inline constexpr std::array<Piece, 12> allPieces{{
    {Colour::White, PieceType::Pawn}, {Colour::White, PieceType::King},
    {Colour::White, PieceType::Queen}, {Colour::White, PieceType::Rook},
    {Colour::White, PieceType::Bishop}, {Colour::White, PieceType::Knight},
    {Colour::Black, PieceType::Pawn}, {Colour::Black, PieceType::King},
    {Colour::Black, PieceType::Queen}, {Colour::Black, PieceType::Rook},
    {Colour::Black, PieceType::Bishop}, {Colour::Black, PieceType::Knight}}};
// clang-format on

[[nodiscard]] std::string niceShowPieceType(PieceType type);
[[nodiscard]] std::string niceShowColour(Colour colour);
[[nodiscard]] std::string niceShowPiece(Piece piece);
// Plain value names used inside error texts: "White", "Queen", ...
[[nodiscard]] std::string showColourName(Colour colour);
[[nodiscard]] std::string showPieceTypeName(PieceType type);

//=== Square codes: the compact form of on-board locations ===//

// An on-board square as one byte, 0..63, in ascending `Location` order (a8 = 0, h1 = 63).
using SquareCode = std::uint8_t;
// A piece as one number 0..11 in `Piece` order (colour, then type).
using PieceCode = std::uint8_t;

[[nodiscard]] constexpr bool isOnBoard(Location loc) noexcept {
  return loc.row >= 1 && loc.row <= 8 && loc.column >= 1 && loc.column <= 8;
}
[[nodiscard]] constexpr SquareCode squareCode(Location loc) noexcept {
  return static_cast<SquareCode>((loc.row - 1) * 8 + (loc.column - 1));
}
[[nodiscard]] constexpr Location squareLocation(SquareCode sq) noexcept {
  return Location{sq / 8 + 1, sq % 8 + 1};
}
[[nodiscard]] constexpr PieceCode pieceCode(Piece p) noexcept {
  return static_cast<PieceCode>(static_cast<int>(p.colour) * 6 + static_cast<int>(p.type));
}
[[nodiscard]] constexpr Piece pieceOfCode(PieceCode code) noexcept {
  return Piece{static_cast<Colour>(code / 6), static_cast<PieceType>(code % 6)};
}

//=== Board store ===//

// The locations of one piece, in index order; a copy, so it never dangles.
class LocationList {
 public:
  [[nodiscard]] std::size_t size() const noexcept { return count_; }
  [[nodiscard]] bool empty() const noexcept { return count_ == 0; }
  [[nodiscard]] Location operator[](std::size_t i) const noexcept {
    return squareLocation(codes_[i]);
  }
  [[nodiscard]] std::vector<Location> toVector() const;
  void pushBack(SquareCode sq) noexcept { codes_[count_++] = sq; }

 private:
  std::array<SquareCode, 64> codes_{};
  std::uint8_t count_ = 0;
};

// SquareMap: what stands on each square. 64 cells, 0 for empty, else piece code + 1.
// The occupancy bits of each colour (bit = square code) are kept in step with the cells, so that
// the rules can find blockers without walking squares one by one.
struct SquareMap {
  std::array<std::uint8_t, 64> cells{};
  std::array<std::uint64_t, 2> byColour{};

  [[nodiscard]] std::uint64_t occupied() const noexcept { return byColour[0] | byColour[1]; }
  friend bool operator==(const SquareMap&, const SquareMap&) = default;
};

// PieceLocationMap: for each piece, the ordered list of its squares. The twelve lists lie one
// after another in one 64-byte pool (list k occupies pool[start[k] .. start[k+1])), so the map
// is a small value that copies without allocation. Under the board invariant every square is in
// at most one list, so 64 places always suffice.
struct PieceLocationMap {
  std::array<SquareCode, 64> pool{};
  std::array<std::uint8_t, 13> start{};
  std::uint16_t present = 0;  // bit k: piece k has an entry

  [[nodiscard]] std::span<const SquareCode> codesOf(PieceCode piece) const noexcept {
    return {pool.data() + start[piece], static_cast<std::size_t>(start[piece + 1] - start[piece])};
  }
  [[nodiscard]] bool hasEntry(PieceCode piece) const noexcept { return (present >> piece) & 1U; }
  friend bool operator==(const PieceLocationMap&, const PieceLocationMap&) = default;
};

struct Board {
  SquareMap squares;
  PieceLocationMap index;
  friend bool operator==(const Board&, const Board&) = default;
};

// A placed piece, as listed by `findAllPieces`.
struct PlacedPiece {
  Location location;
  Piece piece;
  bool operator==(const PlacedPiece&) const = default;
};

[[nodiscard]] std::optional<Piece> primLookupSquare(const SquareMap& squares,
                                                    Location loc) noexcept;
[[nodiscard]] std::optional<Piece> getSquare(const Board& board, Location loc) noexcept;
[[nodiscard]] LocationList primGetPieceLocs(const PieceLocationMap& index, Piece piece) noexcept;
[[nodiscard]] LocationList findGivenPiece(const Board& board, Piece piece) noexcept;
[[nodiscard]] PieceLocationMap primModifyPLM(
    Piece piece, const std::function<std::vector<Location>(std::vector<Location>)>& f,
    const PieceLocationMap& index);
[[nodiscard]] PieceLocationMap primRemovePiece(Piece piece, Location loc,
                                               const PieceLocationMap& index);
[[nodiscard]] Board emptySquare(Location loc, const Board& board);
[[nodiscard]] Board setSquare(Location loc, Piece piece, const Board& board);
[[nodiscard]] Board movePiece(Location from, Location to, const Board& board);
[[nodiscard]] Board initBoard(const std::vector<PlacedPiece>& placed);
[[nodiscard]] std::vector<PlacedPiece> findAllPieces(const Board& board);
[[nodiscard]] std::vector<PlacedPiece> findAllPiecesGivenColour(Colour colour, const Board& board);
[[nodiscard]] Piece getPieceFromSquare(const Board& board, Location loc);
[[nodiscard]] bool emptySquareOrColouredPiece(Colour colour, std::optional<Piece> content) noexcept;
[[nodiscard]] std::string niceShowSquare(std::optional<Piece> content);
[[nodiscard]] std::string niceShowBoard(const Board& board);

// In-place forms of the board updates, for callers that build a new board from a copy (the
// value-returning operations above are written with them). Squares must be on the board.
namespace boardstore {
void emptySquareInPlace(Board& board, SquareCode sq);
void setSquareInPlace(Board& board, SquareCode sq, PieceCode piece);
void movePieceInPlace(Board& board, SquareCode from, SquareCode to);
}  // namespace boardstore

//=== Game state ===//

// Castling rights: a map from (side, colour) to a truth value; a key may be absent.
struct CastleStatus {
  std::uint8_t present = 0;  // bit (side * 2 + colour): the key exists
  std::uint8_t rights = 0;   // bit (side * 2 + colour): the right is held

  [[nodiscard]] static constexpr std::uint8_t bit(BoardSide side, Colour colour) noexcept {
    return static_cast<std::uint8_t>(
        1U << (static_cast<unsigned>(side) * 2U + static_cast<unsigned>(colour)));
  }
  // The value of a key; an absent key reads as false.
  [[nodiscard]] constexpr bool holds(BoardSide side, Colour colour) const noexcept {
    return (rights & bit(side, colour)) != 0;
  }
  [[nodiscard]] constexpr bool hasKey(BoardSide side, Colour colour) const noexcept {
    return (present & bit(side, colour)) != 0;
  }
  [[nodiscard]] constexpr CastleStatus with(BoardSide side, Colour colour,
                                            bool value) const noexcept {
    const std::uint8_t b = bit(side, colour);
    return CastleStatus{static_cast<std::uint8_t>(present | b),
                        static_cast<std::uint8_t>(value ? (rights | b) : (rights & ~b))};
  }
  friend constexpr bool operator==(CastleStatus, CastleStatus) = default;
};

// The moves played so far, most recent first. The older part lives in a shared immutable node;
// the latest few moves are held inline, so applying a move copies a few bytes and never the
// whole game, and never allocates while the inline part has room.
class History {
 public:
  History() = default;
  History(const History& other) noexcept;
  History& operator=(const History& other) noexcept;
  ~History();

  [[nodiscard]] std::size_t size() const noexcept;
  [[nodiscard]] bool empty() const noexcept { return size() == 0; }
  // The most recent move, if any.
  [[nodiscard]] std::optional<Move> front() const noexcept;
  // All moves, most recent first.
  [[nodiscard]] std::vector<Move> toVector() const;
  // A new history with `move` in front.
  [[nodiscard]] History with(Move move) const;
  // The same list with every move in the shared node, so that the next few `with` calls
  // do not allocate.
  [[nodiscard]] History settled() const;
  // A new history with `moves` (oldest first) in front, all in one new shared node: a long game
  // replayed this way costs one copy of the list, not one per move.
  [[nodiscard]] History withAll(const std::vector<Move>& moves) const;

  friend bool operator==(const History& a, const History& b) {
    return a.toVector() == b.toVector();
  }

 private:
  struct Node;
  // A history holding all of this one's moves (and `extra`, if given) in a new shared node.
  [[nodiscard]] History spilled(const Move* extra) const;
  static constexpr std::size_t recentCapacity = 8;
  Node* older_ = nullptr;                               // shared, reference-counted
  std::array<std::uint16_t, recentCapacity> recent_{};  // packed moves, oldest first
  std::uint8_t recentCount_ = 0;
};

struct State {
  Colour turn;
  std::int32_t moveNum;
  History reversedHistory;
  Board getBoard;
  CastleStatus castleStatus;
};

//=== Rendering ===//

[[nodiscard]] std::string niceShowLocation(Location loc);
[[nodiscard]] std::string niceShowMove(Move move);
[[nodiscard]] std::string intersperseNumbers(std::int32_t start,
                                             const std::vector<std::string>& texts);
[[nodiscard]] std::string niceShowMoves(const std::vector<Move>& moves);
[[nodiscard]] std::string niceShowStatus(CastleStatus status);
[[nodiscard]] std::string niceShowState(const State& state);
// The constructor texts used inside error messages: "(7,5)", "MovePiece (7,5) (5,5)".
[[nodiscard]] std::string showLocation(Location loc);
[[nodiscard]] std::string showMoveConstructor(Move move);

}  // namespace quenlor
