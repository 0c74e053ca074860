#pragma once
// UciInterface: the UCI commands the second front end understands and their parser, the set-up
// of a position from "position" (FEN, legal moves only), the positions the search cannot take,
// and the text of every reply line. Uses Parser, MyParseLib, Fen, AI, Rules and Types.

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "AI.h"
#include "MyParseLib.h"
#include "Search.h"
#include "Types.h"

namespace quenlor {

//=== Commands ===//

struct UciHello {  // "uci"
  bool operator==(const UciHello&) const = default;
};
struct IsReady {
  bool operator==(const IsReady&) const = default;
};
struct UciNewGame {
  bool operator==(const UciNewGame&) const = default;
};
// "setoption name <name> [value <value>]"; both texts keep their inner spacing.
struct SetOption {
  std::string name;
  std::string value;
  bool operator==(const SetOption&) const = default;
};
// "position startpos|fen <FEN> [moves <move>...]": `fen` empty for startpos; `moves` is the text
// after the "moves" keyword, read move by move when the position is set up.
struct PositionCommand {
  std::optional<std::string> fen;
  std::string moves;
  bool operator==(const PositionCommand&) const = default;
};
// "go" with its parameters: the iterations, the clocks and limits (milliseconds, moves, nodes),
// the words after "searchmoves" (the root moves to consider) and the two modes that hold the
// answer back until "stop". The levels 1 to 4 answer at once and read only the depth.
struct GoCommand {
  std::optional<std::int32_t> depth;
  std::optional<std::int32_t> whiteTime;
  std::optional<std::int32_t> blackTime;
  std::optional<std::int32_t> whiteIncrement;
  std::optional<std::int32_t> blackIncrement;
  std::optional<std::int32_t> movesToGo;
  std::optional<std::int32_t> nodes;
  std::optional<std::int32_t> mate;
  std::optional<std::int32_t> moveTime;
  bool infinite = false;
  bool ponder = false;
  std::optional<std::vector<std::string>> searchMoves;
  bool operator==(const GoCommand&) const = default;
};
struct UciStop {
  bool operator==(const UciStop&) const = default;
};
struct PonderHit {
  bool operator==(const PonderHit&) const = default;
};
struct UciQuit {
  bool operator==(const UciQuit&) const = default;
};
// A blank line, answered with nothing.
struct Ignored {
  bool operator==(const Ignored&) const = default;
};
// A command of the protocol the engine does without ("debug", "register"), with its word.
struct Unsupported {
  std::string word;
  bool operator==(const Unsupported&) const = default;
};
// A known command whose arguments cannot be read ("position" without a base), with the reason.
struct Malformed {
  std::string reason;
  bool operator==(const Malformed&) const = default;
};
// A line whose words hold no command; `word` is its first word.
struct UciUnknown {
  std::string word;
  bool operator==(const UciUnknown&) const = default;
};

using UciCommand =
    std::variant<UciHello, IsReady, UciNewGame, SetOption, PositionCommand, GoCommand, UciStop,
                 PonderHit, UciQuit, Ignored, Unsupported, Malformed, UciUnknown>;

// One result for every line, consuming all of it. Words are separated by white space; words
// before the first command keyword are skipped, and so are words a command does not know.
[[nodiscard]] Parser<UciCommand> parseUciCommand();

// The command of one line (a trailing carriage return is white space like any other).
[[nodiscard]] UciCommand readUciCommand(std::string_view line);

//=== Positions ===//

// Why the search cannot be run on `state`, or nothing when it can: each side needs exactly one
// king, and the side that has just moved must not be left in check.
[[nodiscard]] std::optional<std::string> unsearchableReason(const State& state);

// A position set up from a "position" command: the state reached (none when the FEN cannot be
// read), the game as the strong search sees it (with the FEN's halfmove clock and the positions
// since), and what stopped the set-up early (an unreadable FEN, an illegal move), if anything.
struct PositionSetUp {
  std::optional<State> state;
  std::optional<std::string> problem;
  std::optional<GameRecord> game;
};

// The state of the command: its base, then each move that is legal in the position it is played
// in. An unreadable FEN sets no position at all, so that no search runs on a position the
// interface did not mean; the first move that cannot be read or is not legal ends the set-up at
// the position before it.
[[nodiscard]] PositionSetUp setUpPosition(const PositionCommand& command);

//=== Options ===//

// The measured Elo estimate of each level, 1 to `topLevel` (see the README's table and
// scripts/match/uci-match.mjs); the page reads it from here when it is built.
inline constexpr std::array<std::int32_t, topLevel> levelElo{540,  850,  970,  1000, 1210, 1310,
                                                             1480, 1650, 1820, 1920, 2240};

// The settings "setoption" changes, with their defaults: the default engine plays as it always
// has.
struct UciOptions {
  std::int32_t level =
      searchDepth;               // "Skill Level": 1 to 4 the iterations, above the strong search
  std::int32_t multiPV = 1;      // "MultiPV": root moves reported per iteration
  bool variety = false;          // "Variety": choose among moves near the best
  std::int32_t varietySeed = 0;  // "Variety Seed"
  bool limitStrength = false;    // "UCI_LimitStrength": the level follows "UCI_Elo"
  std::int32_t elo = *std::max_element(levelElo.begin(), levelElo.end());             // "UCI_Elo"
  std::int32_t hash = static_cast<std::int32_t>(StrongSearch::defaultHashMegabytes);  // "Hash"
  std::int32_t moveOverhead = 30;  // "Move Overhead": milliseconds lost per move to the interface
  bool ponder = false;             // "Ponder": the interface may send "go ponder"
  bool clearHash = false;          // "Clear Hash" was pressed and not yet carried out
  bool operator==(const UciOptions&) const = default;
};

// The level a search runs at: "Skill Level", or with "UCI_LimitStrength" the level whose
// estimate is the highest not above "UCI_Elo" (level 1 below them all).
[[nodiscard]] std::int32_t levelOf(const UciOptions& options) noexcept;

// The "option" lines of the identification.
[[nodiscard]] std::vector<std::string> optionLines();

// Applies one "setoption" to `options`; when the name is unknown or the value unreadable or out
// of range, the option keeps its value and the text of the "info string" saying so is returned.
[[nodiscard]] std::optional<std::string> applyOption(const SetOption& command, UciOptions& options);

//=== Replies ===//

// The program's usage text, printed by `quenlor-uci --help`.
inline constexpr const char* uciUsage =
    "Usage: quenlor-uci [--help | --version]\n"
    "A chess engine for interfaces that speak UCI: start it without arguments and it\n"
    "reads UCI commands on standard input. The \"Skill Level\" option sets its strength:\n"
    "levels 1 to 4 search that many plies and answer at once (4 is the default), levels\n"
    "5 to 10 search a fixed number of nodes a move, and level 11 plays on the clock\n"
    "at full strength. For xboard, use quenlor.\n";

// The lines answering "uci", without newlines.
[[nodiscard]] std::vector<std::string> uciIdentification();

// "info string " and the text (texts from the input are quoted and escaped before they get here).
[[nodiscard]] std::string infoString(std::string_view text);

// The score of the root's first entry after an iteration of `depth` plies, as UCI shows it:
// "mate N" (moves, negative when the engine is mated) for a mate score, else "cp X".
[[nodiscard]] std::string uciScore(std::int32_t value, std::int32_t depth);

// The root list in `move:score` words after "info string root" (unscored entries left out).
[[nodiscard]] std::string rootLine(const ScoredMoveList& result);

// The root moves "go searchmoves" names: the legal moves of `state` among `names`, in generation
// order; nothing when no name is given or none is legal (then every legal move is searched).
[[nodiscard]] std::optional<std::vector<Move>> searchMovesOf(
    const State& state, const std::optional<std::vector<std::string>>& names);

// Whether "go" runs the strong search: at the levels above 4, and for an analysis at any level
// ("go infinite", "go mate", or a depth beyond 4).
[[nodiscard]] bool usesStrongSearch(const GoCommand& go, const UciOptions& options) noexcept;

// Whether "go" searches a level's fixed node budget (the levels 5 to 10 whatever the clock, and
// the top level without one): such a search starts from an empty table of a fixed size, so the
// level plays the same moves wherever it runs, whatever the "Hash" setting.
[[nodiscard]] bool searchesFixedBudget(const GoCommand& go, const UciOptions& options) noexcept;

// A sink for whole reply lines, written as the search goes on (from the search's thread).
using LineWriter = std::function<void(const std::string&)>;

// Runs the strong search that "go" asks for on `game`, writing "info" lines to `write` as each
// iteration ends, and returns the closing line ("bestmove", with "ponder" when a reply is
// expected). Waits for "stop" (and for "ponderhit" in a ponder search) through `control` before
// returning when the command asks for it, so the answer is never early.
[[nodiscard]] std::string strongSearchAndReport(const std::optional<GameRecord>& game,
                                                const GoCommand& go, const UciOptions& options,
                                                StrongSearch& search, SearchControl& control,
                                                const LineWriter& write);

// Runs the search that "go" asks for on `state` with `options`, writing "info depth" lines to
// `write` as each iteration ends (one per root move up to "MultiPV", with "multipv K" when it is
// above 1), and returns the closing lines without newlines (the root line, then "bestmove"), to
// be written at once or held back until "stop". Without a position, or on one the search cannot
// take, an "info string" says why and the move is "(none)".
[[nodiscard]] std::vector<std::string> searchAndReport(const std::optional<State>& state,
                                                       const GoCommand& go,
                                                       const UciOptions& options,
                                                       const LineWriter& write);

}  // namespace quenlor
