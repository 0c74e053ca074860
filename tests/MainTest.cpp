// Tests of the main loop and replies: transcripts run in process through `runEngine`
// and `loop`, then the built engine run as a subprocess for exit statuses, standard error, the
// reference games, signals, a closed standard output and very long lines.

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
#include <vector>

#include "AI.h"
#include "Basics.h"
#include "Main.h"
#include "Parser.h"
#include "TestSupport.h"

namespace quenlor {
namespace {

const std::string features = std::string(winboardFeatures) + "\n";
const std::string gameOver = "telluser \"Game over - I can't make any legal moves\"\n";

//=== Expected replies, computed from the game model ===//

// The reply lines to the opponent's moves, each applied after the engine's previous reply (or,
// after a game-over line, to the position after the previous opponent move).
std::string expectedReplies(std::initializer_list<const char*> opponentMoves,
                            State state = newGame()) {
  std::string out;
  for (const char* text : opponentMoves) {
    const State afterOpponent = makeMove(state, parseWhole(parseMove(), text));
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

//=== In process ===//

// Equality of two texts; long texts are reported by their lengths and first difference only.
::testing::AssertionResult sameText(const std::string& actual, const std::string& expected) {
  if (actual == expected) return ::testing::AssertionSuccess();
  if (actual.size() <= 300 && expected.size() <= 300) {
    return ::testing::AssertionFailure() << ::testing::PrintToString(actual) << "\n  expected "
                                         << ::testing::PrintToString(expected);
  }
  std::size_t at = 0;
  while (at < actual.size() && at < expected.size() && actual[at] == expected[at]) ++at;
  return ::testing::AssertionFailure()
         << actual.size() << " bytes, expected " << expected.size() << "; first difference at "
         << at << ": " << ::testing::PrintToString(actual.substr(at, 40)) << " instead of "
         << ::testing::PrintToString(expected.substr(at, 40));
}

std::string brief(const std::string& text) {
  if (text.size() <= 100) return ::testing::PrintToString(text);
  return ::testing::PrintToString(text.substr(0, 60)) + "... (" + std::to_string(text.size()) +
         " bytes)";
}

struct Transcript {
  std::string out;
  std::string err;
  int status;
};

Transcript runInProcess(const std::string& input) {
  std::istringstream in(input);
  std::ostringstream out;
  std::ostringstream err;
  const int status = runEngine(in, out, err);
  return {out.str(), err.str(), status};
}

void expectTranscript(const std::string& input, const std::string& out, const std::string& err,
                      int status) {
  const Transcript t = runInProcess(input);
  EXPECT_TRUE(sameText(t.out, out)) << "stdout for " << brief(input);
  EXPECT_TRUE(sameText(t.err, err)) << "stderr for " << brief(input);
  EXPECT_EQ(t.status, status) << brief(input);
}

TEST(Main, FeatureLine) {
  EXPECT_STREQ(winboardFeatures, "feature time=0 ping=0 usermove=1 myname=\"Quenlor\" done=1");
}

TEST(Main, HandshakeMoveAndQuitGiveThreeLines) {
  const Transcript t = runInProcess("xboard\nprotover 2\nnew\nusermove e2e4\nquit\n");
  EXPECT_EQ(t.out, features + expectedReplies({"e2e4"}) + "Goodbye\n");
  EXPECT_EQ(t.err, "");
  EXPECT_EQ(t.status, 0);
  std::istringstream lines(t.out);
  std::vector<std::string> all;
  for (std::string line; std::getline(lines, line);) all.push_back(line);
  ASSERT_EQ(all.size(), 3U);
  EXPECT_EQ(all[1].rfind("move ", 0), 0U);
}

TEST(Main, EveryProtoverGetsTheFeatureLine) {
  expectTranscript("protover 2\nprotover 2\nquit\n", features + features + "Goodbye\n", "", 0);
  expectTranscript("protover -1\nprotover 99999999999999\nprotover -99999999999999\nquit\n",
                   features + features + features + "Goodbye\n", "", 0);
  expectTranscript("protover 2 # comment\nprotover2\nquit\n", features + features + "Goodbye\n", "",
                   0);
}

TEST(Main, OtherLinesAreSilentAndLeaveThePositionAsItWas) {
  const std::string reply = expectedReplies({"e2e4"});
  for (const std::string line :
       {"", "new", "go", "xboard", "force", "white", "black", "accepted usermove", "level 40 5 0",
        "usermove xyz", "usermove E2E4", "usermove", "usermove # e2e4", "protover", "Quit", " quit",
        "result 1-0 {White mates}", "\x01\xff\x80", "x\tquit"}) {
    expectTranscript(line + "\nusermove e2e4\nquit\n", reply + "Goodbye\n", "", 0);
  }
  expectTranscript(std::string("x\0y\n", 4) + "usermove e2e4\nquit\n", reply + "Goodbye\n", "", 0);
}

TEST(Main, TheGameContinuesFromEachReply) {
  expectTranscript("usermove e2e4\nusermove g1f3\nusermove f1c4\nquit\n",
                   expectedReplies({"e2e4", "g1f3", "f1c4"}) + "Goodbye\n", "", 0);
  // A second "new" does not reset the game.
  expectTranscript("new\nusermove d2d4\nnew\nusermove c2c4\nquit\n",
                   expectedReplies({"d2d4", "c2c4"}) + "Goodbye\n", "", 0);
}

TEST(Main, AfterTheGameOverLineTheNextMoveIsAppliedAfterTheOpponentMove) {
  // White's c5b6 stalemates Black (the engine); the next opponent move, the Black pawn's h5h4,
  // is applied to the position after c5b6, and the engine, now White, answers it.
  const State start = test::fen("k7/8/8/2Q4p/7P/8/8/6K1 w - - 0 1");
  const State afterOpponent = makeMove(start, parseWhole(parseMove(), "c5b6"));
  ASSERT_FALSE(cpuMove(afterOpponent));
  const State next = makeMove(afterOpponent, parseWhole(parseMove(), "h5h4"));
  const std::optional<Move> reply = cpuMove(next);
  ASSERT_TRUE(reply);
  // The reply differs from what the game before c5b6 would give, so the test tells them apart.
  const std::optional<Move> wrong = cpuMove(makeMove(start, parseWhole(parseMove(), "h5h4")));
  ASSERT_TRUE(!wrong || *wrong != *reply);

  std::istringstream in("usermove c5b6\nusermove h5h4\nquit\n");
  std::ostringstream out;
  loop(in, out, start);
  EXPECT_EQ(out.str(), gameOver + "move " + niceShowMove(*reply) + "\nGoodbye\n");
  EXPECT_EQ(out.str(), expectedReplies({"c5b6", "h5h4"}, start) + "Goodbye\n");
}

TEST(Main, LoopReturnsOnQuitWithoutReadingFurther) {
  std::istringstream in("protover 2\nquit\nprotover 2\nrest\n");
  std::ostringstream out;
  loop(in, out, newGame());
  EXPECT_EQ(out.str(), features + "Goodbye\n");
  std::string next;
  ASSERT_TRUE(std::getline(in, next));
  EXPECT_EQ(next, "protover 2");
  expectTranscript("quit\nprotover 2\n", "Goodbye\n", "", 0);
  expectTranscript("quit # bye\nusermove e2e4\n", "Goodbye\n", "", 0);
}

TEST(Main, EndOfInputIsFatal) {
  std::istringstream in("protover 2\n");
  std::ostringstream out;
  try {
    loop(in, out, newGame());
    ADD_FAILURE() << "loop returned at end of input";
  } catch (const FatalError& e) {
    EXPECT_STREQ(e.what(), "end of input");
  }
  EXPECT_EQ(out.str(), features);
  expectTranscript("", "", "quenlor: end of input\n", 1);
  expectTranscript("\n\n", "", "quenlor: end of input\n", 1);
  expectTranscript("protover 2\nusermove e2e4\n", features + expectedReplies({"e2e4"}),
                   "quenlor: end of input\n", 1);
}

TEST(Main, ParseErrorsStopWithNothingMoreOnStandardOutput) {
  expectTranscript("usermove e2e4 \nquit\n", "",
                   "quenlor: Parse error: [(UserMove (MovePiece (7,5) (5,5)),\" \")]\n", 1);
  expectTranscript("protover 2\nquitter\nquit\n", features,
                   "quenlor: Parse error: [(Quit,\"ter\")]\n", 1);
  expectTranscript("usermove e2e4\nprotover 2 x\nquit\n", expectedReplies({"e2e4"}),
                   "quenlor: Parse error: [(Protover 2,\"x\")]\n", 1);
  expectTranscript("protover -1 x\n", "", "quenlor: Parse error: [(Protover (-1),\"x\")]\n", 1);
  expectTranscript(std::string("quit\0\n", 6), "", "quenlor: Parse error: [(Quit,\"\\NUL\")]\n", 1);
  expectTranscript(
      "quit\xe9"
      "1\n",
      "", "quenlor: Parse error: [(Quit,\"\\233\\&1\")]\n", 1);
  expectTranscript("quit\x0eH\n", "", "quenlor: Parse error: [(Quit,\"\\SO\\&H\")]\n", 1);
  expectTranscript("usermove e7e8=q\n", "",
                   "quenlor: Parse error: [(UserMove (MovePiece (2,5) (1,5)),\"=q\")]\n", 1);
}

TEST(Main, CarriageReturnsBeforeNewlinesAreDropped) {
  expectTranscript("xboard\r\nprotover 2\r\nnew\r\nusermove e2e4\r\nusermove g1f3\r\nquit\r\n",
                   features + expectedReplies({"e2e4", "g1f3"}) + "Goodbye\n", "", 0);
  expectTranscript("usermove e7e8=q\r\n", "",
                   "quenlor: Parse error: [(UserMove (MovePiece (2,5) (1,5)),\"=q\")]\n", 1);
  // Only the one carriage return that ends the line goes.
  expectTranscript("usermove e2e4\r\r\n", "",
                   "quenlor: Parse error: [(UserMove (MovePiece (7,5) (5,5)),\"\\r\")]\n", 1);
  expectTranscript("quitter\r\n", "", "quenlor: Parse error: [(Quit,\"ter\")]\n", 1);
}

TEST(Main, ALastLineWithoutNewlineIsHandled) {
  expectTranscript("usermove e2e4\nquit", expectedReplies({"e2e4"}) + "Goodbye\n", "", 0);
  expectTranscript("usermove e2e4", expectedReplies({"e2e4"}), "quenlor: end of input\n", 1);
  expectTranscript("usermove e2e4\r", expectedReplies({"e2e4"}), "quenlor: end of input\n", 1);
  expectTranscript("protover 2", features, "quenlor: end of input\n", 1);
  expectTranscript("quit\r", "Goodbye\n", "", 0);
  expectTranscript("quitter", "", "quenlor: Parse error: [(Quit,\"ter\")]\n", 1);
}

TEST(Main, MovesOffTheBoardAreRefusedBeforeTheyAreApplied) {
  struct Case {
    std::string move;
    std::string shown;
  };
  // clang-format off
  const std::vector<Case> cases{
      {"a1a9",          "a1a9"},
      {"i9a0",          "i9a0"},
      {"e7e9q",         "e7e9q"},
      {"a2147483648a1", "a-2147483648a1"},
      {"a0a1",          "a0a1"},
      {"a1a0",          "a1a0"},
      {"h1i1",          "h1i1"},
      {"z1a1",          "z1a1"},
      {"a10a1",         "a10a1"},
      {"e2e4294967305", "e2e9"},
      {"e7e9k",         "e7e9k"},
  };
  // clang-format on
  for (const Case& c : cases) {
    expectTranscript("usermove " + c.move + "\nquit\n", "",
                     "quenlor: Move off the board: " + c.shown + "\n", 1);
    expectTranscript("protover 2\nusermove e2e4\nusermove " + c.move + "\nquit\n",
                     features + expectedReplies({"e2e4"}),
                     "quenlor: Move off the board: " + c.shown + "\n", 1);
  }
  // The whole line parses first: a parse error is reported before the off-board check.
  expectTranscript("usermove a1a9 \n", "",
                   "quenlor: Parse error: [(UserMove (MovePiece (8,1) (0,1)),\" \")]\n", 1);
  // A rank number that wraps around onto the board is an ordinary move: 4294967298 is 2.
  expectTranscript("usermove e4294967298e4\nquit\n", expectedReplies({"e2e4"}) + "Goodbye\n", "",
                   0);
}

TEST(Main, AFailureInsideMakeMoveIsFatal) {
  expectTranscript("protover 2\nusermove e4e5\nquit\n", features,
                   "quenlor: getPieceFromSquare called on empty square\n", 1);
}

// A stream buffer that refuses every write, as a standard output whose reader went away.
class ClosedBuffer : public std::streambuf {
 protected:
  int_type overflow(int_type) override { return traits_type::eof(); }
  std::streamsize xsputn(const char*, std::streamsize) override { return 0; }
};

TEST(Main, AFailedWriteIsFatal) {
  for (const char* input : {"protover 2\nquit\n", "quit\n", "usermove e2e4\nquit\n"}) {
    std::istringstream in(input);
    ClosedBuffer closed;
    std::ostream out(&closed);
    std::ostringstream err;
    EXPECT_EQ(runEngine(in, out, err), 1) << input;
    EXPECT_EQ(err.str().rfind("quenlor: ", 0), 0U) << err.str();
    EXPECT_EQ(err.str().back(), '\n');
  }
}

TEST(Main, ReferenceGamesInProcess) {
  for (int n = 1; n <= 5; ++n) {
    const auto dir = test::sharedDir() / "reference" / "games";
    const std::string game = "game" + std::to_string(n);
    const Transcript t = runInProcess(test::readFile(dir / (game + ".in")));
    EXPECT_EQ(t.out, test::readFile(dir / (game + ".out"))) << game;
    EXPECT_EQ(t.err, "") << game;
    EXPECT_EQ(t.status, std::stoi(test::readFile(dir / (game + ".rc")))) << game;
  }
}

//=== The built engine as a subprocess ===//

void expectBinary(const std::string& input, const std::string& out, const std::string& err,
                  int status) {
  const test::RunResult r = test::runEngineBinary(input);
  EXPECT_TRUE(sameText(r.out, out)) << "stdout for " << brief(input);
  EXPECT_TRUE(sameText(r.err, err)) << "stderr for " << brief(input);
  EXPECT_EQ(r.status, status) << brief(input);
}

TEST(MainBinary, HandshakeMoveAndQuitExitZero) {
  expectBinary("xboard\nprotover 2\nnew\nusermove e2e4\nquit\n",
               features + expectedReplies({"e2e4"}) + "Goodbye\n", "", 0);
  expectBinary("protover 2\nprotover 2\nquit\n", features + features + "Goodbye\n", "", 0);
  expectBinary("quit\n", "Goodbye\n", "", 0);
  expectBinary("", "", "quenlor: end of input\n", 1);
}

TEST(MainBinary, EndOfInputWithoutQuitExitsOne) {
  expectBinary("xboard\nprotover 2\nusermove e2e4\n", features + expectedReplies({"e2e4"}),
               "quenlor: end of input\n", 1);
  expectBinary("new\n", "", "quenlor: end of input\n", 1);
}

TEST(MainBinary, ParseErrorsExitOne) {
  expectBinary("usermove e2e4 \nquit\n", "",
               "quenlor: Parse error: [(UserMove (MovePiece (7,5) (5,5)),\" \")]\n", 1);
  expectBinary("protover 2\nquitter\n", features, "quenlor: Parse error: [(Quit,\"ter\")]\n", 1);
}

TEST(MainBinary, MovesOffTheBoardExitOne) {
  for (const auto& [move, shown] :
       std::vector<std::pair<std::string, std::string>>{{"a1a9", "a1a9"},
                                                        {"i9a0", "i9a0"},
                                                        {"e7e9q", "e7e9q"},
                                                        {"a2147483648a1", "a-2147483648a1"}}) {
    expectBinary("protover 2\nusermove " + move + "\nquit\n", features,
                 "quenlor: Move off the board: " + shown + "\n", 1);
  }
}

TEST(MainBinary, LineEndsAndLargeNumbers) {
  expectBinary("protover 2\r\nusermove e2e4\r\nquit\r\n",
               features + expectedReplies({"e2e4"}) + "Goodbye\n", "", 0);
  expectBinary("usermove e2e4\nquit", expectedReplies({"e2e4"}) + "Goodbye\n", "", 0);
  expectBinary("protover 99999999999999\nquit\n", features + "Goodbye\n", "", 0);
  expectBinary("protover 99999999999999 x\n", "",
               "quenlor: Parse error: [(Protover 276447231,\"x\")]\n", 1);
}

TEST(MainBinary, ReferenceGames) {
  const auto dir = test::sharedDir() / "reference" / "games";
  for (int n = 1; n <= 5; ++n) {
    const std::string game = "game" + std::to_string(n);
    const test::RunResult r = test::runEngineBinary(test::readFile(dir / (game + ".in")));
    EXPECT_EQ(r.out, test::readFile(dir / (game + ".out"))) << game;
    EXPECT_EQ(r.err, "") << game;
    EXPECT_EQ(r.status, std::stoi(test::readFile(dir / (game + ".rc")))) << game;
  }
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

TEST(MainBinary, VeryLongLinesAreUnknownOrParseErrors) {
  const std::string bytes = junkBytes(6 << 20);
  ASSERT_NE(bytes.find('\0'), std::string::npos);
  ASSERT_NE(bytes.find('\xff'), std::string::npos);
  // Unknown: silent, and the game goes on.
  expectBinary("x" + bytes + "\nprotover 2\nquit\n", features + "Goodbye\n", "", 0);
  expectBinary("usermove " + bytes + "\nquit\n", "Goodbye\n", "", 0);
  // Keywords followed by long junk or long numbers.
  expectBinary("quit" + std::string(6 << 20, ' ') + "\n", "Goodbye\n", "", 0);
  expectBinary("quit #" + bytes + "\n", "Goodbye\n", "", 0);
  expectBinary("protover " + std::string(6 << 20, '9') + "\nquit\n", features + "Goodbye\n", "", 0);
  // Parse errors: the whole rest of the line is in the message.
  expectBinary("quit" + bytes + "\n", "",
               "quenlor: Parse error: [(Quit," + showStringLiteral(bytes) + ")]\n", 1);
  expectBinary("usermove e2e4" + bytes + "\n", "",
               "quenlor: Parse error: [(UserMove (MovePiece (7,5) (5,5))," +
                   showStringLiteral(bytes) + ")]\n",
               1);
}

// The engine as a child process with pipes, for what a file of input cannot show: replies that
// arrive while the input stays open, signals between commands, and a reader that goes away.
class EngineProcess {
 public:
  enum class Output { Pipe, ClosedPipe, DevFull };

  explicit EngineProcess(Output output = Output::Pipe) {
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
    const char* path = QUENLOR_BINARY;
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
  test::RunResult finish() {
    closeFd(toEngine_);
    test::RunResult result;
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

TEST(MainBinary, RepliesArriveWhileTheInputStaysOpen) {
  EngineProcess engine;
  ASSERT_TRUE(engine.send("xboard\nprotover 2\n"));
  EXPECT_EQ(engine.readLine(), withoutNewline(features));
  ASSERT_TRUE(engine.send("new\nusermove e2e4\n"));
  EXPECT_EQ(engine.readLine(), withoutNewline(expectedReplies({"e2e4"})));
  ASSERT_TRUE(engine.send("quit\n"));
  EXPECT_EQ(engine.readLine(), "Goodbye");
  const test::RunResult r = engine.finish();
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.status, 0);
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

TEST(MainBinary, SigintIsIgnoredAndSigtermKeepsItsDefault) {
  EngineProcess engine;
  ASSERT_TRUE(engine.send("protover 2\n"));
  ASSERT_EQ(engine.readLine(), withoutNewline(features));
  const std::uint64_t bitInt = std::uint64_t{1} << (SIGINT - 1);
  const std::uint64_t bitTerm = std::uint64_t{1} << (SIGTERM - 1);
  EXPECT_NE(signalMask(engine.pid(), "SigIgn") & bitInt, 0U);
  EXPECT_EQ(signalMask(engine.pid(), "SigIgn") & bitTerm, 0U);
  EXPECT_EQ(signalMask(engine.pid(), "SigCgt") & bitTerm, 0U);
}

TEST(MainBinary, SigintBetweenMovesDoesNotStopTheEngine) {
  // As the real xboard does: SIGINT before every "usermove" after the first.
  EngineProcess engine;
  ASSERT_TRUE(engine.send("xboard\nprotover 2\n"));
  ASSERT_EQ(engine.readLine(), withoutNewline(features));
  ASSERT_TRUE(engine.send("new\nusermove e2e4\n"));
  const std::string replies = expectedReplies({"e2e4", "g1f3", "f1c4"});
  std::istringstream expected(replies);
  std::string line;
  std::getline(expected, line);
  EXPECT_EQ(engine.readLine(), line);
  engine.signal(SIGINT);
  ASSERT_TRUE(engine.send("usermove g1f3\n"));
  std::getline(expected, line);
  EXPECT_EQ(engine.readLine(), line);
  engine.signal(SIGINT);
  engine.signal(SIGINT);
  ASSERT_TRUE(engine.send("usermove f1c4\n"));
  std::getline(expected, line);
  EXPECT_EQ(engine.readLine(), line);
  ASSERT_TRUE(engine.send("quit\n"));
  EXPECT_EQ(engine.readLine(), "Goodbye");
  const test::RunResult r = engine.finish();
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.status, 0);
}

TEST(MainBinary, SigtermStopsTheEngine) {
  EngineProcess engine;
  ASSERT_TRUE(engine.send("protover 2\n"));
  ASSERT_EQ(engine.readLine(), withoutNewline(features));
  engine.signal(SIGTERM);
  EXPECT_EQ(engine.finish().status, 128 + SIGTERM);
}

TEST(MainBinary, WritingToAClosedStandardOutputExitsOne) {
  for (const auto output : {EngineProcess::Output::ClosedPipe, EngineProcess::Output::DevFull}) {
    for (const char* input : {"protover 2\nquit\n", "quit\n", "usermove e2e4\nquit\n"}) {
      EngineProcess engine(output);
      (void)engine.send(input);
      const test::RunResult r = engine.finish();
      EXPECT_EQ(r.status, 1) << input;
      EXPECT_EQ(r.err.rfind("quenlor: ", 0), 0U) << r.err;
    }
  }
}

}  // namespace
}  // namespace quenlor
