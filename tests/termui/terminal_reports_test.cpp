// What the terminal says about itself (focus, background colour) and what the App says back to
// it (notifications, the light colour scheme).

#include <gtest/gtest.h>

#include "styled/link.h"
#include "styled/sgr.h"
#include "termui/frame_writer.h"
#include "termui/input_parser.h"
#include "termui/notification.h"
#include "termui/pilot.h"
#include "termui/widgets/static.h"

namespace termui {
namespace {

using Kind = InputParser::TerminalReport::Kind;

std::string describe(const InputParser::TerminalReport& r) {
  switch (r.kind) {
    case Kind::focus_in:
      return "focus_in";
    case Kind::focus_out:
      return "focus_out";
    case Kind::background:
      return "bg " + std::to_string(r.color.r()) + "," + std::to_string(r.color.g()) + "," +
             std::to_string(r.color.b());
  }
  return {};
}

struct ReportCase {
  const char* name;
  std::string bytes;
  std::vector<std::string> reports;
  std::vector<std::string> keys;  // what still arrives as keys around the answers
};

class Reports : public ::testing::TestWithParam<ReportCase> {};

// Fed whole and byte by byte: answers split anywhere are still answers, never keys.
TEST_P(Reports, are_parsed_apart_from_keys) {
  for (const bool bytewise : {false, true}) {
    InputParser p;
    std::vector<InputEvent> events;
    const auto take = [&events](std::vector<InputEvent> more) {
      events.insert(events.end(), more.begin(), more.end());
    };
    if (bytewise) {
      for (char c : GetParam().bytes) take(p.feed(std::string_view(&c, 1)));
    } else {
      take(p.feed(GetParam().bytes));
    }
    take(p.flush({}, true));
    std::vector<std::string> reports, keys;
    for (const auto& r : p.take_terminal_reports()) reports.push_back(describe(r));
    for (const auto& e : events) keys.push_back(std::get<KeyEvent>(e).key);
    EXPECT_EQ(reports, GetParam().reports) << (bytewise ? "byte by byte" : "whole");
    EXPECT_EQ(keys, GetParam().keys) << (bytewise ? "byte by byte" : "whole");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Terminal, Reports,
    ::testing::Values(
        ReportCase{"focus", "a\x1b[Ob\x1b[I", {"focus_out", "focus_in"}, {"a", "b"}},
        ReportCase{"background_st", "\x1b]11;rgb:ffff/ffff/ffff\x1b\\x", {"bg 255,255,255"}, {"x"}},
        ReportCase{"background_bel_two_digits", "\x1b]11;rgb:1e/1e/2e\x07", {"bg 30,30,46"}, {}},
        ReportCase{"background_one_digit", "\x1b]11;rgb:f/8/0\x07", {"bg 255,136,0"}, {}},
        ReportCase{"foreground_answer_ignored", "\x1b]10;rgb:0/0/0\x07q", {}, {"q"}},
        ReportCase{"malformed_colour_ignored", "\x1b]11;rgb:zz/00\x07q", {}, {"q"}},
        ReportCase{"modified_letters_stay_keys", "\x1b[1;5Aq", {}, {"ctrl+up", "q"}},
        ReportCase{"unfinished_answer_dropped", "\x1b]11;rgb:ff", {}, {}},
        ReportCase{"alt_bracket_alone", "\x1b]", {}, {"alt+]"}}),
    [](const auto& info) { return std::string(info.param.name); });

// A runaway answer is dropped once it is longer than any we ask for, and typing goes on.
TEST(Reports, endless_osc_does_not_swallow_later_keys) {
  InputParser p;
  const auto events = p.feed("\x1b]11;" + std::string(2000, 'a') + "\x07z");
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(std::get<KeyEvent>(events.back()).key, "z");
}

struct NotifyCase {
  const char* name;
  NotifyMethod method;
  std::string title, body, expected;
};

class Notifications : public ::testing::TestWithParam<NotifyCase> {};

TEST_P(Notifications, carry_only_inert_text) {
  const auto& c = GetParam();
  EXPECT_EQ(notification_sequence(c.method, c.title, c.body), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Methods, Notifications,
    ::testing::Values(NotifyCase{"osc9", NotifyMethod::osc9, "vellumine", "turn finished",
                                 "\x1b]9;vellumine: turn finished\x1b\\"},
                      NotifyCase{"osc777", NotifyMethod::osc777, "vellumine", "approve bash?",
                                 "\x1b]777;notify;vellumine;approve bash?\x1b\\"},
                      NotifyCase{"bell", NotifyMethod::bell, "t", "b", "\x07"},
                      NotifyCase{"off", NotifyMethod::off, "t", "b", ""},
                      // An agent-chosen tool name cannot end the sequence and start one of its own.
                      NotifyCase{"escape_in_body", NotifyMethod::osc9, "v",
                                 "x\x1b\\\x1b]52;c;AAAA\x07y", "\x1b]9;v: x \\ ]52;c;AAAA y\x1b\\"},
                      NotifyCase{"c1_and_semicolon_in_title", NotifyMethod::osc777, "a;b\xc2\x9c",
                                 "c;d", "\x1b]777;notify;a b ;c;d\x1b\\"},
                      NotifyCase{"leading_digit_is_not_a_subcommand", NotifyMethod::osc9, "", "4;3",
                                 "\x1b]9; 4;3\x1b\\"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Notifications, long_text_is_cut) {
  const std::string seq = notification_sequence(NotifyMethod::osc9, "", std::string(5000, 'x'));
  EXPECT_EQ(seq.size(), MAX_NOTIFICATION + 6);
}

TEST(Notifications, method_follows_the_terminal) {
  struct Env {
    std::vector<std::pair<const char*, const char*>> vars;
    NotifyMethod expected;
  };
  const Env cases[] = {
      {{{"TERM_PROGRAM", "iTerm.app"}}, NotifyMethod::osc9},
      {{{"TERM", "xterm-kitty"}}, NotifyMethod::osc9},
      {{{"TERM", "foot"}}, NotifyMethod::osc777},
      {{{"TERM", "xterm-256color"}, {"VTE_VERSION", "7200"}}, NotifyMethod::osc777},
      {{{"TERM", "xterm-256color"}}, NotifyMethod::bell},
      {{{"TERM_PROGRAM", "WezTerm"}, {"TMUX", "/tmp/tmux-0/default,1,0"}}, NotifyMethod::bell},
      {{{"TERM", "screen-256color"}, {"VTE_VERSION", "7200"}}, NotifyMethod::bell},
  };
  for (const auto& c : cases) {
    const auto getenv = [&c](const char* name) -> const char* {
      for (const auto& [k, v] : c.vars) {
        if (std::string_view(k) == name) return v;
      }
      return nullptr;
    };
    EXPECT_EQ(detect_notify_method(getenv), c.expected) << c.vars.front().second;
  }
  EXPECT_EQ(notify_method_named("bell"), NotifyMethod::bell);
  EXPECT_EQ(notify_method_named("off"), NotifyMethod::off);
  EXPECT_EQ(notify_method_named("auto"), std::nullopt);
}

class ReportingApp : public App {
 public:
  std::vector<bool> focus_changes;
  std::vector<styled::Color> backgrounds;
  void on_mount() override {
    auto s = std::make_unique<Screen>();
    s->mount(std::make_unique<Static>("[bold white on #2a2a2a]heading[/]", "s"));
    push_screen(std::move(s));
  }
  void on_focus_change(bool focused) override { focus_changes.push_back(focused); }
  void on_background_color(styled::Color c) override { backgrounds.push_back(c); }
};

TEST(AppReports, focus_and_background_reach_the_app_and_only_changes_count) {
  ReportingApp app;
  Pilot pilot(app, {20, 3});
  EXPECT_TRUE(app.terminal_focused());
  pilot.receive("\x1b[O");
  EXPECT_FALSE(app.terminal_focused());
  pilot.receive("\x1b[O\x1b[I\x1b]11;rgb:ffff/fafa/f0f0\x1b\\");
  EXPECT_TRUE(app.terminal_focused());
  EXPECT_EQ(app.focus_changes, (std::vector<bool>{false, true}));
  ASSERT_EQ(app.backgrounds.size(), 1U);
  EXPECT_EQ(app.backgrounds[0], styled::Color::rgb(255, 250, 240));
}

TEST(AppReports, light_scheme_redraws_in_light_colours_and_back) {
  ReportingApp app;
  Pilot pilot(app, {20, 3});
  EXPECT_NE(pilot.output().find("\x1b[1;37;48;2;42;42;42m"), std::string::npos) << pilot.output();
  pilot.driver().clear_output();
  app.set_color_scheme(styled::ColorScheme::light);
  pilot.pause();
  const styled::Style light =
      styled::for_light_background(styled::Style::parse("bold white on #2a2a2a"));
  std::string expected;
  styled::append_sgr(expected, light);
  EXPECT_NE(pilot.output().find(expected), std::string::npos) << pilot.output();
  EXPECT_NE(pilot.output().find("heading"), std::string::npos);  // the whole screen again
  EXPECT_EQ(pilot.output().find("\x1b[1;37;48;2;42;42;42m"), std::string::npos);
  EXPECT_EQ(pilot.cell(0, 0).style, styled::Style::parse("bold white on #2a2a2a"));
}

TEST(AppReports, notify_writes_the_sequence_to_the_terminal) {
  ReportingApp app;
  Pilot pilot(app, {20, 3});
  pilot.driver().clear_output();
  app.notify(NotifyMethod::osc777, "vellumine", "done");
  EXPECT_EQ(pilot.output(), "\x1b]777;notify;vellumine;done\x1b\\");
  pilot.driver().clear_output();
  app.notify(NotifyMethod::off, "vellumine", "done");
  EXPECT_EQ(pilot.output(), "");
}

}  // namespace
}  // namespace termui

namespace termui {
namespace {

// A linked cell is written inside OSC 8 with its safe target, and the link is closed before
// the frame ends, so the next frame (and anything after the App) starts outside it.
TEST(Hyperlinks, linked_cells_are_wrapped_in_osc8_and_closed_each_frame) {
  const auto link = styled::link_id("https://example.org/a;b");
  const styled::Style linked = styled::Style::parse("blue").with_link(link);
  CellBuffer blank({10, 1}), first({10, 1}), second({10, 1});
  first.put_text(0, 0, "ab", linked, 10);
  second.put_text(0, 0, "ab", linked, 10);
  second.put_text(3, 0, "X", linked, 10);
  FrameWriter w;
  const std::string a(w.frame(blank, first, true));
  const std::string open = "\x1b]8;;https://example.org/a%3Bb\x1b\\";
  const std::string close = "\x1b]8;;\x1b\\";
  EXPECT_NE(a.find(open + "ab" + close), std::string::npos) << a;
  // Only "X" changes; the pen's colour is still the link's, but the link must open again.
  const std::string b(w.frame(first, second, false));
  EXPECT_NE(b.find(open), std::string::npos) << b;
  EXPECT_LT(b.find(open), b.find('X'));
  EXPECT_LT(b.find('X'), b.rfind(close));

  FrameWriter plain;
  plain.set_hyperlinks(false);
  const std::string c(plain.frame(blank, first, true));
  EXPECT_EQ(c.find("\x1b]8"), std::string::npos) << c;
  EXPECT_NE(c.find("ab"), std::string::npos);
}

}  // namespace
}  // namespace termui
