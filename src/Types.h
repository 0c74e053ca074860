#pragma once
// Types: the vocabulary of the game (colours, pieces, squares, moves, scores), the board store
// with its two views of one placement, the game state record and every text rendering.
// Uses only the standard library; every other module builds on it.

#include <algorithm>
#include <array>
#include <bit>
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

// Whether 1 ≤ row ≤ 8 and 1 ≤ column ≤ 8.
[[nodiscard]] constexpr bool inBoard(Location loc) noexcept {
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
// A set of squares holds square code n as bit n.
[[nodiscard]] constexpr std::uint64_t squareBit(SquareCode sq) noexcept {
  return std::uint64_t{1} << sq;
}

// The number of squares in a set. Written out (a few shifts and one multiplication) because
// without a target-specific option `std::popcount` becomes a library call.
[[nodiscard]] constexpr int countBits(std::uint64_t bits) noexcept {
  bits -= (bits >> 1U) & 0x5555555555555555ULL;
  bits = (bits & 0x3333333333333333ULL) + ((bits >> 2U) & 0x3333333333333333ULL);
  bits = (bits + (bits >> 4U)) & 0x0F0F0F0F0F0F0F0FULL;
  return static_cast<int>((bits * 0x0101010101010101ULL) >> 56U);
}

// The content of a square as one byte, a cell: 0 for empty, else piece code + 1.
[[nodiscard]] constexpr std::uint8_t cellOf(Piece piece) noexcept {
  return static_cast<std::uint8_t>(pieceCode(piece) + 1);
}
// The colour and the type of a cell's piece, by table (cell 0 reads as a White King and is
// never asked).
inline constexpr std::array<Colour, 13> colourOfCell{
    Colour::White, Colour::White, Colour::White, Colour::White, Colour::White,
    Colour::White, Colour::White, Colour::Black, Colour::Black, Colour::Black,
    Colour::Black, Colour::Black, Colour::Black};
inline constexpr std::array<PieceType, 13> typeOfCell{
    PieceType::King,   PieceType::King,   PieceType::Queen, PieceType::Rook,  PieceType::Knight,
    PieceType::Bishop, PieceType::Pawn,   PieceType::King,  PieceType::Queen, PieceType::Rook,
    PieceType::Knight, PieceType::Bishop, PieceType::Pawn};

//=== Packed moves ===//

// A move with both squares on the board in 16 bits: promoted type (bits 0-2), target (3-8),
// origin (9-14) and kind (15). Compared as integers, packed moves keep the `Move` order.
using PackedMove = std::uint16_t;
// No move: its promoted field (7) names no piece type, so it equals no packed move.
inline constexpr PackedMove noMove = 0xFFFF;

[[nodiscard]] constexpr PackedMove packedMove(SquareCode from, SquareCode to) noexcept {
  return static_cast<PackedMove>(from << 9U | to << 3U);
}
[[nodiscard]] constexpr PackedMove packedPromotion(SquareCode from, SquareCode to,
                                                   PieceType promoted) noexcept {
  return static_cast<PackedMove>(0x8000U | from << 9U | to << 3U | static_cast<unsigned>(promoted));
}
[[nodiscard]] constexpr SquareCode packedFrom(PackedMove m) noexcept {
  return static_cast<SquareCode>((m >> 9U) & 63U);
}
[[nodiscard]] constexpr SquareCode packedTo(PackedMove m) noexcept {
  return static_cast<SquareCode>((m >> 3U) & 63U);
}
[[nodiscard]] constexpr bool isPackedPromotion(PackedMove m) noexcept {
  return (m & 0x8000U) != 0;
}
[[nodiscard]] constexpr PieceType packedPromoted(PackedMove m) noexcept {
  return static_cast<PieceType>(m & 7U);
}
// The move packed, or nothing when a square is off the board.
[[nodiscard]] constexpr std::optional<PackedMove> packMove(Move move) noexcept {
  if (!inBoard(move.from) || !inBoard(move.to)) return std::nullopt;
  return static_cast<PackedMove>(static_cast<unsigned>(move.kind) << 15U |
                                 squareCode(move.from) << 9U | squareCode(move.to) << 3U |
                                 static_cast<unsigned>(move.promoted));
}
[[nodiscard]] constexpr Move unpackMove(PackedMove move) noexcept {
  return Move{squareLocation(packedFrom(move)), squareLocation(packedTo(move)),
              isPackedPromotion(move) ? MoveKind::PromotePawn : MoveKind::MovePiece,
              packedPromoted(move)};
}

//=== Bounded lists ===//

// The most moves a side can have in any position: every move is a distinct (from, to) pair with
// `from` holding a mover's piece and `to` not (at most 32 × 32 = 1024), except for the four
// promotions of a target (at most 8 pawns × 3 targets × 3 extra) and the two en-passant moves.
inline constexpr std::size_t maxMoves = 1120;

// A list of at most `maxMoves` values, filled without allocation.
template <typename T>
class BoundedList {
 public:
  BoundedList() noexcept {}  // leaves the storage uninitialised: filling it is the caller's job
  // Copies only the values held, not the whole capacity.
  BoundedList(const BoundedList& other) noexcept : size_(other.size_) {
    std::copy(other.begin(), other.end(), items_.data());
  }
  BoundedList& operator=(const BoundedList& other) noexcept {
    size_ = other.size_;
    std::copy(other.begin(), other.end(), items_.data());
    return *this;
  }
  void push(const T& item) { insertAt(size_, item); }
  // Puts `item` before the value at `at`, moving the rest back.
  void insertAt(std::size_t at, const T& item) {
    if (size_ == maxMoves) fatalError("move list overflow");
    std::copy_backward(items_.data() + at, items_.data() + size_, items_.data() + size_ + 1);
    items_[at] = item;
    ++size_;
  }
  void clear() noexcept { size_ = 0; }
  [[nodiscard]] std::size_t size() const noexcept { return size_; }
  [[nodiscard]] bool empty() const noexcept { return size_ == 0; }
  [[nodiscard]] const T& operator[](std::size_t i) const noexcept { return items_[i]; }
  [[nodiscard]] const T* begin() const noexcept { return items_.data(); }
  [[nodiscard]] const T* end() const noexcept { return items_.data() + size_; }
  [[nodiscard]] std::vector<T> toVector() const { return {begin(), end()}; }

 private:
  std::array<T, maxMoves> items_;
  std::size_t size_ = 0;
};

using MoveList = BoundedList<Move>;
using PackedMoveList = BoundedList<PackedMove>;

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

// SquareMap: what stands on each square, as 64 cells, with the squares of each colour and of each
// piece type as sets kept in step with them, so that the rules find pieces and blockers without
// walking squares one by one. Its three updates are the only ones; every board change is made of
// them.
struct SquareMap {
  std::array<std::uint8_t, 64> cells{};
  std::array<std::uint64_t, 2> byColour{};
  std::array<std::uint64_t, 6> byType{};

  [[nodiscard]] std::uint64_t occupied() const noexcept { return byColour[0] | byColour[1]; }
  // The type of the piece on an occupied square.
  [[nodiscard]] PieceType typeOn(SquareCode sq) const noexcept { return typeOfCell[cells[sq]]; }
  [[nodiscard]] std::uint64_t pieces(Colour colour) const noexcept {
    return byColour[static_cast<std::size_t>(colour)];
  }
  [[nodiscard]] std::uint64_t pieces(PieceType type) const noexcept {
    return byType[static_cast<std::size_t>(type)];
  }
  [[nodiscard]] std::uint64_t pieces(Colour colour, PieceType type) const noexcept {
    return pieces(colour) & pieces(type);
  }
  // The square of the colour's king; meaningful only when there is exactly one.
  [[nodiscard]] SquareCode kingSquare(Colour colour) const noexcept {
    return static_cast<SquareCode>(std::countr_zero(pieces(colour, PieceType::King)));
  }
  [[nodiscard]] bool hasOneKing(Colour colour) const noexcept {
    const std::uint64_t kings = pieces(colour, PieceType::King);
    return kings != 0 && (kings & (kings - 1)) == 0;
  }

  // Empties a square.
  void clear(SquareCode sq) noexcept {
    if (const std::uint8_t cell = cells[sq]; cell != 0) {
      cells[sq] = 0;
      toggle(sq, cell);
    }
  }
  // Puts a piece (a non-empty cell) on a square, replacing what stood there.
  void place(SquareCode sq, std::uint8_t cell) noexcept {
    clear(sq);
    cells[sq] = cell;
    toggle(sq, cell);
  }
  // Moves the piece on `from` to `to`, capturing whatever stood there; `from` = `to` changes
  // nothing.
  void shift(SquareCode from, SquareCode to) noexcept {
    if (from == to) return;
    const std::uint8_t cell = cells[from];
    clear(to);
    cells[from] = 0;
    cells[to] = cell;
    const std::uint64_t both = squareBit(from) | squareBit(to);
    byColour[static_cast<std::size_t>(colourOfCell[cell])] ^= both;
    byType[static_cast<std::size_t>(typeOfCell[cell])] ^= both;
  }
  friend bool operator==(const SquareMap&, const SquareMap&) = default;

 private:
  void toggle(SquareCode sq, std::uint8_t cell) noexcept {
    byColour[static_cast<std::size_t>(colourOfCell[cell])] ^= squareBit(sq);
    byType[static_cast<std::size_t>(typeOfCell[cell])] ^= squareBit(sq);
  }
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

  // The square map's updates with the index kept in step (squares on the board). A placed piece
  // goes to the front of its list, a moved one too; a removed one leaves it.
  void clear(SquareCode sq);
  void place(SquareCode sq, std::uint8_t cell);
  // Stops the program when `from` is empty.
  void shift(SquareCode from, SquareCode to);
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
  // Every key of `lost` (bits as `bit` gives them) set to false.
  [[nodiscard]] constexpr CastleStatus without(std::uint8_t lost) const noexcept {
    return CastleStatus{static_cast<std::uint8_t>(present | lost),
                        static_cast<std::uint8_t>(rights & ~lost)};
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
  Node* older_ = nullptr;                            // shared, reference-counted
  std::array<PackedMove, recentCapacity> recent_{};  // oldest first
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
