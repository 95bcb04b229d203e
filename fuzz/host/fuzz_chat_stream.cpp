// Any body a model server may send: reading it whole or in two pieces split anywhere shows the
// same answer and thinking and ends the same way, and everything shown is valid UTF-8.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "host/runtime/chat_stream.h"
#include "host/runtime/turn_output.h"
#include "unicode/utf8.h"
#include "zell/output/output_manager.h"

namespace {

void check(bool ok) {
  if (!ok) std::abort();
}

class NullWriter final : public zell::output::Writer {
 public:
  void write(std::string_view) override {}
  void flush() override {}
};

struct Seen {
  std::string answer;
  std::string thinking;
  std::string failure;
};

Seen read(std::string_view body, std::size_t split) {
  zell::output::OutputPorts ports;
  ports.out = std::make_shared<NullWriter>();
  ports.cols = [] { return 80; };
  zell::output::OutputManager manager(ports);
  host::runtime::TurnOutput out(manager);
  host::runtime::ChatStream stream(out, "http://fuzz");
  if (stream.feed(body.substr(0, split))) stream.feed(body.substr(split));
  stream.finish();
  Seen seen{out.shown_answer(), manager.last_thinking_text(), stream.failure().value_or("")};
  check(unicode::is_valid(seen.answer) && unicode::is_valid(seen.thinking));
  check(unicode::is_valid(manager.state.thinking_peek));
  check(stream.complete() != stream.failure().has_value());
  return seen;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string_view body(reinterpret_cast<const char*>(data) + 1, size - 1);
  const Seen whole = read(body, body.size());
  const Seen split = read(body, body.empty() ? 0 : data[0] % (body.size() + 1));
  check(whole.answer == split.answer);
  check(whole.thinking == split.thinking);
  check(whole.failure == split.failure);
  return 0;
}
