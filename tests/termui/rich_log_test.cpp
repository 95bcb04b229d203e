#include "termui/widgets/rich_log.h"

#include <gtest/gtest.h>

#include "styled/text.h"
#include "termui/pilot.h"

namespace termui {
namespace {

// "l" + number, built without operator+ (which GCC 12 misreads under -Wrestrict).
std::string numbered(const char* prefix, int n) {
  std::string s(prefix);
  s += std::to_string(n);
  return s;
}

RichLogOptions options(bool wrap, bool auto_scroll = true, int min_width = 78) {
  RichLogOptions o;
  o.wrap = wrap;
  o.auto_scroll = auto_scroll;
  o.min_width = min_width;
  return o;
}

// A screen holding one RichLog that fills it (no scroll bar unless asked).
class LogScreen : public Screen {
 public:
  explicit LogScreen(RichLogOptions o, std::string_view css = "RichLog { overflow-y: hidden; }")
      : options_(std::move(o)), css_(css) {}
  std::vector<std::string_view> css_sources() const override { return {css_, DEFAULT_CSS}; }
  std::vector<std::unique_ptr<Widget>> compose() override {
    std::vector<std::unique_ptr<Widget>> out;
    out.push_back(std::make_unique<RichLog>(options_));
    return out;
  }
  RichLog& log() { return query_one<RichLog>("RichLog"); }

 private:
  RichLogOptions options_;
  std::string css_;
};

class LogApp : public App {
 public:
  explicit LogApp(RichLogOptions o = {}, std::string_view css = "RichLog { overflow-y: hidden; }")
      : options_(std::move(o)), css_(css) {}
  void on_mount() override { push_screen(std::make_unique<LogScreen>(options_, css_)); }
  RichLog& log() { return static_cast<LogScreen&>(screen()).log(); }

