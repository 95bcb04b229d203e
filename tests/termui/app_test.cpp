#include <gtest/gtest.h>

#include "termui/pilot.h"
#include "termui/widgets/input.h"
#include "termui/widgets/rich_log.h"
#include "termui/widgets/static.h"

namespace termui {
namespace {

struct Note : Message {
  explicit Note(std::string t) : text(std::move(t)) {}
  std::string text;
};

// A screen with bindings, an Input, and a widget that records mouse events.
class Recorder : public Widget {
 public:
  Recorder() : Widget("rec") {}
  std::vector<std::string> events;
  bool capture_on_down = true;
  void on_mouse_down(MouseEvent& e) override {
    events.push_back("down " + pos(e));
    if (capture_on_down) capture_mouse();
  }
  void on_mouse_move(MouseEvent& e) override { events.push_back("move " + pos(e)); }
  void on_mouse_up(MouseEvent& e) override {
    events.push_back("up " + pos(e));
    release_mouse();
  }

 private:
  static std::string pos(const MouseEvent& e) {
    return std::to_string(e.x) + "," + std::to_string(e.y);
  }
};

class MainScreen : public Screen {
 public:
  static inline const std::vector<Binding> BINDINGS = {
      {"1", "one", "One", false}, {"f2", "two", "Two", false}, {"q", "quit", "Quit", false}};
  static constexpr std::string_view CSS =
      "#rec { height: 5; padding: 1 2; } Input { height: 1; } #status { height: 1; }";

