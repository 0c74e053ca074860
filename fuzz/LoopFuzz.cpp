// Fuzz target: the whole protocol loop on a sequence of lines decoded from the input: legal and
// illegal moves, handshakes, quits, ignored commands and garbage. Lines are produced one at a
// time, as the loop asks for them, so that a legal move can be chosen in the position the
// engine's last reply left. A shadow game follows every line and checks each reply: exactly the
// feature line, "Goodbye", the game-over line, or a "move" naming a legal move of the position.
// A fatal stop is observed by catching the error the loop throws and must carry the message
// the line calls for.

#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <istream>
#include <optional>
#include <sstream>
#include <streambuf>
#include <string>
#include <variant>

#include "AI.h"
#include "Basics.h"
#include "Debug.h"
#include "FuzzSupport.h"
#include "Main.h"
#include "Parser.h"
#include "Rules.h"
#include "WinboardInterface.h"

namespace {

using namespace quenlor;
using namespace quenlor::fuzz;

constexpr std::size_t maxLines = 48;
// QUENLOR_FUZZ_TRACE=1 shows every line given to the engine and every answer, to read a finding.
const bool trace = std::getenv("QUENLOR_FUZZ_TRACE") != nullptr;
// Each answered move runs a full search; a few per input keep the target fast.
constexpr std::size_t maxSearches = 4;

const std::string gameOverLine = "telluser \"Game over - I can't make any legal moves\"";

// What the engine must do with the line it was given last.
struct Silent {};
struct Features {};
struct Goodbye {};
struct Stop {
  std::string message;
};
struct Reply {
  State after;  // the position after the opponent's move
};
using Expectation = std::variant<std::monostate, Silent, Features, Goodbye, Stop, Reply>;

// clang-format off
constexpr std::array<const char*, 27> ignoredLines{
    "xboard", "new", "go", "force", "post", "nopost", "hard", "easy", "random", "white", "black",
    "computer", "?", "level 40 5 0", "time 30000", "otim 30000", "accepted usermove",
    "rejected sigint", "result 1-0 {White mates}", "Quit", " quit", "protover", "usermove",
    "usermove E2E4", "usermove # e2e4", "", "usermove e2"};
constexpr std::array<const char*, 7> quitLines{
    "quit", "quit # bye", "quit -- bye", "quit % bye", "quit\t", "quitter", "quit now"};
constexpr std::array<const char*, 7> separators{" ", "", "   ", "\t", "\xA0", "\v", " \f"};
constexpr std::array<const char*, 5> trailers{"", " ", " # x", " -- y", "%"};
constexpr std::array<const char*, 5> moveTrailers{" ", "x", "=q", " # bye", "\r"};
// clang-format on

template <std::size_t N>
std::string pick(FuzzedDataProvider& input, const std::array<const char*, N>& table) {
  return table[input.ConsumeIntegralInRange<std::size_t>(0, N - 1)];
}

class Session {
 public:
  explicit Session(FuzzedDataProvider& input) : input_(input) {}

  std::ostringstream out;

  // The next line the engine reads, terminator included; nothing at end of input. Checks the
  // engine's answer to the line before first.
  std::optional<std::string> nextLine() {
    if (exhausted_) return std::nullopt;
    settle(takeOutput());
    pending_ = std::monostate{};
    if (lines_ == maxLines || input_.remaining_bytes() == 0) {
      exhausted_ = true;
      return std::nullopt;
    }
    ++lines_;
    std::string raw = generateLine();
    const auto ending = input_.ConsumeIntegral<std::uint8_t>();
    if (ending % 8 == 0) raw += '\r';
    // The engine drops one carriage return at the end of a line (sent by Windows interfaces).
    std::string seen = raw;
    if (!seen.empty() && seen.back() == '\r') seen.pop_back();
    if (input_.remaining_bytes() == 0 && ending % 2 == 1) {
      // A last line without its newline is still handled before the end of input.
      exhausted_ = true;
      if (raw.empty()) return std::nullopt;
    } else {
      raw += '\n';
    }
    pending_ = expectationFor(seen);
    if (trace) std::fprintf(stderr, "> %s\n", showStringLiteral(raw).c_str());
    return raw;
  }

