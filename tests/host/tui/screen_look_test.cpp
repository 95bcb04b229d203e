// The full screen's look and its calls for attention: the theme follows the terminal's
// background unless chosen, and a question or a finished turn raises a notification only
// while the terminal says it is not focused.

#include "host/tui/screen_look.h"
#include "host/pilot_settle.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "host/chat_fakes.h"
#include "host/temp_folder.h"
#include "host/tui/chat_log.h"
#include "host/tui/chat_screen.h"
#include "host/tui/vellumine_tui.h"
#include "termui/clipboard.h"
#include "termui/pilot.h"

// A namespace of its own: other tests of the chat define fakes under the same names.
namespace screen_look_test {
namespace {

using host::tui::ThemeChoice;
using styled::ColorScheme;

using chat_test::NoStore;
using chat_test::Ready;

struct Chat {
  Chat(const std::string& script, host::tui::ScreenLook look, double speed = 0)
      : app(
            config, store, [](const auto&) { return std::make_unique<Ready>(); },
            options(script, look, speed)),
        pilot(app, {80, 24}) {
    app.set_clock([this] { return now; });
  }
  static host::tui::TuiOptions options(const std::string& script, host::tui::ScreenLook look,
                                       double speed) {
    host::tui::TuiOptions o;
    o.preflight = false;
    o.speed = speed;
    o.script = host::parse_script(script, "test");
    o.look = look;
    return o;
  }
  // Waits (10 s at most: a deadline for a hung agent, not a measure of speed).
  bool settle(const std::function<bool()>& done) { return host_test::settle(pilot, done); }
  host::tui::ChatScreen& screen() { return *app.chat(); }

  zell::ports::ZellConfig config;
  NoStore store;
  termui::App::Clock::time_point now = termui::App::Clock::now();
  host::tui::VellumineTUI app;
  termui::Pilot pilot;
};

// The agent waits a moment first, so that the test can say the terminal lost the focus
// before the question comes.
const std::string QUESTION = R"({"op": "sleep", "seconds": 1}
{"op": "approve", "tool": "bash", "command": "make"}
{"op": "say", "text": "Built."}
{"op": "done"}
)";

std::size_t count(const std::string& haystack, std::string_view needle) {
  std::size_t n = 0;
  for (auto at = haystack.find(needle); at != std::string::npos;
       at = haystack.find(needle, at + 1)) {
    ++n;
  }
  return n;
}

TEST(Attention, notifies_only_while_the_terminal_is_not_focused) {
  for (const bool away : {true, false}) {
    SCOPED_TRACE(away ? "away" : "looking");
    Chat chat(QUESTION, {ThemeChoice::dark, termui::NotifyMethod::osc777}, 1.0);
    if (away) chat.pilot.receive("\x1b[O");
    ASSERT_TRUE(chat.settle([&] { return chat.screen().approval_open(); }));
    chat.now += std::chrono::seconds(1);
    chat.pilot.press("1");
    ASSERT_TRUE(chat.settle([&] { return !chat.screen().busy(); }));
    const std::string& out = chat.pilot.output();
    EXPECT_EQ(count(out, "\x1b]777;notify;vellumine;approval needed: bash\x1b\\"), away ? 1 : 0);
    EXPECT_EQ(count(out, "\x1b]777;notify;vellumine;turn finished\x1b\\"), away ? 1 : 0);
    EXPECT_EQ(count(out, "\x1b]777"), away ? 2 : 0);
  }
}

TEST(Theme, follows_a_light_background_unless_chosen) {
  struct Case {
    ThemeChoice theme;
    const char* answer;  // the terminal's reply to the background query
    ColorScheme expected;
  };
  for (const Case& c :
       {Case{ThemeChoice::follow_terminal, "rgb:ffff/ffff/ffff", ColorScheme::light},
        Case{ThemeChoice::follow_terminal, "rgb:1c1c/1c1c/1c1c", ColorScheme::dark},
        Case{ThemeChoice::dark, "rgb:ffff/ffff/ffff", ColorScheme::dark},
        Case{ThemeChoice::light, "rgb:0000/0000/0000", ColorScheme::light}}) {
    SCOPED_TRACE(c.answer);
    Chat chat("", {c.theme, termui::NotifyMethod::off});
    EXPECT_EQ(chat.app.color_scheme(),
              c.theme == ThemeChoice::light ? ColorScheme::light : ColorScheme::dark);
    chat.pilot.receive(std::string("\x1b]11;") + c.answer + "\x1b\\");
    EXPECT_EQ(chat.app.color_scheme(), c.expected);
  }
}

TEST(ScreenLook, settings_words_and_environment) {
  const auto env = [](const char* name) -> const char* {
    return std::string_view(name) == "TERM" ? "foot" : nullptr;
  };
  EXPECT_EQ(host::tui::screen_look("light", "auto", env).theme, ThemeChoice::light);
  EXPECT_EQ(host::tui::screen_look("auto", "auto", env).notify, termui::NotifyMethod::osc777);
  EXPECT_EQ(host::tui::screen_look("auto", "bell", env).notify, termui::NotifyMethod::bell);
  EXPECT_EQ(host::tui::screen_look("dark", "off", env).notify, termui::NotifyMethod::off);
  EXPECT_TRUE(host::tui::screen_look("auto", "auto", env).hyperlinks);
  const auto console = [](const char* name) -> const char* {
    return std::string_view(name) == "TERM" ? "linux" : nullptr;
  };
  EXPECT_FALSE(host::tui::screen_look("auto", "auto", console).hyperlinks);
}

}  // namespace