 private:
  RichLogOptions options_;
  std::string css_;
};

TEST(RichLog, write_keeps_rows_unpadded_and_paints_them_to_the_full_width) {
  LogApp app(options(false), "RichLog { overflow-y: hidden; background: #101010; }");
  Pilot pilot(app, {20, 5});
  app.log().write("hello");
  app.log().write(styled::Text("two\nlines"));
  ASSERT_EQ(app.log().lines().size(), 3u);
  EXPECT_EQ(app.log().lines()[0].text(), "hello");
  pilot.pause();
  EXPECT_EQ(pilot.lines()[1], "two" + std::string(17, ' '));
  // The cells beyond a row's text are the log's background, as a padded row drew them.
  EXPECT_EQ(pilot.cell(15, 1).style.bg(), styled::Color::rgb(0x10, 0x10, 0x10));
}

TEST(RichLog, explicit_width_wins) {
  LogApp app(options(true));
  Pilot pilot(app, {20, 5});
  app.log().write(styled::Text("aaaa bbbb cccc"), 9);
  ASSERT_EQ(app.log().lines().size(), 2u);
  EXPECT_EQ(app.log().lines()[0].text(), "aaaa bbbb");
  EXPECT_EQ(app.log().virtual_size(), (Size{9, 2}));
}

struct WrapCase {
  bool wrap;
  std::vector<std::string> lines;
};

class RichLogWrap : public ::testing::TestWithParam<WrapCase> {};

TEST_P(RichLogWrap, long_lines_wrap_or_crop) {
  LogApp app(options(GetParam().wrap));
  Pilot pilot(app, {10, 4});
  app.log().write(styled::Text("one two three four"));
  std::vector<std::string> got;
  for (const auto& s : app.log().lines()) got.push_back(s.text());
  EXPECT_EQ(got, GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(Modes, RichLogWrap,
                         ::testing::Values(WrapCase{true, {"one two", "three four"}},
                                           WrapCase{false, {"one two th"}}));

TEST(RichLog, before_layout_renders_at_min_width) {
  RichLog log(options(true, true, 30));
  log.write(styled::Text(std::string(40, 'x')));
  ASSERT_EQ(log.lines().size(), 2u);
  EXPECT_EQ(log.lines()[0].cell_length(), 30);
}

TEST(RichLog, auto_scroll_follows_the_end_and_shows_the_last_rows) {
  LogApp app;
  Pilot pilot(app, {10, 3});
  for (int i = 0; i < 10; ++i) app.log().write(numbered("line", i));
  pilot.pause();
  EXPECT_EQ(app.log().scroll_offset().y, 7);
  EXPECT_EQ(pilot.lines()[0].substr(0, 5), "line7");
  EXPECT_EQ(pilot.lines()[2].substr(0, 5), "line9");
}

TEST(RichLog, auto_scroll_follows_only_while_the_view_is_at_the_end) {
  LogApp app;
  Pilot pilot(app, {10, 3});
  for (int i = 0; i < 10; ++i) app.log().write(numbered("line", i));
  pilot.pause();
  app.log().scroll_relative(-2);  // the reader scrolls up
  app.log().write("more");
  EXPECT_EQ(app.log().scroll_offset().y, 5);
  app.log().scroll_end();  // and back down: following again
  app.log().write("again");
  EXPECT_EQ(app.log().scroll_offset().y, app.log().max_scroll_y());
}

TEST(RichLog, without_auto_scroll_the_view_stays_at_the_top) {
  LogApp app(options(false, false));
  Pilot pilot(app, {10, 3});
  for (int i = 0; i < 10; ++i) app.log().write(numbered("line", i));
  EXPECT_EQ(app.log().scroll_offset().y, 0);
}

struct ScrollCase {
  int to;
  int expected;
};

class RichLogScrollTo : public ::testing::TestWithParam<ScrollCase> {};

TEST_P(RichLogScrollTo, is_clamped_to_the_lines) {
  LogApp app;
  Pilot pilot(app, {10, 4});
  for (int i = 0; i < 10; ++i) app.log().write(numbered("l", i));
  app.log().scroll_to(GetParam().to, false);
  EXPECT_EQ(app.log().scroll_offset().y, GetParam().expected);
  pilot.pause();
  EXPECT_EQ(pilot.lines()[0].substr(0, 2), numbered("l", GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(Targets, RichLogScrollTo,
                         ::testing::Values(ScrollCase{-5, 0}, ScrollCase{0, 0}, ScrollCase{3, 3},
                                           ScrollCase{6, 6}, ScrollCase{7, 6},
                                           ScrollCase{1000000, 6}));

TEST(RichLog, clear_drops_every_line_and_the_screen_shows_nothing) {
  LogApp app;
  Pilot pilot(app, {10, 3});
  for (int i = 0; i < 5; ++i) app.log().write("x");
  app.log().clear();
  pilot.pause();
  EXPECT_TRUE(app.log().lines().empty());
  EXPECT_EQ(app.log().scroll_offset().y, 0);
  EXPECT_EQ(app.log().virtual_size(), (Size{0, 0}));
  EXPECT_EQ(pilot.text(),
            std::string(10, ' ') + "\n" + std::string(10, ' ') + "\n" + std::string(10, ' '));
}

TEST(RichLog, wheel_and_page_keys_scroll) {
  LogApp app(options(false, false));
  Pilot pilot(app, {10, 4});
  for (int i = 0; i < 20; ++i) app.log().write(numbered("l", i));
  pilot.scroll_down(2, 2);
  EXPECT_EQ(app.log().scroll_offset().y, RichLog::WHEEL_LINES);
  pilot.scroll_up(2, 2, 5);
  EXPECT_EQ(app.log().scroll_offset().y, 0);
  app.log().page_down();
  EXPECT_EQ(app.log().scroll_offset().y, 4);
  app.log().scroll_end();
  EXPECT_EQ(app.log().scroll_offset().y, 16);
}

TEST(RichLog, resize_keeps_a_pinned_view_at_the_end) {
  LogApp app;
  Pilot pilot(app, {10, 4});
  for (int i = 0; i < 20; ++i) app.log().write(numbered("l", i));
  pilot.resize({10, 8});
  EXPECT_EQ(app.log().scroll_offset().y, 12);
  EXPECT_EQ(pilot.lines()[7].substr(0, 3), "l19");
}

TEST(RichLog, scroll_bar_takes_its_width_off_the_content) {
  LogApp app({}, "RichLog { overflow-y: scroll; padding: 0 1; scrollbar-size: 1 1; }");
  Pilot pilot(app, {20, 4});
  EXPECT_EQ(app.log().size(), (Size{17, 4}));
  for (int i = 0; i < 8; ++i) app.log().write(numbered("l", i));
  pilot.pause();
  // Thumb (half the track: 4 of 8 rows shown) sits at the bottom when scrolled to the end.
  EXPECT_NE(pilot.cell(19, 3).style.bg(), pilot.cell(19, 0).style.bg());
  EXPECT_EQ(pilot.cell(19, 2).style.bg(), pilot.cell(19, 3).style.bg());
  EXPECT_EQ(pilot.lines()[0].substr(0, 3), " l4");
}

// The bar of `overflow-y: auto` shows once the lines outgrow the rows inside the border, and
// the content gives up its columns for it: the bar never covers text.
TEST(RichLog, auto_scroll_bar_shows_when_lines_outgrow_the_bordered_content) {
  LogApp app({}, "RichLog { overflow-y: auto; border: round red; scrollbar-size: 1 1; }");
  Pilot pilot(app, {20, 6});
  for (int i = 0; i < 4; ++i) app.log().write(numbered("l", i));
  pilot.pause();
  EXPECT_EQ(app.log().size(), (Size{18, 4}));
  EXPECT_EQ(pilot.lines()[1], "│l0                │");
  app.log().write(std::string(17, 'x'));
  pilot.pause();
  EXPECT_EQ(app.log().size(), (Size{17, 4}));
  EXPECT_EQ(pilot.lines()[4].substr(0, 3 + 17), "│" + std::string(17, 'x'));
  EXPECT_FALSE(pilot.cell(18, 4).style.bg() == pilot.cell(17, 4).style.bg());
}

TEST(RichLog, truncate_replaces_the_tail) {
  LogApp app(options(true));
  Pilot pilot(app, {10, 4});
  app.log().write("keep");
  app.log().write("aaaa bbbb");
  app.log().truncate(1);
  app.log().write("aaaa bbbb cccc");
  ASSERT_EQ(app.log().lines().size(), 3u);
  EXPECT_EQ(app.log().lines()[0].text().substr(0, 4), "keep");
}

TEST(RichLog, render_line_override_changes_what_is_drawn) {
  class Marked : public RichLog {
   public:
    Strip render_line(int y) override {
      std::vector<styled::Segment> segments{{">", styled::Style()}};
      const Strip base = RichLog::render_line(y);
      for (const auto& seg : base.segments()) segments.push_back(seg);
      return Strip(std::move(segments));
    }
  };
  class S : public Screen {
    std::vector<std::unique_ptr<Widget>> compose() override {
      std::vector<std::unique_ptr<Widget>> out;
      out.push_back(std::make_unique<Marked>());
      return out;
    }
  };
  class A : public App {
    void on_mount() override { push_screen(std::make_unique<S>()); }
  };
  A app;
  Pilot pilot(app, {10, 2});
  app.screen().query_one<RichLog>("RichLog").write("hi");
  pilot.pause();
  EXPECT_EQ(pilot.lines()[0].substr(0, 3), ">hi");
  EXPECT_EQ(pilot.lines()[1].substr(0, 1), ">");
}

}  // namespace
}  // namespace termui
