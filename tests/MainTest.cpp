// Tests of the main loop and replies: transcripts run in process through `runEngine`
// and `loop`, then the built engine run as a subprocess for exit statuses, standard error, the
// reference games, signals and a closed standard output.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <fstream>
#include <initializer_list>
#include <optional>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "AI.h"
#include "Basics.h"
#include "Main.h"
#include "Parser.h"
#include "TestSupport.h"
#include "WinboardInterface.h"

namespace quenlor {
namespace {

using namespace test;

const std::string features = std::string(winboardFeatures) + "\n";
const std::string gameOver = std::string(winboardGameOver) + "\n";

// The reply lines to the opponent's moves, each applied after the engine's previous reply (or,
// after a game-over line, to the position after the previous opponent move).
std::string expectedReplies(std::initializer_list<const char*> opponentMoves,
                            State state = newGame()) {
  std::string out;
  for (const char* text : opponentMoves) {
    const State afterOpponent = makeMove(state, mv(text));
    if (const std::optional<Move> reply = cpuMove(afterOpponent)) {
      out += "move " + niceShowMove(*reply) + "\n";
      state = makeMove(afterOpponent, *reply);
    } else {
      out += gameOver;
      state = afterOpponent;
    }
  }
  return out;
}

// An input with the standard output, standard error and exit status it must give.
struct Transcript {
  std::string input;
  std::string out;
  std::string err;
  int status;
};

void expectResult(const RunResult& r, const Transcript& t) {
  EXPECT_TRUE(sameText(r.out, t.out)) << "stdout for " << brief(t.input);
  EXPECT_TRUE(sameText(r.err, t.err)) << "stderr for " << brief(t.input);
  EXPECT_EQ(r.status, t.status) << brief(t.input);
}

RunResult runInProcess(const std::string& input) {
  std::istringstream in(input);
  std::ostringstream out;
  std::ostringstream err;
  const int status = runEngine(in, out, err);
  return {out.str(), err.str(), status};
}

void expectTranscripts(const std::vector<Transcript>& transcripts) {
  for (const Transcript& t : transcripts) expectResult(runInProcess(t.input), t);
}

// Bytes of every value but the newline, in a scrambled order, starting and ending with "Z".
std::string junkBytes(std::size_t n) {
  std::string bytes(n, 'Z');
  for (std::size_t i = 1; i + 1 < n; ++i) {
    const auto b = static_cast<unsigned char>((i * 167 + i / 256) % 256);
    bytes[i] = b == '\n' ? '\0' : static_cast<char>(b);
  }
  return bytes;
}

//=== In process ===//

TEST(Main, CommandsAreAnsweredUntilQuit) {
  const std::string reply = expectedReplies({"e2e4"});
  const std::string bye = "Goodbye\n";
  // clang-format off
  expectTranscripts({
      {"xboard\nprotover 2\nnew\nusermove e2e4\nquit\n",    features + reply + bye, "", 0},
      // Every protover gets the feature line, whatever its number.
      {"protover 2\nprotover -1\nprotover 99999999999999 # c\nprotover2\nquit\n",
       features + features + features + features + bye, "", 0},
      // The game continues from each reply; a second "new" does not reset it.
      {"new\nusermove e2e4\nusermove g1f3\nnew\nusermove f1c4\nquit\n",
       expectedReplies({"e2e4", "g1f3", "f1c4"}) + bye, "", 0},
      // A carriage return before the newline is dropped; a last line needs no newline.
      {"xboard\r\nprotover 2\r\nusermove e2e4\r\nusermove g1f3\r\nquit\r\n",
       features + expectedReplies({"e2e4", "g1f3"}) + bye, "", 0},
      {"usermove e2e4\nquit",                                  reply + bye, "", 0},
      {"quit\r",                                               bye, "", 0},
      // A rank number that wraps around onto the board is an ordinary move: 4294967298 is 2.
      {"usermove e4294967298e4\nquit\n",                       reply + bye, "", 0},
      // Nothing after quit is read.
      {"quit\nprotover 2\n",                                   bye, "", 0},
  });
  // clang-format on
}

TEST(Main, OtherLinesAreSilentAndLeaveThePositionAsItWas) {
  const std::string reply = expectedReplies({"e2e4"});
  for (const std::string& line : std::vector<std::string>{
           "", "xboard", "new", "go", "force", "white", "black", "accepted usermove",
           "level 40 5 0", "result 1-0 {White mates}", "usermove xyz", "usermove e2",
           "\x01\xff\x80", std::string("x\0y", 3)}) {
    expectTranscripts({{line + "\nusermove e2e4\nquit\n", reply + "Goodbye\n", "", 0}});
  }
}

TEST(Main, FatalErrorsStopWithOneLineOnStandardError) {
  const std::string reply = expectedReplies({"e2e4"});
  const std::string endOfInput = "quenlor: end of input\n";
  // clang-format off
  expectTranscripts({
      {"",                                   "",                 endOfInput, 1},
      {"\n\n",                               "",                 endOfInput, 1},
      {"protover 2\nusermove e2e4\n",        features + reply,   endOfInput, 1},
      {"usermove e2e4",                      reply,              endOfInput, 1},
      {"usermove e2e4\r",                    reply,              endOfInput, 1},
      {"protover 2",                         features,           endOfInput, 1},
      // Parse errors: nothing more on standard output.
      {"usermove e2e4 \nquit\n", "",
       "quenlor: Parse error: [(UserMove (MovePiece (7,5) (5,5)),\" \")]\n", 1},
      {"protover 2\nquitter\nquit\n", features, "quenlor: Parse error: [(Quit,\"ter\")]\n", 1},
      {"quitter", "", "quenlor: Parse error: [(Quit,\"ter\")]\n", 1},
      {"usermove e2e4\nprotover 2 x\nquit\n", reply,
       "quenlor: Parse error: [(Protover 2,\"x\")]\n", 1},
      {std::string("quit\0\n", 6), "", "quenlor: Parse error: [(Quit,\"\\NUL\")]\n", 1},
      // Only the one carriage return that ends the line goes.
      {"usermove e7e8=q\r\n", "",
       "quenlor: Parse error: [(UserMove (MovePiece (2,5) (1,5)),\"=q\")]\n", 1},
      {"usermove e2e4\r\r\n", "",
       "quenlor: Parse error: [(UserMove (MovePiece (7,5) (5,5)),\"\\r\")]\n", 1},
      // Moves off the board are refused before they are applied, after the whole line parsed.
      {"usermove a1a9\nquit\n", "", "quenlor: Move off the board: a1a9\n", 1},
      {"protover 2\nusermove e2e4\nusermove h1i1\nquit\n", features + reply,
       "quenlor: Move off the board: h1i1\n", 1},
      {"usermove e7e9q\nquit\n", "", "quenlor: Move off the board: e7e9q\n", 1},
      {"usermove a2147483648a1\nquit\n", "", "quenlor: Move off the board: a-2147483648a1\n", 1},
      {"usermove a1a9 \n", "",
       "quenlor: Parse error: [(UserMove (MovePiece (8,1) (0,1)),\" \")]\n", 1},
      // A failure inside makeMove.
      {"protover 2\nusermove e4e5\nquit\n", features,
       "quenlor: getPieceFromSquare called on empty square\n", 1},
      // Kings found missing or doubled inside the search, named in the board's index order
      // (a new king goes first) with the board where the search looked for them.
      {"usermove a2g1k\nquit\n", "",
       "quenlor: findKing found kings at [(8,7),(8,5)]\nin the board\nr.bqkbnr\npppppppp\n"
       "..n.....\n" + emptyRows(3) + ".PPPPPPP\nRNBQKBKR\n\n", 1},
      {"usermove f2f3\nusermove e1f2\nusermove f2g3\nusermove g3h4\nquit\n",
       "move e7e5\nmove d7d5\nmove d8g5\n",
       "quenlor: findKing found kings at []\nin the board\nrnb.kbnr\nppp..ppp\n........\n"
       "...pp...\n.......q\n.....P..\nPPPPP.PP\nRNBQ.BNR\n\n", 1},
  });
  // clang-format on
}

TEST(Main, VeryLongLinesAreUnknownOrParseErrors) {
  // Lines up to the limit are read whole; a parse error quotes only the start of what is left.
  const std::string bytes = junkBytes(winboardLineLimit - 16);
  ASSERT_NE(bytes.find('\0'), std::string::npos);
  ASSERT_NE(bytes.find('\xff'), std::string::npos);
  const std::string bye = "Goodbye\n";
  const std::string quotedBytes =
      showStringLiteral(bytes.substr(0, 256)) + "... (" + std::to_string(bytes.size()) + " bytes)";
  // Past the limit (the carriage return counted) a line is a parse error of its own.
  const std::string tooLong = "quenlor: Parse error: line longer than 1048576 bytes\n";
  // clang-format off
  expectTranscripts({
      // Unknown: silent, and the game goes on.
      {"x" + bytes + "\nprotover 2\nquit\n",                     features + bye, "", 0},
      {"usermove " + bytes + "\nquit\n",                         bye, "", 0},
      // Keywords followed by long junk or long numbers, up to the limit exactly.
      {"quit" + std::string(winboardLineLimit - 4, ' ') + "\n",   bye, "", 0},
      {"quit #" + bytes + "\n",                                   bye, "", 0},
      {"protover " + std::string(winboardLineLimit - 10, '9') + "\r\nquit\n", features + bye, "", 0},
      // Parse errors: the rest of the line is cut short in the message.
      {"quit" + bytes + "\n", "", "quenlor: Parse error: [(Quit," + quotedBytes + ")]\n", 1},
      {"usermove e2e4" + bytes + "\n", "",
       "quenlor: Parse error: [(UserMove (MovePiece (7,5) (5,5))," + quotedBytes + ")]\n", 1},
      {"quit" + std::string(winboardLineLimit - 4, ' ') + " \nquit\n", "", tooLong, 1},
      {"protover 2\n" + std::string(winboardLineLimit, 'x') + "\r\nquit\n", features, tooLong, 1},
      {"usermove e2e4" + junkBytes(10 << 20) + "\nquit\n",       "", tooLong, 1},
  });
  // clang-format on
}

TEST(Main, AfterTheGameOverLineTheNextMoveIsAppliedAfterTheOpponentMove) {
  // White's c5b6 stalemates Black (the engine); the next opponent move, the Black pawn's h5h4,
  // is applied to the position after c5b6, and the engine, now White, answers it.
  const State start = fen("k7/8/8/2Q4p/7P/8/8/6K1 w - - 0 1");
  const State afterOpponent = makeMove(start, mv("c5b6"));
  ASSERT_FALSE(cpuMove(afterOpponent));
  const std::optional<Move> reply = cpuMove(makeMove(afterOpponent, mv("h5h4")));
  ASSERT_TRUE(reply);
  // The reply differs from what the game before c5b6 would give, so the test tells them apart.
  const std::optional<Move> wrong = cpuMove(makeMove(start, mv("h5h4")));
  ASSERT_TRUE(!wrong || *wrong != *reply);

  std::istringstream in("usermove c5b6\nusermove h5h4\nquit\n");
  std::ostringstream out;
  loop(in, out, start);
  EXPECT_EQ(out.str(), gameOver + "move " + niceShowMove(*reply) + "\nGoodbye\n");
}

TEST(Main, LoopReturnsOnQuitWithoutReadingFurther) {
  std::istringstream in("protover 2\nquit\nprotover 2\nrest\n");
  std::ostringstream out;
  loop(in, out, newGame());
  EXPECT_EQ(out.str(), features + "Goodbye\n");
  std::string next;
  ASSERT_TRUE(std::getline(in, next));
  EXPECT_EQ(next, "protover 2");
}

//=== The built engine as a subprocess ===//

TEST(MainBinary, ExitStatusesAndStandardError) {
  for (const Transcript& t : std::vector<Transcript>{
           {"xboard\nprotover 2\nnew\nusermove e2e4\nquit\n",
            features + expectedReplies({"e2e4"}) + "Goodbye\n", "", 0},
           {"protover 2\nusermove e2e4\n", features + expectedReplies({"e2e4"}),
            "quenlor: end of input\n", 1},
           {"protover 2\nquitter\n", features, "quenlor: Parse error: [(Quit,\"ter\")]\n", 1},
           {"protover 2\nusermove a1a9\nquit\n", features, "quenlor: Move off the board: a1a9\n",
            1},
       }) {
    expectResult(runEngineBinary(t.input), t);
  }
  // Asking for help or the version answers at once, without waiting for input.
  for (const auto& [args, start] : std::vector<std::pair<std::string, std::string>>{
           {"--help", "Usage: quenlor "},
           {"-h", "Usage: quenlor "},
           {"--version", "quenlor " QUENLOR_VERSION "\n"},
           {"x --version", "quenlor "}}) {
    const RunResult r = runProgram(QUENLOR_BINARY, "protover 2\n", args);
    EXPECT_EQ(r.out.rfind(start, 0), 0u) << args << ": " << r.out;
    EXPECT_EQ(r.err, "") << args;
    EXPECT_EQ(r.status, 0) << args;
  }
}

TEST(MainBinary, ReferenceGames) {
  const auto dir = sharedDir() / "reference" / "games";
  for (int n = 1; n <= 5; ++n) {
    const std::string game = "game" + std::to_string(n);
    const std::string input = readFile(dir / (game + ".in"));
    expectResult(runEngineBinary(input), {input, readFile(dir / (game + ".out")), "",
                                          std::stoi(readFile(dir / (game + ".rc")))});
  }
}

// The engine as a child process with pipes, for what a file of input cannot show: replies that
// arrive while the input stays open, signals between commands, and a reader that goes away.
class EngineProcess {
 public:
  enum class Output { Pipe, ClosedPipe, DevFull };