namespace {

// Two turns; the last one's answer in two parts around a tool call.
const std::string ANSWER_WITH_CODE = R"({"op": "user", "text": "hi"}
{"op": "say", "text": "Hello."}
{"op": "done"}
{"op": "user", "text": "how?"}
{"op": "say", "text": "Run this:\n\n```sh\nmake test\n```"}
{"op": "log_tool", "name": "bash", "args": "make test"}
{"op": "tool_result", "result": "ok"}
{"op": "say", "text": "then this:\n\n```sh\nmake install\n```\n"}
{"op": "done"}
)";

// Without a mouse: a key copies the last turn's whole answer, another its last code block, through
// the transcript's clipboard road; and /export writes the transcript where it is told.
TEST(KeyboardCopyAndExport, keys_copy_the_answer_and_export_writes_the_file) {
  Chat chat(ANSWER_WITH_CODE, {ThemeChoice::dark, termui::NotifyMethod::off});
  ASSERT_TRUE(chat.settle([&] { return !chat.screen().busy() && chat.app.script_done(); }));
  std::vector<std::string> copied;
  chat.screen().log().clipboard_ports.write_terminal = [&copied](std::string_view bytes) {
    copied.emplace_back(bytes);
  };
  chat.pilot.press("alt+k");
  chat.pilot.press("alt+c");
  ASSERT_EQ(copied.size(), 2U);
  EXPECT_EQ(copied[0], termui::osc52_sequence("make install\n"));
  EXPECT_EQ(copied[1], termui::osc52_sequence(
                           "Run this:\n\n```sh\nmake test\n```\n\nthen this:\n\n```sh\nmake "
                           "install\n```\n"));
  EXPECT_NE(chat.pilot.text().find("Copied the last code block"), std::string::npos);

  host_test::TempFolder dir;
  const auto out = dir.path() / "t.md";
  chat.pilot.type("/export " + out.string());
  chat.pilot.press("enter");
  const std::string md = host_test::slurp(out);
  EXPECT_NE(md.find("```sh\nmake install\n```"), std::string::npos) << md;
  EXPECT_NE(md.find("> **❯** how\\?"), std::string::npos) << md;
}

}  // namespace
}  // namespace screen_look_test
