#include "UciMain.h"

#include <thread>
#include <type_traits>
#include <utility>
#include <variant>

#include "Basics.h"
#include "Parser.h"
#include "Position.h"
#include "Program.h"
#include "UciInterface.h"

namespace quenlor {

// Browsers run the engine in a worker without threads of its own.
#if defined(__EMSCRIPTEN__) && !defined(__EMSCRIPTEN_PTHREADS__)
#define QUENLOR_SEARCH_THREADS 0
struct SearchThread {};
#else
#define QUENLOR_SEARCH_THREADS 1
struct SearchThread {
  std::thread thread;
};
#endif

UciSession::UciSession(Searching searching)
    : state_(newGame()),
      game_(GameRecord(positionOf(*state_))),
      threaded_(QUENLOR_SEARCH_THREADS != 0 && searching == Searching::OnThread) {}

UciSession::~UciSession() {
  try {
    joinStrong(true);
  } catch (const FatalError&) {
    // The session is going away: a write that failed on the search's thread has nobody to tell.
  }
}

void UciSession::say(std::ostream& out, const std::string& line) {
  const std::lock_guard<std::mutex> lock(writing_);
  writeLine(out, line);
}

void UciSession::sayAll(std::ostream& out, const std::vector<std::string>& lines) {
  for (const std::string& line : lines) say(out, line);
}

void UciSession::joinStrong(bool stop) {
  if (!thread_) return;
  if (stop) control_.stop = true;
#if QUENLOR_SEARCH_THREADS
  thread_->thread.join();
#endif
  thread_.reset();
  if (!failure_.empty()) fatalError(std::exchange(failure_, std::string()));
}

void UciSession::startStrong(const GoCommand& go, std::ostream& out) {
  control_.stop = false;
  control_.ponderHit = false;
  if (options_.clearHash) {
    strong_.clear();
    options_.clearHash = false;
  }
  const LineWriter write = [this, &out](const std::string& line) { say(out, line); };
  const bool fixed = searchesFixedBudget(go, options_);
  StrongSearch& search = fixed ? fixed_ : strong_;
  if (fixed) search.clear();
#if QUENLOR_SEARCH_THREADS
  if (threaded_) {
    unbounded_ = go.infinite || go.ponder;
    thread_ = std::make_unique<SearchThread>();
    thread_->thread = std::thread([this, go, write, &search, game = game_, options = options_] {
      try {
        write(strongSearchAndReport(game, go, options, search, control_, write));
      } catch (const FatalError& error) {
        failure_ = error.what();
      }
    });
    return;
  }
#endif
  // Nothing can stop a search here: one that nothing else bounds searches the top level's
  // budget, and an infinite or ponder search's answer waits for "stop".
  GoCommand bounded = go;
  bounded.infinite = bounded.ponder = false;
  const auto budget = static_cast<std::int32_t>(levelLimits(topLevel).nodes);
  if (!go.moveTime && !searchesFixedBudget(go, options_)) {
    bounded.nodes = std::min(go.nodes.value_or(budget), budget);
  }
  std::string closing = strongSearchAndReport(game_, bounded, options_, search, control_, write);
  if (go.infinite || go.ponder) {
    held_ = {std::move(closing)};
    pondering_ = go.ponder && !go.infinite;
  } else {
    say(out, closing);
  }
}

bool UciSession::handleLine(std::string_view line, std::ostream& out) {
  const UciCommand command = readUciCommand(line);
  // Beside a running strong search only "isready", "position" and "ponderhit" are answered at
  // once; "stop" and "quit" stop it, and anything else, a new "go" too, waits for a search with
  // a limit to end (and stops one without), so a script that sends its commands at once gets
  // every search in full.
  if (thread_) {
    if (std::holds_alternative<PonderHit>(command)) {
      control_.ponderHit = true;
      unbounded_ = false;
    } else if (!std::holds_alternative<IsReady>(command) &&
               !std::holds_alternative<PositionCommand>(command) &&
               !std::holds_alternative<Ignored>(command)) {
      joinStrong(unbounded_ || std::holds_alternative<UciStop>(command) ||
                 std::holds_alternative<UciQuit>(command));
    }
  }
  bool goOn = true;
  std::visit(
      [&](const auto& c) {
        using C = std::decay_t<decltype(c)>;
        if constexpr (std::is_same_v<C, UciHello>) {
          sayAll(out, uciIdentification());
        } else if constexpr (std::is_same_v<C, IsReady>) {
          say(out, "readyok");
        } else if constexpr (std::is_same_v<C, UciNewGame>) {
          state_ = newGame();
          game_.emplace(positionOf(*state_));
          strong_.clear();
        } else if constexpr (std::is_same_v<C, SetOption>) {
          const std::int32_t hash = options_.hash;
          if (const std::optional<std::string> problem = applyOption(c, options_)) {
            say(out, infoString(*problem));
          }
          if (options_.hash != hash) strong_.resize(static_cast<std::size_t>(options_.hash));
        } else if constexpr (std::is_same_v<C, PositionCommand>) {
          PositionSetUp setUp = setUpPosition(c);
          state_ = std::move(setUp.state);
          game_ = std::move(setUp.game);
          if (setUp.problem) say(out, infoString(*setUp.problem));
        } else if constexpr (std::is_same_v<C, GoCommand>) {
          // Every "go" gets its own bestmove: one still held back is sent first.
          sayAll(out, held_);
          held_.clear();
          if (usesStrongSearch(c, options_)) {
            startStrong(c, out);
            return;
          }
          const LineWriter write = [&](const std::string& text) { say(out, text); };
          std::vector<std::string> closing = searchAndReport(state_, c, options_, write);
          if (c.infinite || c.ponder) {
            held_ = std::move(closing);
            pondering_ = c.ponder && !c.infinite;
          } else {
            sayAll(out, closing);
          }
        } else if constexpr (std::is_same_v<C, UciStop>) {
          sayAll(out, held_);
          held_.clear();
        } else if constexpr (std::is_same_v<C, PonderHit>) {
          // The ponder search becomes a normal one, which answers at once; an infinite search
          // stays infinite.
          if (pondering_) {
            sayAll(out, held_);
            held_.clear();
          }
        } else if constexpr (std::is_same_v<C, UciQuit>) {
          finish(out);
          goOn = false;
        } else if constexpr (std::is_same_v<C, Malformed>) {
          say(out, infoString(c.reason));
        } else if constexpr (std::is_same_v<C, Unsupported>) {
          say(out, infoString("unsupported command " + quoteInput(c.word) + " ignored"));
        } else if constexpr (std::is_same_v<C, UciUnknown>) {
          say(out, infoString("unknown command " + quoteInput(c.word) + " ignored"));
        }
        // `Ignored`: nothing to answer.
      },
      command);
  return goOn;
}

void UciSession::finish(std::ostream& out) {
  joinStrong(unbounded_);
  sayAll(out, held_);
  held_.clear();
}

int runUci(std::istream& in, std::ostream& out, std::ostream& err) {
  return reportingFatalErrors(err, [&] {
    UciSession session;
    while (const std::optional<InputLine> line = readLine(in, uciLineLimit)) {
      if (line->tooLong) {
        writeLine(
            out, infoString("line longer than " + std::to_string(uciLineLimit) + " bytes ignored"));
      } else if (!session.handleLine(line->text, out)) {
        return 0;
      }
    }
    session.finish(out);
    return 0;
  });
}

}  // namespace quenlor

#ifndef QUENLOR_NO_MAIN
int main(int argc, char** argv) {
  return quenlor::programMain(argc, argv, "quenlor-uci", quenlor::uciUsage, quenlor::runUci,
                              quenlor::Interrupts::End);
}
#endif