  MainScreen() {
    register_action("one", [this] { actions.push_back("one"); });
    register_action("two", [this] { actions.push_back("two"); });
  }
  std::vector<std::string> actions;
  const std::vector<Binding>& bindings() const override { return BINDINGS; }
  std::vector<std::string_view> css_sources() const override { return {CSS, DEFAULT_CSS}; }
  std::vector<std::unique_ptr<Widget>> compose() override {
    std::vector<std::unique_ptr<Widget>> out;
    out.push_back(std::make_unique<Static>("status", "status"));
    out.push_back(std::make_unique<Recorder>());
    out.push_back(std::make_unique<Input>("type here", "input"));
    return out;
  }
};

class TestApp : public App {
 public:
  bool with_input = true;
  std::vector<std::string> notes;
  std::vector<std::string> submitted;
  TestApp() {
    on<Note>([this](Note& n) {
      notes.push_back(n.text);
      screen().query_one<Static>("#status").update(n.text);
    });
    on<Input::Submitted>([this](Input::Submitted& s) { submitted.push_back(s.value); });
    install_screen("other", [] {
      auto s = std::make_unique<Screen>();
      s->mount(std::make_unique<Static>("other screen", "o"));
      return s;
    });
  }
  void on_mount() override { push_screen(std::make_unique<MainScreen>()); }
  MainScreen& main() { return dynamic_cast<MainScreen&>(screen()); }
};

TEST(Bindings, focused_input_takes_printable_keys_before_bindings) {
  TestApp app;
  Pilot pilot(app, {40, 10});
  pilot.type("1q");
  EXPECT_EQ(app.screen().query_one<Input>("#input").value(), "1q");
  EXPECT_TRUE(app.main().actions.empty());
  EXPECT_FALSE(app.exiting());
}

TEST(Bindings, keys_the_focus_leaves_reach_screen_bindings_then_app) {
  TestApp app;
  Pilot pilot(app, {40, 10});
  pilot.press("f2");
  EXPECT_EQ(app.main().actions, std::vector<std::string>{"two"});
  pilot.press("ctrl+c");  // the App's own binding
  EXPECT_TRUE(app.exiting());
}

class Plain : public Screen {
 public:
  static inline const std::vector<Binding> BINDINGS = {{"1", "one", "One", false},
                                                       {"q", "quit", "Quit", false}};
  int ones = 0;
  Plain() {
    register_action("one", [this] { ++ones; });
  }
  const std::vector<Binding>& bindings() const override { return BINDINGS; }
};

class PlainApp : public App {
  void on_mount() override { push_screen(std::make_unique<Plain>()); }
};

TEST(Bindings, without_focusable_widget_keys_run_actions) {
  PlainApp app;
  Pilot pilot(app, {20, 5});
  pilot.press({"1", "1", "x"});
  EXPECT_EQ(dynamic_cast<Plain&>(app.screen()).ones, 2);
  pilot.press("q");
  EXPECT_TRUE(app.exiting());
}

TEST(Input, editing_keys_and_submit) {
  TestApp app;
  Pilot pilot(app, {40, 10});
  pilot.type("helo");
  pilot.press({"left", "l", "end", "!", "home", "delete", "ctrl+e", "backspace"});
  auto& input = app.screen().query_one<Input>("#input");
  EXPECT_EQ(input.value(), "ello");
  pilot.paste("a\nb\x1b");
  EXPECT_EQ(input.value(), "elloa b␛");
  pilot.press("enter");
  EXPECT_EQ(app.submitted, std::vector<std::string>{"elloa b␛"});
  const int row = input.region().y;
  EXPECT_EQ(pilot.lines()[static_cast<std::size_t>(row)].substr(0, 11), "elloa b␛ ");
  EXPECT_TRUE(pilot.cell(8, row).style.has(styled::Attr::reverse));  // the cursor cell
}

TEST(Input, long_value_scrolls_to_keep_the_cursor_visible) {
  TestApp app;
  Pilot pilot(app, {10, 10});
  auto& input = app.screen().query_one<Input>("#input");
  pilot.paste(std::string(1000, 'a') + "xyz");
  const int row = input.region().y;
  EXPECT_EQ(pilot.lines()[static_cast<std::size_t>(row)], "aaaaaaxyz ");
  pilot.press("home");
  EXPECT_EQ(pilot.lines()[static_cast<std::size_t>(row)], "aaaaaaaaaa");
}

TEST(Input, ten_megabyte_paste_then_keys_still_work) {
  TestApp app;
  Pilot pilot(app, {40, 10});
  pilot.paste(std::string(10 * 1024 * 1024, 'p'));
  pilot.type("ok");
  pilot.press("backspace");
  auto& input = app.screen().query_one<Input>("#input");
  EXPECT_EQ(input.value().size(), 10u * 1024 * 1024 + 1);
  const int row = input.region().y;
  // The view stays where typing "ok" left it: the cursor sits after the "o".
  EXPECT_EQ(pilot.lines()[static_cast<std::size_t>(row)], std::string(37, 'p') + "o  ");
}

TEST(Mouse, coordinates_are_relative_to_the_content_area) {
  TestApp app;
  Pilot pilot(app, {40, 10});
  auto& rec = app.screen().query_one<Recorder>("#rec");
  ASSERT_EQ(rec.region(), (Region{0, 1, 40, 5}));
  pilot.click(2, 2);  // first content cell: padding 1 row, 2 columns
  EXPECT_EQ(rec.events, (std::vector<std::string>{"down 0,0", "up 0,0"}));
}

TEST(Mouse, captured_widget_gets_moves_and_release_outside_it) {
  TestApp app;
  Pilot pilot(app, {40, 10});
  auto& rec = app.screen().query_one<Recorder>("#rec");
  pilot.mouse_down(5, 3);
  pilot.mouse_move(5, 8);  // over the Input
  pilot.mouse_move(0, 0);  // over the status line, left of the content area
  pilot.mouse_up(39, 9);
  EXPECT_EQ(rec.events,
            (std::vector<std::string>{"down 3,1", "move 3,6", "move -2,-2", "up 37,7"}));
  EXPECT_EQ(app.mouse_captor(), nullptr);
  pilot.mouse_move(5, 8);  // released: the recorder no longer hears moves elsewhere
  EXPECT_EQ(rec.events.size(), 4u);
}

TEST(Mouse, without_capture_events_go_to_the_widget_under_the_pointer) {
  TestApp app;
  Pilot pilot(app, {40, 10});
  auto& rec = app.screen().query_one<Recorder>("#rec");
  rec.capture_on_down = false;
  pilot.mouse_down(5, 3);
  pilot.mouse_move(5, 8);
  EXPECT_EQ(rec.events, (std::vector<std::string>{"down 3,1"}));
}

TEST(Mouse, events_outside_the_screen_are_dropped) {
  TestApp app;
  Pilot pilot(app, {40, 10});
  pilot.click(500, 500);
  pilot.scroll_down(-1, 99999);
  EXPECT_TRUE(app.screen().query_one<Recorder>("#rec").events.empty());
}

TEST(Messages, burst_is_handled_in_order_and_painted_once) {
  TestApp app;
  Pilot pilot(app, {40, 10});
  const auto before = app.frames_written();
  for (int i = 0; i < 1000; ++i) app.post_message(std::make_unique<Note>(std::to_string(i)));
  pilot.pause();
  ASSERT_EQ(app.notes.size(), 1000u);
  EXPECT_EQ(app.notes.front(), "0");
  EXPECT_EQ(app.notes.back(), "999");
  EXPECT_EQ(app.frames_written(), before + 1);
  EXPECT_EQ(pilot.lines()[0].substr(0, 3), "999");
}

TEST(Screens, switch_screen_replaces_the_top_and_repaints) {
  TestApp app;
  Pilot pilot(app, {20, 4});
  app.switch_screen("other");
  pilot.pause();
  EXPECT_EQ(pilot.lines()[0].substr(0, 12), "other screen");
  EXPECT_THROW(app.switch_screen("missing"), std::invalid_argument);
}

TEST(Screens, query_one_reports_missing_and_mistyped_widgets) {
  TestApp app;
  Pilot pilot(app, {20, 4});
  EXPECT_THROW(app.screen().query_one<Static>("#nope"), QueryError);
  EXPECT_THROW(app.screen().query_one<Input>("#status"), QueryError);
}

// On a clock the test moves: each timer runs when its time has come, and not before.
TEST(Timers, call_later_and_interval_run_when_due_on_the_apps_clock) {
  using namespace std::chrono_literals;
  TestApp app;
  App::Clock::time_point now{1h};
  app.set_clock([&now] { return now; });
  Pilot pilot(app, {20, 4});
  int once = 0, every = 0;
  app.call_later(0.5, [&] { ++once; });
  Timer t = app.set_interval(0.1, [&] { ++every; });
  pilot.pause();
  EXPECT_EQ(once + every, 0);
  now += 100ms;
  pilot.pause();
  EXPECT_EQ(every, 1);
  now += 350ms;  // three ticks missed: one run, not a burst
  pilot.pause();
  EXPECT_EQ(every, 2);
  EXPECT_EQ(once, 0);
  now += 50ms;
  pilot.pause();
  EXPECT_EQ(once, 1);
  EXPECT_EQ(every, 3);
  t.stop();
  EXPECT_FALSE(t.active());
  now += 10s;
  pilot.pause();
  EXPECT_EQ(once, 1);
  EXPECT_EQ(every, 3);
}

TEST(Resize, zero_and_tiny_sizes_then_back) {
  TestApp app;
  Pilot pilot(app, {40, 10});
  pilot.resize({0, 0});
  EXPECT_TRUE(pilot.lines().empty());
  pilot.resize({1, 1});
  pilot.type("abc");
  pilot.resize({40, 10});
  EXPECT_EQ(app.screen().query_one<Input>("#input").value(), "abc");
  EXPECT_EQ(pilot.lines()[0].substr(0, 6), "status");
}

}  // namespace
}  // namespace termui
