// Notifications of the plain presentation: raised through standard output's writer when a
// long turn ends by itself or asks a question, never for a short turn or a Ctrl+C, and never
// into a pipe.

#include "host/plain/plain_notify.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

using host::runtime::TurnEnd;
using std::chrono::seconds;
using termui::NotifyMethod;

struct Recorder final : zell::output::Writer {
  std::string written;
  void write(std::string_view bytes) override { written += bytes; }
  void flush() override {}
};

// A notifier on a clock the turns move forward.
struct Notified {
  explicit Notified(NotifyMethod method = NotifyMethod::osc9)
      : out(std::make_shared<Recorder>()), notifier(method, out, [this] { return now; }) {}
  // Runs one turn that takes `length` and ends with `end`; what was written for it.
  std::string turn(seconds length, TurnEnd end, const std::function<void()>& during = {}) {
    out->written.clear();
    auto ask = notifier.timing([&](const std::string&) {
      now += length;
      if (during) during();
      return end;
    });
    EXPECT_EQ(ask("hi"), end);
    return out->written;
  }
  std::chrono::steady_clock::time_point now{};
  std::shared_ptr<Recorder> out;
  host::PlainNotifier notifier;
};

std::string osc9(const std::string& what) {
  return "\x1b]9;vellumine: " + what + "\x1b\\";
}

TEST(PlainNotify, only_a_long_turn_that_ended_by_itself_calls_back) {
  struct Case {
    seconds length;
    TurnEnd end;
    std::string expected;
  };
  const Case cases[] = {
      {seconds(12), TurnEnd::done, osc9("turn finished")},
      {seconds(10), TurnEnd::error, osc9("turn failed")},
      {seconds(9), TurnEnd::done, ""},          // the user is still reading along
      {seconds(60), TurnEnd::interrupted, ""},  // Ctrl+C: the user is there
  };
  Notified n;
  for (const Case& c : cases) EXPECT_EQ(n.turn(c.length, c.end), c.expected);
  Notified bell(NotifyMethod::bell);
  EXPECT_EQ(bell.turn(seconds(30), TurnEnd::done), "\x07");
  Notified off(NotifyMethod::off);
  EXPECT_EQ(off.turn(seconds(30), TurnEnd::done), "");
}

TEST(PlainNotify, a_question_calls_back_in_a_long_turn_and_the_answer_restarts_the_clock) {
  Notified n;
  n.notifier.question_asked("approval needed: bash");  // no turn running
  EXPECT_EQ(n.out->written, "");
  // Asked early: nothing. Asked late: a call; answered, then the turn ends soon after: nothing.
  EXPECT_EQ(n.turn(seconds(3), TurnEnd::done,
                   [&] { n.notifier.question_asked("approval needed: bash"); }),
            "");
  EXPECT_EQ(n.turn(seconds(15), TurnEnd::done,
                   [&] {
                     n.notifier.question_asked("approval needed: bash");
                     n.notifier.question_answered();
                   }),
            osc9("approval needed: bash"));
}

TEST(PlainNotify, method_follows_the_setting_but_never_writes_into_a_pipe) {
  const std::map<std::string, const char*> kitty{{"TERM", "xterm-kitty"}};
  const auto env = [&kitty](const char* name) -> const char* {
    const auto it = kitty.find(name);
    return it == kitty.end() ? nullptr : it->second;
  };
  EXPECT_EQ(host::plain_notify_method("auto", true, env), NotifyMethod::osc9);
  EXPECT_EQ(host::plain_notify_method("bell", true, env), NotifyMethod::bell);
  EXPECT_EQ(host::plain_notify_method("off", true, env), NotifyMethod::off);
  EXPECT_EQ(host::plain_notify_method("auto", false, env), NotifyMethod::off);
  EXPECT_EQ(host::plain_notify_method("bell", false, env), NotifyMethod::off);
}

}  // namespace