  explicit EngineProcess(Output output = Output::Pipe, const char* path = QUENLOR_BINARY) {
    // A child that exits early must not kill the test with SIGPIPE while input is written.
    std::signal(SIGPIPE, SIG_IGN);
    int in[2];
    int out[2];
    int err[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) {
      ADD_FAILURE() << "pipe2 failed";
      return;
    }
    const int full = output == Output::DevFull ? open("/dev/full", O_WRONLY | O_CLOEXEC) : -1;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(in[0], 0);
      dup2(full >= 0 ? full : out[1], 1);
      dup2(err[1], 2);
      // Default dispositions and no blocked signals, whatever the test runner set: the engine
      // must change them itself.
      struct sigaction dfl {};
      dfl.sa_handler = SIG_DFL;
      sigemptyset(&dfl.sa_mask);
      for (const int sig : {SIGINT, SIGPIPE, SIGTERM}) sigaction(sig, &dfl, nullptr);
      sigset_t none;
      sigemptyset(&none);
      sigprocmask(SIG_SETMASK, &none, nullptr);
      execl(path, path, static_cast<char*>(nullptr));
      _exit(127);
    }
    close(in[0]);
    close(out[1]);
    close(err[1]);
    if (full >= 0) close(full);
    toEngine_ = in[1];
    fromEngine_ = out[0];
    errors_ = err[0];
    if (output != Output::Pipe) closeFd(fromEngine_);
  }

