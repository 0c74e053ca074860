#include "UciInterface.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <utility>

#include "Basics.h"
#include "Fen.h"
#include "Parser.h"
#include "Program.h"
#include "Rules.h"

namespace quenlor {

namespace {

//=== Words ===//

// Commands are words separated by white space. Lines may be very long, so nothing here keeps
// one value per word: repetitions fold as they go, and long texts are taken as one span.

bool isWordChar(char c) {
  return !isSpace(c);
}

// Any run of white space, possibly empty.
Parser<Unit> blanks() {
  static const Parser<Unit> parser = then(many(sat(isSpace)), returnP(Unit{}));
  return parser;
}

// The length of the word that starts `input`, and where the text after its white space starts.
std::pair<std::size_t, std::size_t> wordSpan(std::string_view input) {
  std::size_t end = 0;
  while (end < input.size() && isWordChar(input[end])) ++end;
  std::size_t next = end;
  while (next < input.size() && isSpace(input[next])) ++next;
  return {end, next};
}

// A word and the white space after it, as a view into the input. The word parsers scan
// directly rather than through repetitions: they run once per word of lines that may hold
// millions.
Parser<std::string_view> word() {
  static const Parser<std::string_view> parser([](std::string_view input) {
    const auto [end, next] = wordSpan(input);
    if (end == 0) return ParseResults<std::string_view>{};
    return ParseResults<std::string_view>{{input.substr(0, end), input.substr(next)}};
  });
  return parser;
}

// Exactly the word `k`.
Parser<Unit> keyword(std::string k) {
  return Parser<Unit>([k = std::move(k)](std::string_view input) {
    if (!input.starts_with(k) || (input.size() > k.size() && isWordChar(input[k.size()]))) {
      return ParseResults<Unit>{};
    }
    return ParseResults<Unit>{{Unit{}, input.substr(wordSpan(input).second)}};
  });
}

// p applied as long as it succeeds and consumes, its values folded into `init` by `f`.
template <typename T, typename A, typename F>
Parser<A> foldMany(Parser<T> p, A init, F f) {
  return Parser<A>([p, init, f](std::string_view input) {
    A acc = init;
    while (true) {
      ParseResults<T> results = p(input);
      if (results.empty() || results.front().second.size() == input.size()) break;
      acc = f(std::move(acc), std::move(results.front().first));
      input = results.front().second;
    }
    return ParseResults<A>{{std::move(acc), input}};
  });
}

// The words up to the word `stop` (or the end of the line) as one text with its inner spacing,
// without the white space after it; the rest starts at `stop`.
Parser<std::string> textUntil(std::string stop) {
  return Parser<std::string>([stop = std::move(stop)](std::string_view input) {
    std::size_t end = 0;       // just after the last word taken
    std::size_t position = 0;  // start of the next word
    while (position < input.size() && isSpace(input[position])) ++position;
    while (position < input.size()) {
      std::size_t wordEnd = position;
      while (wordEnd < input.size() && isWordChar(input[wordEnd])) ++wordEnd;
      if (input.substr(position, wordEnd - position) == stop) break;
      end = wordEnd;
      position = wordEnd;
      while (position < input.size() && isSpace(input[position])) ++position;
    }
    return ParseResults<std::string>{{std::string(input.substr(0, end)), input.substr(position)}};
  });
}

// Everything that is left, as one text.
Parser<std::string> restOfLine() {
  static const Parser<std::string> parser = textUntil("");
  return parser;
}

// Everything that is left, unread: the words a command does not know are skipped this way.
Parser<Unit> skipRest() {
  static const Parser<Unit> parser([](std::string_view input) {
    return ParseResults<Unit>{{Unit{}, input.substr(input.size())}};
  });
  return parser;
}

// A whole word that is a decimal integer (with an optional "-"), wrapping around like `intP`.
Parser<std::int32_t> number() {
  static const Parser<std::int32_t> parser([digits = intP()](std::string_view input) {
    const auto [end, next] = wordSpan(input);
    ParseResults<std::int32_t> results = digits(input.substr(0, end));
    if (results.empty() || !results.front().second.empty()) return ParseResults<std::int32_t>{};
    return ParseResults<std::int32_t>{{results.front().first, input.substr(next)}};
  });
  return parser;
}

//=== Commands ===//

// clang-format off
const std::vector<std::string> commandWords{
    "uci", "isready", "ucinewgame", "setoption", "position", "go", "stop", "ponderhit", "quit",
    "debug", "register"};
const std::vector<std::string> clockWords{
    "wtime", "btime", "winc", "binc", "movestogo", "nodes", "mate", "movetime"};
// clang-format on

// A command of one word; whatever follows it is skipped.
Parser<UciCommand> simple(const std::string& k, UciCommand command) {
  return then(keyword(k), then(skipRest(), returnP(std::move(command))));
}

Parser<UciCommand> setOption() {
  const Parser<UciCommand> named =
      then(keyword("name"), bind(textUntil("value"), [](std::string n) {
             const Parser<std::string> value =
                 orElse(then(keyword("value"), restOfLine()), returnP(std::string()));
             return bind(value, [n = std::move(n)](std::string v) {
               return returnP(UciCommand(SetOption{n, std::move(v)}));
             });
           }));
  const Parser<UciCommand> unnamed =
      then(skipRest(), returnP(UciCommand(Malformed{"setoption needs \"name <option>\""})));
  return then(keyword("setoption"), orElse(named, unnamed));
}

Parser<UciCommand> position() {
  const Parser<std::optional<std::string>> startpos =
      then(keyword("startpos"),
           then(textUntil("moves"), returnP(std::optional<std::string>())));  // extra words skipped
  const Parser<std::optional<std::string>> fen =
      then(keyword("fen"), bind(textUntil("moves"), [](std::string text) {
             return returnP(std::optional<std::string>(std::move(text)));
           }));
  const Parser<std::string> moves =
      orElse(then(keyword("moves"), restOfLine()), then(skipRest(), returnP(std::string())));
  const Parser<UciCommand> based =
      bind(orElse(startpos, fen), [moves](std::optional<std::string> f) {
        return bind(moves, [f = std::move(f)](std::string m) {
          return returnP(UciCommand(PositionCommand{f, std::move(m)}));
        });
      });
  const Parser<UciCommand> baseless = then(
      skipRest(), returnP(UciCommand(Malformed{
                      "position needs \"startpos\" or \"fen <FEN>\", then optionally \"moves\""})));
  return then(keyword("position"), orElse(based, baseless));
}

// One parameter of "go", as a change to the command.
using GoChange = std::function<void(GoCommand&)>;

Parser<GoCommand> goParameters() {
  const GoChange none = [](GoCommand&) {};
  // "depth N" sets the depth; every clock or limit word takes its number and changes nothing.
  Parser<GoChange> change = bind(keyword("depth"), [none](Unit) {
    return orElse(bind(number(),
                       [](std::int32_t n) {
                         return returnP(GoChange([n](GoCommand& go) { go.depth = n; }));
                       }),
                  returnP(none));
  });
  for (const std::string& w : clockWords) {
    change = orElse(change, then(keyword(w), orElse(then(number(), returnP(none)), returnP(none))));
  }
  change = orElse(change, then(keyword("infinite"),
                               returnP(GoChange([](GoCommand& go) { go.infinite = true; }))));
  change = orElse(
      change, then(keyword("ponder"), returnP(GoChange([](GoCommand& go) { go.ponder = true; }))));
  // "searchmoves" and its moves, and any unknown word, pass as words that change nothing.
  change = orElse(change, then(word(), returnP(none)));
  return foldMany(change, GoCommand{}, [](GoCommand go, const GoChange& f) {
    f(go);
    return go;
  });
}

Parser<UciCommand> go() {
  return then(keyword("go"),
              bind(goParameters(), [](GoCommand g) { return returnP(UciCommand(g)); }));
}

// The first of the words before a command keyword, or nothing.
Parser<std::optional<std::string>> skippedWords() {
  const Parser<std::string_view> other = Parser<std::string_view>([](std::string_view input) {
    ParseResults<std::string_view> results = word()(input);
    if (!results.empty() && std::find(commandWords.begin(), commandWords.end(),
                                      results.front().first) != commandWords.end()) {
      results.clear();
    }
    return results;
  });
  return foldMany(other, std::optional<std::string>(),
                  [](std::optional<std::string> first, std::string_view w) {
                    return first ? std::move(first) : std::optional<std::string>(w);
                  });
}

}  // namespace

Parser<UciCommand> parseUciCommand() {
  static const Parser<UciCommand> parser = [] {
    const Parser<UciCommand> command =
        orElse(orElse(orElse(orElse(simple("uci", UciHello{}), simple("isready", IsReady{})),
                             orElse(simple("ucinewgame", UciNewGame{}), setOption())),
                      orElse(orElse(position(), go()),
                             orElse(simple("stop", UciStop{}), simple("ponderhit", PonderHit{})))),
               orElse(orElse(simple("quit", UciQuit{}), simple("debug", Ignored{})),
                      simple("register", Ignored{})));
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
  for (const Colour colour : {Colour::White, Colour::Black}) {
    const std::size_t kings =
        state.getBoard.index.codesOf(pieceCode({colour, PieceType::King})).size();
    if (kings == 0) return showColourName(colour) + " has no king";
    if (kings > 1) return showColourName(colour) + " has " + std::to_string(kings) + " kings";
  }
  // The search would capture that king and then find a side without one.
  if (inCheck(state, toggle(state.turn))) {
    return showColourName(toggle(state.turn)) + " is in check with " + showColourName(state.turn) +
           " to move";
  }
  return std::nullopt;
}

PositionSetUp setUpPosition(const PositionCommand& command, const State& previous) {
  State state = newGame();
  if (command.fen) {
    std::string error;
    const std::optional<State> read = stateFromFen(*command.fen, &error);
    if (!read) {
      return {previous, "cannot read the FEN " + quoteInput(*command.fen) + ": " + error +
                            "; position unchanged"};
    }
    state = *read;
  }
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
  const std::string_view text = command.moves;
  std::size_t i = 0;
  while (true) {
    while (i < text.size() && isSpace(text[i])) ++i;
    if (i == text.size()) return {reached(), std::nullopt};
    std::size_t end = i;
    while (end < text.size() && !isSpace(text[end])) ++end;
    const std::string_view moveText = text.substr(i, end - i);
    i = end;
    // The base must be a position the rules can generate moves for; legal moves keep it so.
    if (played.empty()) {
      if (const std::optional<std::string> reason = unsearchableReason(state)) {
        return {reached(), "no move can be played here (" + *reason + "); position before " +
                               quoteInput(moveText) + " kept"};
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
      return {reached(), "illegal move " + quoteInput(moveText) + "; position before it kept"};
    }
    state = makeMove(state, *legal);
    state.reversedHistory = History().with(*legal);
    played.push_back(*legal);
  }
}

std::string quoteInput(std::string_view text) {
  constexpr std::size_t shown = 60;
  if (text.size() <= shown) return showStringLiteral(text);
  return showStringLiteral(text.substr(0, shown)) + "... (" + std::to_string(text.size()) +
         " bytes)";
}

std::vector<std::string> uciIdentification() {
  return {"id name Quenlor", "id author the Quenlor developers", "uciok"};
}

std::string infoString(std::string_view text) {
  return "info string " + std::string(text);
}

std::string uciScore(std::int32_t value, std::int32_t depth) {
  // A mate scores depth-left × 10000000 for the side that mates when it falls inside the tree,
  // and the checkmate term 100000000 plus the material when the last ply mates. From that the
  // ply of the mating move follows, and from the ply the moves: plies 1 and 2 are move 1.
  const std::int64_t magnitude = std::abs(static_cast<std::int64_t>(value));
  std::int64_t ply = 0;
  if (magnitude >= 50000000) {
    ply = depth;
  } else if (magnitude >= 5000000) {
    ply = depth - (magnitude + 5000000) / 10000000 + 1;
  }
  if (ply < 1) return "cp " + std::to_string(value);
  const std::int64_t moves = (ply + 1) / 2;
  return "mate " + std::to_string(value > 0 ? moves : -moves);
}

std::string rootLine(const ScoredMoveList& result) {
  std::string line = "info string root";
  for (const ScoredMove& entry : result) {
    if (entry.score.kind != Score::Kind::Number) continue;
    line += " " + niceShowMove(entry.move) + ":" + std::to_string(entry.score.value);
  }
  return line;
}

std::vector<std::string> searchAndReport(const State& state, const GoCommand& go,
                                         std::ostream& out) {
  if (const std::optional<std::string> reason = unsearchableReason(state)) {
    writeLine(out, infoString("cannot search this position: " + *reason));
    return {rootLine(ScoredMoveList{}), "bestmove (none)"};
  }
  const std::int32_t depth = std::clamp(go.depth.value_or(searchDepth), 1, searchDepth);
  using Clock = std::chrono::steady_clock;
  const Clock::time_point start = Clock::now();
  SearchStats stats;
  const ScoredMoveList result =
      deepeningResult(state, depth, &stats, [&](std::int32_t d, const ScoredMoveList& list) {
        const auto ms =
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
        if (!list.empty()) {
          writeLine(out, "info depth " + std::to_string(d) + " score " +
                             uciScore(list[0].score.value, d) + " nodes " +
                             std::to_string(stats.makeMoveCalls) + " time " + std::to_string(ms) +
                             " pv " + niceShowMove(list[0].move));
        }
      });
  if (result.empty()) {
    writeLine(out, infoString(inCheck(state, state.turn) ? "no legal move: checkmate"
                                                         : "no legal move: stalemate"));
    return {rootLine(result), "bestmove (none)"};
  }
  return {rootLine(result), "bestmove " + niceShowMove(result[0].move)};
}

}  // namespace quenlor
