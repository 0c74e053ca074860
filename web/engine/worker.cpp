// The engine's UCI session inside a Web Worker: every message posted to the worker is one UCI
// line, handed to `quenlor_line`; every line the session writes is posted back as one message,
// as soon as it is complete, so `info` lines arrive while the search goes on.

#include <emscripten/emscripten.h>

#include <ostream>
#include <streambuf>
#include <string>

#include "UciMain.h"

// Posts one line to the page (or to whatever stands in for `postMessage` under Node).
EM_JS(void, postLine, (const char* text, int length), { postMessage(UTF8ToString(text, length)); });

namespace {

// A stream buffer that posts each line written to it, without its '\n'.
class LinePoster : public std::streambuf {
 protected:
  int_type overflow(int_type c) override {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    if (traits_type::to_char_type(c) == '\n') {
      postLine(line_.data(), static_cast<int>(line_.size()));
      line_.clear();
    } else {
      line_.push_back(traits_type::to_char_type(c));
    }
    return c;
  }

 private:
  std::string line_;
};

}  // namespace

// Answers one UCI line; 0 after "quit", when the worker should close, else 1.
extern "C" EMSCRIPTEN_KEEPALIVE int quenlor_line(const char* line) {
  static quenlor::UciSession session;
  static LinePoster poster;
  static std::ostream out(&poster);
  return session.handleLine(line, out) ? 1 : 0;
}