  EngineProcess(const EngineProcess&) = delete;
  EngineProcess& operator=(const EngineProcess&) = delete;

  ~EngineProcess() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    closeFd(toEngine_);
    closeFd(fromEngine_);
    closeFd(errors_);
  }

  [[nodiscard]] pid_t pid() const { return pid_; }

  // Writes all of `text`; false when the engine no longer reads.
  bool send(const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
      const ssize_t n = write(toEngine_, text.data() + done, text.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      done += static_cast<std::size_t>(n);
    }
    return true;
  }

  // The next line of standard output without its newline, or nothing at end of output. Only
  // guards against a hang; the wait is generous and no timing is asserted.
  std::optional<std::string> readLine() {
    while (true) {
      const std::size_t newline = pending_.find('\n');
      if (newline != std::string::npos) {
        std::string line = pending_.substr(0, newline);
        pending_.erase(0, newline + 1);
        return line;
      }
      pollfd p{fromEngine_, POLLIN, 0};
      const int ready = poll(&p, 1, 60000);
      if (ready < 0 && errno == EINTR) continue;
      if (ready <= 0) {
        ADD_FAILURE() << "no line from the engine";
        return std::nullopt;
      }
      char buffer[4096];
      const ssize_t n = read(fromEngine_, buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return std::nullopt;
      pending_.append(buffer, static_cast<std::size_t>(n));
    }
  }

  void signal(int sig) const { ASSERT_EQ(kill(pid_, sig), 0); }

  // Closes the engine's input, reads what is left of its output and error, and waits for it.
  RunResult finish() {
    closeFd(toEngine_);
    RunResult result;
    result.out = readAll(fromEngine_);
    result.err = readAll(errors_);
    int raw = 0;
    while (waitpid(pid_, &raw, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
    if (WIFEXITED(raw)) result.status = WEXITSTATUS(raw);
    if (WIFSIGNALED(raw)) result.status = 128 + WTERMSIG(raw);
    result.out = pending_ + result.out;
    pending_.clear();
    return result;
  }

 private:
  static void closeFd(int& fd) {
    if (fd >= 0) close(fd);
    fd = -1;
  }

  static std::string readAll(int& fd) {
    std::string out;
    if (fd < 0) return out;
    char buffer[4096];
    while (true) {
      const ssize_t n = read(fd, buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      out.append(buffer, static_cast<std::size_t>(n));
    }
    closeFd(fd);
    return out;
  }

  pid_t pid_ = -1;
  int toEngine_ = -1;
  int fromEngine_ = -1;
  int errors_ = -1;
  std::string pending_;
};

std::string withoutNewline(const std::string& line) {
  return line.substr(0, line.size() - 1);
}

// The signal masks of a running process, from /proc.
std::uint64_t signalMask(pid_t pid, const std::string& field) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind(field + ":", 0) == 0)
      return std::stoull(line.substr(field.size() + 1), nullptr, 16);
  }
  ADD_FAILURE() << "no " << field << " for process " << pid;
  return 0;
}

TEST(MainBinary, RepliesArriveWhileTheInputStaysOpenAndSigintIsIgnored) {
  EngineProcess engine;
  ASSERT_TRUE(engine.send("xboard\nprotover 2\n"));
  ASSERT_EQ(engine.readLine(), withoutNewline(features));
  // SIGINT is ignored, not caught; SIGTERM keeps its default.
  const std::uint64_t bitInt = std::uint64_t{1} << (SIGINT - 1);
  const std::uint64_t bitTerm = std::uint64_t{1} << (SIGTERM - 1);
  EXPECT_NE(signalMask(engine.pid(), "SigIgn") & bitInt, 0U);
  EXPECT_EQ(signalMask(engine.pid(), "SigIgn") & bitTerm, 0U);
  EXPECT_EQ(signalMask(engine.pid(), "SigCgt") & bitTerm, 0U);

  // As the real xboard does: SIGINT before every "usermove" after the first.
  std::istringstream replies(expectedReplies({"e2e4", "g1f3", "f1c4"}));
  std::string reply;
  for (const char* move : {"e2e4", "g1f3", "f1c4"}) {
    ASSERT_TRUE(engine.send(std::string("usermove ") + move + "\n"));
    std::getline(replies, reply);
    EXPECT_EQ(engine.readLine(), reply);
    engine.signal(SIGINT);
    engine.signal(SIGINT);
  }
  ASSERT_TRUE(engine.send("quit\n"));
  EXPECT_EQ(engine.readLine(), "Goodbye");
  const RunResult r = engine.finish();
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.status, 0);
}

