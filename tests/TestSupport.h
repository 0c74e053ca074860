#pragma once
// Helpers shared by the test files: positions from FEN, the reference data beside the project,
// and running the built programs as subprocesses.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "Fen.h"
#include "Types.h"

namespace quenlor::test {

// The state of a FEN that the test knows to be well formed.
inline State fen(const std::string& text) {
  std::string error;
  const std::optional<State> state = stateFromFen(text, &error);
  if (!state) throw std::runtime_error("bad FEN in test: " + text + ": " + error);
  return *state;
}

inline std::filesystem::path sharedDir() {
  return QUENLOR_SHARED_DIR;
}

inline std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

struct RunResult {
  std::string out;
  std::string err;
  int status = -1;  // exit status, or 128 + signal number
};

// Runs `program args` with `input` on standard input; `prefix` goes before the command (for
// example "ulimit -v ...;" or a valgrind invocation).
inline RunResult runProgram(const std::string& program, const std::string& input,
                            const std::string& args = "", const std::string& prefix = "") {
  char dirTemplate[] = "/tmp/quenlor-test-XXXXXX";
  const std::filesystem::path dir = mkdtemp(dirTemplate);
  {
    std::ofstream in(dir / "in", std::ios::binary);
    in << input;
  }
  const std::string command = prefix + " '" + program + "' " + args + " < '" +
                              (dir / "in").string() + "' > '" + (dir / "out").string() + "' 2> '" +
                              (dir / "err").string() + "'";
  const int raw = std::system(command.c_str());
  RunResult result;
  result.out = readFile(dir / "out");
  result.err = readFile(dir / "err");
  if (WIFEXITED(raw)) result.status = WEXITSTATUS(raw);
  if (WIFSIGNALED(raw)) result.status = 128 + WTERMSIG(raw);
  std::filesystem::remove_all(dir);
  return result;
}

inline RunResult runEngineBinary(const std::string& input, const std::string& prefix = "") {
  return runProgram(QUENLOR_BINARY, input, "", prefix);
}

}  // namespace quenlor::test