  // Checks the end of the run: the loop returned (no message) or stopped with `fatal`.
  void finish(const std::optional<std::string>& fatal) {
    const std::string output = takeOutput();
    if (!fatal) {
      check(std::holds_alternative<Goodbye>(pending_), "the loop returned without a quit");
      check(output == "Goodbye\n", "quit answered with " + output);
      return;
    }
    if (const auto* stop = std::get_if<Stop>(&pending_)) {
      check(*fatal == stop->message, "stopped with " + *fatal + " instead of " + stop->message);
      check(output.empty(), "wrote " + output + " before stopping");
      return;
    }
    check(!std::holds_alternative<Goodbye>(pending_), "stopped after quit with " + *fatal);
    if (const auto* reply = std::get_if<Reply>(&pending_); reply && output.empty()) {
      // The engine stopped while answering: its own search must stop the same way.
      try {
        (void)cpuMove(reply->after);
      } catch (const FatalError& e) {
        check(*fatal == e.what(), "stopped with " + *fatal + " where the search says " + e.what());
        return;
      }
      fail("stopped with " + *fatal + " instead of answering the move");
    }
    settle(output);
    check(exhausted_, "stopped with " + *fatal + " before the end of input");
    check(*fatal == "end of input", "end of input reported as " + *fatal);
  }

 private:
  std::string takeOutput() {
    const std::string all = out.str();
    std::string fresh = all.substr(consumed_);
    consumed_ = all.size();
    if (trace && !fresh.empty()) std::fprintf(stderr, "< %s", fresh.c_str());
    return fresh;
  }

  // Checks the engine's output for the pending line and advances the shadow game.
  void settle(const std::string& output) {
    if (const auto* reply = std::get_if<Reply>(&pending_)) {
      checkReply(reply->after, output);
    } else if (std::holds_alternative<Features>(pending_)) {
      check(output == std::string(winboardFeatures) + "\n", "protover answered with " + output);
    } else if (std::holds_alternative<Goodbye>(pending_)) {
      fail("the engine read on after quit");
    } else if (const auto* stop = std::get_if<Stop>(&pending_)) {
      fail("the engine read on instead of stopping with " + stop->message);
    } else {
      check(output.empty(), "an ignored line was answered with " + output);
    }
  }

  void checkReply(const State& after, const std::string& output) {
    check(!output.empty() && output.find('\n') == output.size() - 1,
          "a move must be answered with exactly one line, got " + output);
    const std::string line = output.substr(0, output.size() - 1);
    std::optional<MoveList> legal;
    try {
      legal = legalMoves(after);
    } catch (const FatalError& e) {
      fail("answered " + line + " where the rules stop with " + e.what());
    }
    if (line == gameOverLine) {
      check(legal->empty(), "game over declared with legal moves left");
      shadow_ = after;
      return;
    }
    check(line.starts_with("move "), "reply of an unknown form: " + line);
    const std::string text = line.substr(5);
    for (const Move move : *legal) {
      if (refMoveText(move) == text) {
        shadow_ = makeMove(after, move);
        if (const auto problems = boardIntegrityProblems(shadow_)) fail(*problems);
        return;
      }
    }
    fail("the engine played " + text + ", not a legal move");
  }

  Expectation expectationFor(const std::string& line) {
    const RefCommand ref = readCommand(line);
    const std::string_view rest = std::string_view(line).substr(ref.restStart);
    if (!rest.empty()) {
      const std::string shown = ref.kind == CommandKind::UserMove
                                    ? "UserMove (" + refMoveConstructor(ref.move) + ")"
                                : ref.kind == CommandKind::Quit ? "Quit"
                                : ref.version < 0 ? "Protover (" + std::to_string(ref.version) + ")"
                                                  : "Protover " + std::to_string(ref.version);
      return Stop{"Parse error: [(" + shown + "," + refQuotedRest(rest) + ")]"};
    }
    switch (ref.kind) {
      case CommandKind::Unknown: return Silent{};
      case CommandKind::Protover: return Features{};
      case CommandKind::Quit: return Goodbye{};
      case CommandKind::UserMove: break;
    }
    if (!inBoard(ref.move.from) || !inBoard(ref.move.to)) {
      return Stop{"Move off the board: " + refMoveText(ref.move)};
    }
    try {
      ++searches_;
      return Reply{makeMove(shadow_, ref.move)};
    } catch (const FatalError& e) {
      return Stop{e.what()};
    }
  }