// SIGTERM ends both programs; SIGINT ends the UCI one, the ordinary way to stop a UCI engine.
TEST(MainBinary, SigtermStopsTheEngineAndSigintTheUciOne) {
  // clang-format off
  const std::vector<std::tuple<const char*, std::string, std::string, int>> cases{
      {QUENLOR_BINARY,     "protover 2\n", withoutNewline(features), SIGTERM},
      {QUENLOR_UCI_BINARY, "isready\n",    "readyok",                SIGTERM},
      {QUENLOR_UCI_BINARY, "isready\n",    "readyok",                SIGINT},
  };
  // clang-format on
  for (const auto& [path, input, reply, sig] : cases) {
    EngineProcess engine(EngineProcess::Output::Pipe, path);
    ASSERT_TRUE(engine.send(input));
    ASSERT_EQ(engine.readLine(), reply);
    engine.signal(sig);
    EXPECT_EQ(engine.finish().status, 128 + sig) << path << " " << sig;
  }
}

TEST(MainBinary, WritingToAClosedStandardOutputExitsOne) {
  for (const auto output : {EngineProcess::Output::ClosedPipe, EngineProcess::Output::DevFull}) {
    for (const char* input : {"protover 2\nquit\n", "quit\n", "usermove e2e4\nquit\n"}) {
      EngineProcess engine(output);
      (void)engine.send(input);
      const RunResult r = engine.finish();
      EXPECT_EQ(r.status, 1) << input;
      EXPECT_EQ(r.err.rfind("quenlor: ", 0), 0U) << r.err;
    }
  }
}

}  // namespace
}  // namespace quenlor
