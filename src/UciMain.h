#pragma once
// UciMain: the entry point and command loop of the UCI program. A session owns the game position
// and any answer held back by "go infinite"/"go ponder"; it answers one line at a time and never
// stops on bad input. Uses UciInterface, Parser, Program and Basics; standard C++ only, so it
// builds for browsers (the native program's `main` goes through the process entry in Program).

#include <cstddef>
#include <cstdint>
#include <istream>
#include <memory>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "Search.h"
#include "Types.h"
#include "UciInterface.h"

namespace quenlor {

// The thread a strong search runs on (none in a build without threads).
struct SearchThread;

// One UCI conversation: the game position, any bestmove held back by "go infinite"/"go ponder",
// and the strong search. By default the strong search runs on a thread of its own, so "stop",
// "ponderhit" and "isready" are answered while it goes on; its lines go to the stream of the
// "go" that started it, which must stay the stream of the conversation until the search ends.
// Run inline (always so in a build without threads) the search ends within "go", bounded by the
// top level's node budget when nothing else bounds it, and an infinite or ponder search's answer
// waits for "stop" as at the levels 1 to 4.
class UciSession {
 public:
  enum class Searching : std::uint8_t { OnThread, Inline };
  explicit UciSession(Searching searching = Searching::OnThread);
  ~UciSession();
  UciSession(const UciSession&) = delete;
  UciSession& operator=(const UciSession&) = delete;
  // Answers one input line (given without its line terminator; a trailing '\r' is tolerated),
  // writing whole reply lines, each ended by '\n', to `out`. Returns false after "quit".
  bool handleLine(std::string_view line, std::ostream& out);
  // Ends the conversation, at "quit" or the end of input: a search with a limit is waited for,
  // an infinite one stopped, and a bestmove still held back is sent, since the interface waits
  // for one after every "go".
  void finish(std::ostream& out);

 private:
  void startStrong(const GoCommand& go, std::ostream& out);
  // Waits for the strong search's thread, stopping the search first when `stop`.
  void joinStrong(bool stop);
  void say(std::ostream& out, const std::string& line);
  void sayAll(std::ostream& out, const std::vector<std::string>& lines);

  std::optional<State> state_;      // none after a FEN that could not be read
  std::optional<GameRecord> game_;  // the same game for the strong search
  std::vector<std::string> held_;   // the closing lines of a search waiting for "stop"
  bool pondering_ = false;  // held by "go ponder" alone, so that "ponderhit" releases them too
  UciOptions options_;
  StrongSearch strong_;  // the top level's and the analyses', kept through a game
  StrongSearch fixed_{levelHashMegabytes};  // the fixed budgets', emptied before each
  SearchControl control_;
  std::unique_ptr<SearchThread> thread_;
  bool unbounded_ = false;          // the running search waits for "stop" (or "ponderhit")
  [[maybe_unused]] bool threaded_;  // always false in a build without threads
  std::mutex writing_;              // one line at a time from the session and the search
  std::string failure_;  // a fatal error met on the search's thread, reported on this one
};

// The longest input line the program reads (1 MiB, room for games of a hundred thousand moves);
// a longer one is answered with an "info string" and never held in memory.
inline constexpr std::size_t uciLineLimit = std::size_t{1} << 20U;

// The whole program over streams; returns the exit status (0 after quit or end of input).
int runUci(std::istream& in, std::ostream& out, std::ostream& err);

}  // namespace quenlor