  // A legal move of the shadow game; after illegal moves the rules may stop, and any move will do.
  std::string legalMoveText() {
    std::optional<MoveList> legal;
    try {
      legal = legalMoves(shadow_);
    } catch (const FatalError&) {
    }
    if (!legal || legal->empty()) return "a7a8";
    return refMoveText((*legal)[input_.ConsumeIntegralInRange<std::size_t>(0, legal->size() - 1)]);
  }

  std::string squareText() {
    const auto file = static_cast<char>('a' + input_.ConsumeIntegralInRange(0, 7));
    return file + std::to_string(input_.ConsumeIntegralInRange(1, 8));
  }

  std::string wildSquareText() {
    const auto file = static_cast<char>('a' + input_.ConsumeIntegralInRange(0, 25));
    std::string digits = std::to_string(input_.ConsumeIntegral<std::uint32_t>());
    if (input_.ConsumeBool())
      digits = std::string(input_.ConsumeIntegralInRange(0, 20), '0') + digits;
    return file + digits;
  }

  std::string generateLine() {
    int kind = input_.ConsumeIntegralInRange(0, 15);
    const bool moveKind = kind <= 7 || kind == 12;
    // Past the search budget, moves give way to lines that cost nothing.
    if (moveKind && searches_ >= maxSearches) kind = 10;
    switch (kind) {
      case 0:
      case 1:
      case 2:
      case 3:
      case 4:
      case 5: return "usermove" + pick(input_, separators) + legalMoveText();
      case 6: {
        std::string move = squareText() + squareText();
        if (input_.ConsumeBool()) move += "qrnbkpQRNBKP"[input_.ConsumeIntegralInRange(0, 11)];
        return "usermove " + move;
      }
      case 7: return "usermove " + wildSquareText() + wildSquareText();
      case 8: {
        std::string number = std::to_string(input_.ConsumeIntegral<std::int32_t>());
        if (input_.ConsumeBool()) number += std::to_string(input_.ConsumeIntegral<std::uint64_t>());
        return "protover" + pick(input_, separators) + number + pick(input_, trailers);
      }
      case 9: return pick(input_, quitLines);
      case 10: return pick(input_, ignoredLines);
      case 11: return withoutNewlines(input_.ConsumeRandomLengthString(80));
      case 12: return "usermove " + legalMoveText() + pick(input_, moveTrailers);
      case 13: {
        static constexpr std::array<const char*, 3> keywords{"usermove", "protover", "quit"};
        return pick(input_, keywords) + withoutNewlines(input_.ConsumeRandomLengthString(40));
      }
      default: return "usermove " + legalMoveText();
    }
  }

  static std::string withoutNewlines(std::string text) {
    std::erase(text, '\n');
    return text;
  }

  FuzzedDataProvider& input_;
  State shadow_ = newGame();
  Expectation pending_;
  std::size_t consumed_ = 0;
  std::size_t lines_ = 0;
  std::size_t searches_ = 0;
  bool exhausted_ = false;
};

// An input stream whose lines come from the session one at a time, when the loop reads them.
class LineSource : public std::streambuf {
 public:
  explicit LineSource(Session& session) : session_(session) {}

 protected:
  int_type underflow() override {
    if (gptr() != egptr()) return traits_type::to_int_type(*gptr());
    // The stream would swallow an exception thrown here, so nothing may escape.
    std::optional<std::string> line;
    try {
      line = session_.nextLine();
    } catch (const std::exception& e) {
      fail(std::string("harness error: ") + e.what());
    }
    if (!line) return traits_type::eof();
    buffer_ = std::move(*line);
    setg(buffer_.data(), buffer_.data(), buffer_.data() + buffer_.size());
    return traits_type::to_int_type(*gptr());
  }

 private:
  Session& session_;
  std::string buffer_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  Session session(input);
  LineSource source(session);
  std::istream in(&source);
  std::optional<std::string> fatal;
  try {
    loop(in, session.out, newGame());
  } catch (const FatalError& e) {
    fatal = e.what();
  }
  if (trace && fatal) std::fprintf(stderr, "stopped: %s\n", fatal->c_str());
  session.finish(fatal);
  return 0;
}
