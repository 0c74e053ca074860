#include "UciInterface.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <chrono>
#include <cstdlib>
#include <limits>
#include <thread>
#include <utility>

#include "Basics.h"
#include "Fen.h"
#include "Parser.h"
#include "Position.h"
#include "Program.h"
#include "Rules.h"

namespace quenlor {

namespace {

//=== Words ===//

// Commands are words separated by white space. Lines may be very long, so nothing here keeps
// one value per word: repetitions fold as they go, and long texts are taken as one view.

// Any run of white space, possibly empty.
Parser<Unit> blanks() {
  static const Parser<Unit> parser = then(many(sat(isSpace)), returnP(Unit{}));
  return parser;
}

// p and the white space after it.
template <typename T>
Parser<T> spaced(Parser<T> p) {
  return bind(p, [](T value) { return then(blanks(), returnP(std::move(value))); });
}

// A word and the white space after it.
Parser<std::string_view> nextWord() {
  static const Parser<std::string_view> parser = spaced(word());
  return parser;
}

// Exactly the word `k`, and the white space after it.
Parser<Unit> spacedKeyword(std::string k) {
  return spaced(keyword(std::move(k)));
}

// Everything that is left, as one text (no word is empty, so none stops it).
Parser<std::string_view> restOfLine() {
  static const Parser<std::string_view> parser = textUntil("");
  return parser;
}

// Everything that is left, unread: the words a command does not know are skipped this way.
Parser<Unit> skipRest() {
  static const Parser<Unit> parser = then(restOfLine(), returnP(Unit{}));
  return parser;
}

// A whole word that is a decimal integer (with an optional "-"). Values beyond 32 bits saturate
// at the nearest bound, so that a huge depth is a large one and never wraps to a small one.
Parser<std::int32_t> number() {
  static const Parser<std::int32_t> parser = [] {
    static constexpr std::int64_t limit = std::int64_t{1} << 31;  // past every 32-bit value
    const auto magnitude = bind(many1(digit()), [](const std::string& digits) {
      std::int64_t value = 0;
      for (const char d : digits) value = std::min(value * 10 + (d - '0'), limit);
      return returnP(value);
    });
    const Parser<std::int64_t> signedValue = orElse(
        then(charP('-'), bind(magnitude, [](std::int64_t m) { return returnP(-m); })), magnitude);
    return bind(nextWord(), [signedValue](std::string_view w) {
      const ParseResults<std::int64_t> read = papply(signedValue, w);
      if (read.empty() || !read.front().second.empty()) return mzero<std::int32_t>();
      return returnP(static_cast<std::int32_t>(
          std::clamp<std::int64_t>(read.front().first, std::numeric_limits<std::int32_t>::min(),
                                   std::numeric_limits<std::int32_t>::max())));
    });
  }();
  return parser;
}

//=== Commands ===//

// clang-format off
const std::vector<std::string> commandWords{
    "uci", "isready", "ucinewgame", "setoption", "position", "go", "stop", "ponderhit", "quit",
    "debug", "register"};
// clang-format on
// The numeric parameters of "go", each with the field it sets.
const std::vector<std::pair<std::string, std::optional<std::int32_t> GoCommand::*>> goNumbers{
    {"depth", &GoCommand::depth},         {"wtime", &GoCommand::whiteTime},
    {"btime", &GoCommand::blackTime},     {"winc", &GoCommand::whiteIncrement},
    {"binc", &GoCommand::blackIncrement}, {"movestogo", &GoCommand::movesToGo},
    {"nodes", &GoCommand::nodes},         {"mate", &GoCommand::mate},
    {"movetime", &GoCommand::moveTime}};
// clang-format on

// A command of one word; whatever follows it is skipped.
Parser<UciCommand> simple(const std::string& k, UciCommand command) {
  return then(spacedKeyword(k), then(skipRest(), returnP(std::move(command))));
}

Parser<UciCommand> setOption() {
  const Parser<UciCommand> named =
      then(spacedKeyword("name"), bind(textUntil("value"), [](std::string_view n) {
             const Parser<std::string_view> value =
                 orElse(then(spacedKeyword("value"), restOfLine()), returnP(std::string_view()));
             return bind(value, [n = std::string(n)](std::string_view v) {
               return returnP(UciCommand(SetOption{n, std::string(v)}));
             });
           }));
  const Parser<UciCommand> unnamed =
      then(skipRest(), returnP(UciCommand(Malformed{"setoption needs \"name <option>\""})));
  return then(spacedKeyword("setoption"), orElse(named, unnamed));
}

Parser<UciCommand> position() {
  using Base = std::optional<std::string>;
  // Words between "startpos" and "moves" are skipped.
  const Parser<Base> startpos =
      then(spacedKeyword("startpos"), then(textUntil("moves"), returnP(Base())));
  const Parser<Base> fen =
      then(spacedKeyword("fen"),
           bind(textUntil("moves"), [](auto text) { return returnP(Base(std::string(text))); }));
  const Parser<std::string_view> moves = orElse(then(spacedKeyword("moves"), restOfLine()),
                                                then(skipRest(), returnP(std::string_view())));
  const Parser<UciCommand> based = bind(orElse(startpos, fen), [moves](Base f) {
    return bind(moves, [f = std::move(f)](std::string_view m) {
      return returnP(UciCommand(PositionCommand{f, std::string(m)}));
    });
  });
  const Parser<UciCommand> baseless = then(
      skipRest(), returnP(UciCommand(Malformed{
                      "position needs \"startpos\" or \"fen <FEN>\", then optionally \"moves\""})));
  return then(spacedKeyword("position"), orElse(based, baseless));
}

// One parameter of "go", as a change to the command.
using GoChange = std::function<void(GoCommand&)>;

Parser<GoCommand> goParameters() {
  const GoChange none = [](GoCommand&) {};
  const auto setting = [](GoChange f) { return returnP(std::move(f)); };
  std::vector<Parser<GoChange>> changes;
  // Each number word takes the number after it; without one it changes nothing.
  for (const auto& [w, field] : goNumbers) {
    changes.push_back(
        then(spacedKeyword(w), orElse(bind(number(),
                                           [setting, field = field](std::int32_t n) {
                                             return setting(
                                                 [n, field](GoCommand& go) { go.*field = n; });
                                           }),
                                      returnP(none))));
  }
  changes.push_back(
      then(spacedKeyword("infinite"), setting([](GoCommand& go) { go.infinite = true; })));
  changes.push_back(
      then(spacedKeyword("ponder"), setting([](GoCommand& go) { go.ponder = true; })));
  changes.push_back(then(spacedKeyword("searchmoves"), setting([](GoCommand& go) {
                           if (!go.searchMoves) go.searchMoves.emplace();
                         })));
  // Any other word is a move after "searchmoves", else it changes nothing.
  changes.push_back(bind(nextWord(), [setting](std::string_view w) {
    return setting([w = std::string(w)](GoCommand& go) {
      if (go.searchMoves) go.searchMoves->push_back(w);
    });
  }));
  return foldMany(choice(std::move(changes)), GoCommand{}, [](GoCommand go, const GoChange& f) {
    f(go);
    return go;
  });
}

Parser<UciCommand> go() {
  return then(spacedKeyword("go"),
              bind(goParameters(), [](GoCommand g) { return returnP(UciCommand(g)); }));
}

bool isCommandWord(std::string_view w) {
  return std::find(commandWords.begin(), commandWords.end(), w) != commandWords.end();
}

// The first of the words before a command keyword, or nothing.
Parser<std::optional<std::string>> skippedWords() {
  const Parser<std::string_view> other = bind(nextWord(), [](std::string_view w) {
    return isCommandWord(w) ? mzero<std::string_view>() : returnP(w);
  });
  return foldMany(other, std::optional<std::string>(),
                  [](std::optional<std::string> first, std::string_view w) {
                    return first ? std::move(first) : std::optional<std::string>(w);
                  });
}

}  // namespace

Parser<UciCommand> parseUciCommand() {
  static const Parser<UciCommand> parser = [] {
    const Parser<UciCommand> command = choice<UciCommand>(
        {simple("uci", UciHello{}), simple("isready", IsReady{}),
         simple("ucinewgame", UciNewGame{}), setOption(), position(), go(),
         simple("stop", UciStop{}), simple("ponderhit", PonderHit{}), simple("quit", UciQuit{}),
         simple("debug", Unsupported{"debug"}), simple("register", Unsupported{"register"})});
    return then(blanks(), bind(skippedWords(), [command](std::optional<std::string> first) {
                  const UciCommand none = first ? UciCommand(UciUnknown{*first}) : Ignored{};
                  return orElse(command, returnP(none));
                }));
  }();
  return parser;
}

UciCommand readUciCommand(std::string_view line) {
  ParseResults<UciCommand> results = papply(parseUciCommand(), line);
  if (results.empty()) return Ignored{};
  return std::move(results.front().first);
}

std::optional<std::string> unsearchableReason(const State& state) {
  // The search would capture a king that can be taken and then find a side without one.
  return irregularity(positionOf(state));
}

PositionSetUp setUpPosition(const PositionCommand& command) {
  State state = newGame();
  std::int32_t halfmoveClock = 0;
  if (command.fen) {
    std::string error;
    const std::optional<State> read = stateFromFen(*command.fen, &error);
    if (!read) {
      return {std::nullopt,
              "cannot read the FEN " + quoteInput(*command.fen) + ": " + error + "; no position",
              std::nullopt};
    }
    state = *read;
    halfmoveClock = fenHalfmoveClock(*command.fen);
  }
  GameRecord game(positionOf(state), halfmoveClock);
  // The rules read only the last move of a history (for en passant), so the moves are played on
  // a state that keeps just that one, and the whole list joins the history at the end: a long
  // game costs one copy of its moves, not one per move.
  const History base = state.reversedHistory;
  std::vector<Move> played;
  const auto reached = [&] {
    State out = state;
    out.reversedHistory = base.withAll(played);
    return out;
  };
  const auto done = [&](std::optional<std::string> problem) {
    return PositionSetUp{reached(), std::move(problem), game};
  };
  const Parser<std::string_view> moveWord = then(blanks(), word());
  std::string_view rest = command.moves;
  while (true) {
    const ParseResults<std::string_view> next = papply(moveWord, rest);
    if (next.empty()) return done(std::nullopt);
    const std::string_view moveText = next.front().first;
    rest = next.front().second;
    // The base must be a position the rules can generate moves for; legal moves keep it so.
    if (played.empty()) {
      if (const std::optional<std::string> reason = unsearchableReason(state)) {
        return done("no move can be played here (" + *reason + "); position before " +
                    quoteInput(moveText) + " kept");
      }
    }
    const ParseResults<Move> parsed = papply(parseMove(), moveText);
    std::optional<Move> legal;
    if (!parsed.empty() && parsed.front().second.empty()) {
      const MoveList moves = legalMoves(state);
      const Move move = parsed.front().first;
      if (std::find(moves.begin(), moves.end(), move) != moves.end()) legal = move;
    }
    if (!legal) {
      return done("illegal move " + quoteInput(moveText) + "; position before it kept");
    }
    game.play(*packMove(*legal));
    state = makeMove(state, *legal);
    state.reversedHistory = History().with(*legal);
    played.push_back(*legal);
  }
}

std::vector<std::string> uciIdentification() {
  std::vector<std::string> lines{"id name Quenlor", "id author the Quenlor developers"};
  for (std::string& line : optionLines()) lines.push_back(std::move(line));
  lines.emplace_back("uciok");
  return lines;
}

namespace {

// One spin option: its name, its range and where its value lives.
struct SpinOption {
  const char* name;
  std::int32_t min;
  std::int32_t max;
  std::int32_t UciOptions::*value;
};
// One check option.
struct CheckOption {
  const char* name;
  bool UciOptions::*value;
};

// "Skill Level" is the name GUIs and players know for an engine's strength setting; "MultiPV"
// is the protocol's own name for the number of lines an analysis shows.
// "UCI_LimitStrength" and "UCI_Elo" are the protocol's own names for a strength in Elo.
// "Hash" (megabytes), "Move Overhead" and "Ponder" are the names GUIs set for every engine.
constexpr std::array<SpinOption, 6> spinOptions{{
    {"Skill Level", 1, topLevel, &UciOptions::level},
    {"MultiPV", 1, static_cast<std::int32_t>(maxMoves), &UciOptions::multiPV},
    {"Variety Seed", 0, std::numeric_limits<std::int32_t>::max(), &UciOptions::varietySeed},
    {"UCI_Elo", *std::min_element(levelElo.begin(), levelElo.end()),
     *std::max_element(levelElo.begin(), levelElo.end()), &UciOptions::elo},
    {"Hash", 1, 4096, &UciOptions::hash},
    {"Move Overhead", 0, 5000, &UciOptions::moveOverhead},
}};
constexpr std::array<CheckOption, 3> checkOptions{
    {{"Variety", &UciOptions::variety},
     {"UCI_LimitStrength", &UciOptions::limitStrength},
     {"Ponder", &UciOptions::ponder}}};
// A button empties the strong search's table: a new analysis then starts from nothing.
constexpr const char* clearHashButton = "Clear Hash";

// Option names are compared without regard to case, as the protocol asks.
bool sameName(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

}  // namespace

std::int32_t levelOf(const UciOptions& options) noexcept {
  if (!options.limitStrength) return options.level;
  std::int32_t level = 1;
  for (std::int32_t l = 1; l <= topLevel; ++l) {
    const std::int32_t elo = levelElo[static_cast<std::size_t>(l - 1)];
    if (elo <= options.elo && elo > levelElo[static_cast<std::size_t>(level - 1)]) level = l;
  }
  return level;
}

std::vector<std::string> optionLines() {
  const UciOptions defaults;
  std::vector<std::string> lines;
  for (const SpinOption& o : spinOptions) {
    lines.push_back("option name " + std::string(o.name) + " type spin default " +
                    std::to_string(defaults.*o.value) + " min " + std::to_string(o.min) + " max " +
                    std::to_string(o.max));
  }
  for (const CheckOption& o : checkOptions) {
    lines.push_back("option name " + std::string(o.name) + " type check default " +
                    (defaults.*o.value ? "true" : "false"));
  }
  lines.push_back("option name " + std::string(clearHashButton) + " type button");
  return lines;
}

std::optional<std::string> applyOption(const SetOption& command, UciOptions& options) {
  const std::string value = quoteInput(command.value);
  for (const SpinOption& o : spinOptions) {
    if (!sameName(command.name, o.name)) continue;
    const ParseResults<std::int32_t> read = papply(number(), command.value);
    // number() saturates past 32 bits; such a value is beyond every option's range, not the
    // bound it saturates to.
    std::int32_t exact = 0;
    const bool beyond32Bits =
        std::from_chars(command.value.data(), command.value.data() + command.value.size(), exact)
            .ec == std::errc::result_out_of_range;
    if (read.empty() || !read.front().second.empty() || beyond32Bits ||
        read.front().first < o.min || read.front().first > o.max) {
      return "option \"" + std::string(o.name) + "\" takes a whole number from " +
             std::to_string(o.min) + " to " + std::to_string(o.max) + ", not " + value +
             "; it stays " + std::to_string(options.*o.value);
    }
    options.*o.value = read.front().first;
    return std::nullopt;
  }
  for (const CheckOption& o : checkOptions) {
    if (!sameName(command.name, o.name)) continue;
    if (command.value != "true" && command.value != "false") {
      return "option \"" + std::string(o.name) + "\" takes true or false, not " + value +
             "; it stays " + (options.*o.value ? "true" : "false");
    }
    options.*o.value = command.value == "true";
    return std::nullopt;
  }
  if (sameName(command.name, clearHashButton)) {
    options.clearHash = true;
    return std::nullopt;
  }
  return "no option " + quoteInput(command.name) + " ignored";
}

std::string infoString(std::string_view text) {
  return "info string " + std::string(text);
}

std::string uciScore(std::int32_t value, std::int32_t depth) {
  // A mate found inside the tree scores plies-left × `mateStep` for the side that mates, a mate
  // on the last ply the static `mateValue` plus the material. From that the ply of the mating
  // move follows, and from the ply the moves: plies 1 and 2 are move 1. A mate on the last ply
  // outscores a quicker one inside the tree, so there the distance is only a bound: a mate in
  // that many moves or fewer ("lowerbound" for the side that mates, "upperbound" for the other).
  static_assert(std::int64_t{maxSearchDepth} * mateStep < mateValue - mateStep / 2);
  const std::int64_t magnitude = std::abs(static_cast<std::int64_t>(value));
  std::int64_t ply = 0;
  bool bound = false;
  if (magnitude >= mateValue - mateStep / 2) {
    ply = depth;
    bound = depth > (value > 0 ? 1 : 2);  // the quickest mate for either side is exact
  } else if (magnitude >= mateStep / 2) {
    ply = depth - (magnitude + mateStep / 2) / mateStep + 1;
  }
  if (ply < 1) return "cp " + std::to_string(value);
  const std::int64_t moves = (ply + 1) / 2;
  const std::string text = "mate " + std::to_string(value > 0 ? moves : -moves);
  if (!bound) return text;
  return text + (value > 0 ? " lowerbound" : " upperbound");
}

std::string rootLine(const ScoredMoveList& result) {
  std::string line = "info string root";
  for (const ScoredMove& entry : result) {
    if (entry.score.kind != Score::Kind::Number) continue;
    line += " " + niceShowMove(entry.move) + ":" + std::to_string(entry.score.value);
  }
  return line;
}

std::optional<std::vector<Move>> searchMovesOf(
    const State& state, const std::optional<std::vector<std::string>>& names) {
  if (!names) return std::nullopt;
  std::vector<Move> named;
  for (const Move& m : legalMoves(state)) {
    if (std::find(names->begin(), names->end(), niceShowMove(m)) != names->end()) {
      named.push_back(m);
    }
  }
  if (named.empty()) return std::nullopt;
  return named;
}

bool usesStrongSearch(const GoCommand& go, const UciOptions& options) noexcept {
  return levelOf(options) >= firstStrongLevel || go.infinite || go.mate ||
         go.depth.value_or(0) > searchDepth;
}

bool searchesFixedBudget(const GoCommand& go, const UciOptions& options) noexcept {
  const std::int32_t level = levelOf(options);
  const bool analysis = go.infinite || go.depth || go.nodes || go.moveTime || go.mate;
  const bool clock = go.whiteTime || go.blackTime;
  return !analysis && level >= firstStrongLevel && (level < topLevel || !clock);
}

namespace {

// The closing line of a search with no move to give.
const std::string noBestMove = "bestmove (none)";

// What the protocol shows for a position without a legal move: mated, or a draw.
std::string finishedLine(const Position& position) {
  return std::string("info depth 0 score ") + (inCheck(position) ? "mate 0" : "cp 0");
}

// The limits of the strong search for "go": a level below the top searches its own node budget,
// with the clock, if any, only as a safeguard; the top level and an analysis follow the clock
// and the limits given, and with none of them the top level searches its default budget.
SearchLimits strongLimits(const GoCommand& go, const UciOptions& options, Colour turn) {
  const bool white = turn == Colour::White;
  const std::optional<std::int32_t> time = white ? go.whiteTime : go.blackTime;
  const bool analysis = go.infinite || go.depth || go.nodes || go.moveTime || go.mate;
  SearchLimits limits;
  if (searchesFixedBudget(go, options)) limits = levelLimits(levelOf(options));
  if (go.depth) limits.depth = std::clamp(*go.depth, 1, maxPly - 1);
  if (go.nodes) limits.nodes = static_cast<std::uint64_t>(std::max(*go.nodes, 1));
  if (go.mate) limits.mate = std::max(*go.mate, 1);
  if (go.moveTime) limits.moveTime = std::max(*go.moveTime, 1);
  if (time && !go.infinite) {
    limits.time = std::max(*time, 1);
    limits.increment = std::max((white ? go.whiteIncrement : go.blackIncrement).value_or(0), 0);
    limits.movesToGo = std::max(go.movesToGo.value_or(0), 0);
  }
  limits.moveOverhead = options.moveOverhead;
  limits.infinite = go.infinite;
  limits.ponder = go.ponder;
  limits.multiPV = options.multiPV;
  // With variety a strong level scores the best few moves exactly to choose among them.
  if (options.variety && !analysis) limits.multiPV = std::max(limits.multiPV, 4);
  return limits;
}

// The "info" lines of one report: one per line scored, best first.
void writeReport(const SearchReport& report, std::int32_t lines, const LineWriter& write) {
  const std::int64_t nps = static_cast<std::int64_t>(report.nodes) * 1000 /
                           std::max<std::int64_t>(report.milliseconds, 1);
  for (std::size_t k = 0; k < report.lines.size() && k < static_cast<std::size_t>(lines); ++k) {
    const SearchLine& line = report.lines[k];
    std::string text = "info depth " + std::to_string(line.depth) + " seldepth " +
                       std::to_string(std::max(line.selDepth, line.depth)) + " multipv " +
                       std::to_string(k + 1) + " score " + uciScoreText(line.score);
    if (line.bound == ScoreBound::Lower) text += " lowerbound";
    if (line.bound == ScoreBound::Upper) text += " upperbound";
    text += " nodes " + std::to_string(report.nodes) + " nps " + std::to_string(nps) +
            " hashfull " + std::to_string(report.hashFull) + " time " +
            std::to_string(report.milliseconds) + " pv";
    for (const PackedMove m : line.pv) text += " " + niceShowMove(unpackMove(m));
    write(text);
  }
}

// Holds a search's answer back until the interface may have it: "stop" after an infinite
// search, "ponderhit" or "stop" after a ponder search.
void awaitRelease(const GoCommand& go, const SearchControl& control) {
  while (!control.stop.load() && (go.infinite || (go.ponder && !control.ponderHit.load()))) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

}  // namespace

std::string strongSearchAndReport(const std::optional<GameRecord>& game, const GoCommand& go,
                                  const UciOptions& options, StrongSearch& search,
                                  SearchControl& control, const LineWriter& write) {
  if (!game) {
    write(infoString("no position to search: the last FEN could not be read"));
    awaitRelease(go, control);
    return noBestMove;
  }
  const Position& position = game->position();
  if (const std::optional<std::string> reason = irregularity(position)) {
    write(infoString("cannot search this position: " + *reason));
    awaitRelease(go, control);
    return noBestMove;
  }
  SearchLimits limits = strongLimits(go, options, position.turn);
  PackedMoveList legal;
  generateLegalMoves(position, legal);
  if (go.searchMoves) {
    for (const PackedMove m : legal) {
      const std::string name = niceShowMove(unpackMove(m));
      if (std::find(go.searchMoves->begin(), go.searchMoves->end(), name) !=
          go.searchMoves->end()) {
        limits.rootMoves.push_back(m);
      }
    }
  }
  const std::int32_t level = levelOf(options);
  std::uint64_t reportedNodes = 0;
  const SearchResult result = search.run(*game, limits, control, [&](const SearchReport& report) {
    writeReport(report, options.multiPV, write);
    reportedNodes = report.nodes;
  });
  // A search stopped inside an iteration reports where it stopped: the move it plays may come
  // from that iteration.
  if (result.report.nodes != reportedNodes) writeReport(result.report, options.multiPV, write);
  if (result.best == noMove) {
    write(finishedLine(position));
    write(infoString(inCheck(position) ? "no legal move: checkmate" : "no legal move: stalemate"));
    awaitRelease(go, control);
    return noBestMove;
  }
  PackedMove best = result.best;
  PackedMove ponder = result.ponder;
  const auto& lines = result.report.lines;
  if (options.variety && limits.multiPV > options.multiPV && !lines.empty() &&
      std::abs(lines[0].score) < mateBound) {
    std::size_t count = 1;
    while (count < lines.size() && lines[count].score >= lines[0].score - varietyMargin(level)) {
      ++count;
    }
    const std::uint64_t draw =
        mixBits(static_cast<std::uint64_t>(options.varietySeed) ^ zobristKey(position));
    const SearchLine& chosen = lines[static_cast<std::size_t>(draw % count)];
    best = chosen.pv[0];
    ponder = chosen.pv.size() > 1 ? chosen.pv[1] : noMove;
  }
  awaitRelease(go, control);
  std::string closing = "bestmove " + niceShowMove(unpackMove(best));
  if (ponder != noMove) closing += " ponder " + niceShowMove(unpackMove(ponder));
  return closing;
}

std::vector<std::string> searchAndReport(const std::optional<State>& position, const GoCommand& go,
                                         const UciOptions& options, const LineWriter& write) {
  if (!position) {
    write(infoString("no position to search: the last FEN could not be read"));
    return {rootLine(ScoredMoveList{}), "bestmove (none)"};
  }
  const State& state = *position;
  if (const std::optional<std::string> reason = unsearchableReason(state)) {
    write(infoString("cannot search this position: " + *reason));
    return {rootLine(ScoredMoveList{}), "bestmove (none)"};
  }
  const std::int32_t depth = std::clamp(go.depth.value_or(levelOf(options)), 1, searchDepth);
  const std::optional<std::vector<Move>> rootMoves = searchMovesOf(state, go.searchMoves);
  using Clock = std::chrono::steady_clock;
  const Clock::time_point start = Clock::now();
  SearchStats stats;
  // Each iteration reports `MultiPV` lines (or one per root move, if fewer): its own scored
  // moves in its order, then, since the deeper iterations search fewer root moves, the others
  // with the depth and score of the iteration that last scored them.
  struct Line {
    Move move;
    std::int32_t depth;
    std::int32_t score;
  };
  std::vector<Line> shown;
  const auto report = [&](std::int32_t d, const ScoredMoveList& list) {
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    std::vector<Line> lines;
    for (const ScoredMove& entry : list) {
      if (entry.score.kind == Score::Kind::Number)
        lines.push_back({entry.move, d, entry.score.value});
    }
    for (const Line& old : shown) {
      if (std::none_of(lines.begin(), lines.end(),
                       [&](const Line& l) { return l.move == old.move; })) {
        lines.push_back(old);
      }
    }
    shown = lines;
    const std::size_t count = std::min<std::size_t>(lines.size(), options.multiPV);
    for (std::size_t k = 0; k < count; ++k) {
      const std::string multipv = options.multiPV > 1 ? " multipv " + std::to_string(k + 1) : "";
      write("info depth " + std::to_string(lines[k].depth) + multipv + " score " +
            uciScore(lines[k].score, lines[k].depth) + " nodes " +
            std::to_string(stats.makeMoveCalls) + " time " + std::to_string(ms) + " pv " +
            niceShowMove(lines[k].move));
    }
  };
  const ScoredMoveList result = deepeningResult(state, depth, &stats, report, rootMoves);
  if (result.empty()) {
    write(finishedLine(positionOf(state)));
    write(infoString(inCheck(state, state.turn) ? "no legal move: checkmate"
                                                : "no legal move: stalemate"));
    return {rootLine(result), "bestmove (none)"};
  }
  const std::optional<std::uint64_t> seed =
      options.variety ? std::optional<std::uint64_t>(options.varietySeed) : std::nullopt;
  return {rootLine(result), "bestmove " + niceShowMove(chooseMove(result, state, depth, seed))};
}

}  // namespace quenlor
