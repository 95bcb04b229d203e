// The transcript's core: line counting, the history, writing widths, message renderers,
// streaming, redrawing from the history and on resize.

#include <gtest/gtest.h>

#include <stdexcept>

#include "scrollback_fixture.h"
#include "styled/text.h"
#include "unicode/width.h"
#include "zell/tui/widgets/scrollback/markdown_markers.h"

namespace zell::tui::widgets {
namespace {

using testing::Transcript;

TEST(MarkdownMarkers, any_marker_anywhere_makes_markdown) {
  for (const char* md : {"```py\nx\n```", "### h", "**b**", "a - b", "1. one", "use `x`"}) {
    EXPECT_TRUE(has_markdown(md)) << md;
  }
  for (const char* plain : {"plain text", "a-b", "1.5 and 2", "#1 and ## 2", "*one*"}) {
    EXPECT_FALSE(has_markdown(plain)) << plain;
  }
}

TEST(Scrollback, write_renders_at_the_widget_width_less_two_above_twelve_columns) {
  // The content area is the terminal less two columns of padding and one of scroll bar.
  struct Case {
    int terminal;
    int expected_cells;
  } cases[] = {{15, 12}, {16, 11}, {100, 95}};
  // Rows are kept unpadded: the width shows in where a long word is folded.
  const styled::Text word(std::string(200, 'x'));
  for (const auto& c : cases) {
    Transcript t({c.terminal, 10});
    t.log().write(word);
    EXPECT_EQ(t.log().lines().front().cell_length(), c.expected_cells) << c.terminal;
    const std::size_t before = t.log().lines().size();
    t.log().write(word, 5);  // the caller's width wins
    EXPECT_EQ(t.log().lines()[before].cell_length(), 5);
  }
  Scrollback detached;  // not laid out: the base picks its minimum width
  detached.write(word);
  EXPECT_EQ(detached.lines().front().cell_length(), 78);
}

// Rows drawn before the terminal said it clusters graphemes are measured again: an emoji with
// a skin tone is 4 cells drawn per code point and 2 cells as one cluster.
TEST(Scrollback, rows_are_measured_again_when_the_terminal_changes_how_it_draws_clusters) {
  Transcript t({44, 10});
  std::string thumbs;
  for (int i = 0; i < 12; ++i) thumbs += "\U0001F44D\U0001F3FD";
  t.log().append_user(thumbs);
  const std::size_t per_code_point = t.log().lines().size();
  unicode::set_width_mode(unicode::WidthMode::graphemes);
  t.log().on_resize();
  const std::size_t per_cluster = t.log().lines().size();
  unicode::set_width_mode(unicode::WidthMode::code_points);
  t.log().on_resize();
  EXPECT_LT(per_cluster, per_code_point);  // half the cells
  EXPECT_EQ(t.log().lines().size(), per_code_point);
}

TEST(Scrollback, message_renderers_draw_their_shapes_and_count_each_write) {
  Transcript t;
  auto& log = t.log();
  log.append_user("hello");
  log.append_queued("later");
  log.append_info("note");
  log.append_error("bad");
  EXPECT_EQ(t.texts(), (std::vector<std::string>{"", "❯ hello", "", "  ↻ later  (queued)", "",
                                                 "  note", "  ✗ bad"}));
  EXPECT_EQ(log.line_count(), 7);
  const auto drawn = t.texts();
  log._rerender();  // what was recorded draws the same
  EXPECT_EQ(t.texts(), drawn);

  const auto& user = log.lines()[1].segments();
  EXPECT_EQ(user[0].style, styled::Style::parse("bold #5f87ff"));
  EXPECT_EQ(user[1].text, "hello");
  EXPECT_EQ(user[1].style, styled::Style::parse("bold white"));
  EXPECT_EQ(log.lines()[6].segments()[1].style, styled::Style::parse("red"));
}

TEST(Scrollback, a_prompt_of_many_rows_lines_them_up_under_its_text) {
  // A prompt's own lines and the rows a long line wraps into start under the text after the
  // prompt mark, not at the row's edge. A terminal 24 wide writes rows of 19 cells.
  struct Case {
    const char* name;
    bool queued;
    std::string text;
    std::vector<std::string> rows;
  } cases[] = {
      {"lines", false, "first line\nsecond line", {"", "❯ first line", "  second line"}},
      {"wrapped",
       false,
       "alpha beta gamma delta epsilon",
       {"", "❯ alpha beta gamma", "  delta epsilon"}},
      {"queued lines", true, "one\ntwo", {"", "  ↻ one", "    two  (queued)"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Transcript t({24, 10});
    if (c.queued) {
      t.log().append_queued(c.text);
    } else {
      t.log().append_user(c.text);
    }
    EXPECT_EQ(t.texts(), c.rows);
  }
}

TEST(Scrollback, agent_text_reaches_cells_without_raw_controls) {
  Transcript t;
  t.log().append_user("a\x1b]52;c;ZXZpbA==\x07z\x9b");
  t.pilot.pause();
  const std::string row = t.pilot.lines()[1];
  EXPECT_EQ(row.find('\x1b'), std::string::npos);
  EXPECT_NE(row.find("␛]52;c;ZXZpbA==␇z"), std::string::npos);
}

TEST(Scrollback, plain_answers_are_filled_and_indented) {
  Transcript t({100, 30});
  auto& log = t.log();
  log.append_assistant("a\n\nb\n");
  EXPECT_EQ(t.texts(), (std::vector<std::string>{"", "  a", "", "  b", ""}));
  EXPECT_EQ(t.written()[2], "  ");  // two spaces alone
  EXPECT_EQ(log.line_count(), 5);

  log.clear();
  log.append_assistant(std::string(100, 'w'));  // width 100: filled at 92
  ASSERT_EQ(log.lines().size(), 3u);
  EXPECT_EQ(t.texts()[1], "  " + std::string(92, 'w'));
  EXPECT_EQ(t.texts()[2], "  " + std::string(8, 'w'));
}

TEST(Scrollback, markdown_answers_are_rendered_with_styles_and_end_in_an_indent_line) {
  Transcript t({100, 30});
  t.log().append_assistant("Some **bold** text");
  const auto texts = t.texts();
  ASSERT_EQ(texts.size(), 3u);
  EXPECT_EQ(texts[1], "  Some bold text");
  EXPECT_EQ(t.written().back(), "  ");  // the indent alone, exactly
  bool bold = false;
  for (const auto& seg : t.log().lines()[1].segments()) {
    if (seg.text == "bold") bold = seg.style.has(styled::Attr::bold);
  }
  EXPECT_TRUE(bold);
}

TEST(Scrollback, answer_width_follows_the_terminal_and_never_outgrows_the_rows) {
  // Terminal 30: 38 by the terminal's rule, but the rows hold 25 cells: filled at 23.
  Transcript narrow({30, 20});
  narrow.log().append_assistant(std::string(38, 'n'));
  EXPECT_EQ(narrow.texts()[1], "  " + std::string(23, 'n'));
  EXPECT_EQ(narrow.texts()[2], "  " + std::string(15, 'n'));

  Scrollback detached;  // no terminal to read: 76 − 2 = 74
  detached.append_assistant(std::string(80, 'd'));
  EXPECT_EQ(detached.lines()[1].text().substr(0, 76), "  " + std::string(74, 'd'));
}

TEST(Scrollback, wrapped_rows_stay_under_their_text_at_any_width) {
  const std::string cjk = "**注意**：" + [] {
    std::string s;
    for (int i = 0; i < 6; ++i) s += "中文段落测试，这是一个很长的段落，没有空格。";
    return s;
  }();
  for (int terminal : {24, 30, 41, 47, 80, 101}) {
    Transcript t({terminal, 60});
    t.log().append_error(std::string("failed: ") + std::string(200, 'e') + " and more words");
    const std::size_t error_rows = t.log().lines().size();
    t.log().append_assistant(cjk);
    t.pilot.pause();
    const auto rows = t.texts();
    ASSERT_GT(error_rows, 2u);
    EXPECT_EQ(rows[0].rfind("  ✗ failed:", 0), 0u);
    for (std::size_t i = 1; i < error_rows; ++i) {
      EXPECT_EQ(rows[i].find_first_not_of(' '), 4u) << terminal << " error row " << i;
    }
    for (std::size_t i = error_rows + 1; i + 1 < rows.size(); ++i) {
      EXPECT_EQ(rows[i].find_first_not_of(' '), 2u) << terminal << " answer row " << i;
    }
  }
}

TEST(Scrollback, streaming_writes_completed_lines_and_keeps_the_unfinished_one) {
  Transcript t;
  auto& log = t.log();
  log.stream_token("hel");
  EXPECT_EQ(t.written(), (std::vector<std::string>{"", "  hel"}));  // shown provisionally
  log.stream_token("lo\nwo");
  EXPECT_EQ(t.written(), (std::vector<std::string>{"", "  hello", "  wo"}));
  log.stream_token("rld\n");
  EXPECT_EQ(t.written(), (std::vector<std::string>{"", "  hello", "  world"}));
  log.stream_token("a\n\n   \nb");
  EXPECT_EQ(t.written(),
            (std::vector<std::string>{"", "  hello", "  world", "  a", "  ", "     ", "  b"}));
  EXPECT_TRUE(log.history().empty());
  EXPECT_TRUE(log.stream_open());

  log.finish_stream("hello\nworld\na\n\n   \nb");
  EXPECT_EQ(t.texts().back(), "  b");
  ASSERT_EQ(log.history().size(), 1u);
  EXPECT_EQ(log.history()[0].kind(), "assistant");
  EXPECT_FALSE(log.stream_open());

  log.stream_token("next");  // a new stream starts with its own blank line
  EXPECT_EQ(t.texts().back(), "  next");
  EXPECT_EQ(t.texts()[t.texts().size() - 2], "");
  log.finish_stream("   ");  // blank answers are not recorded; a blank tail is not written
  EXPECT_EQ(log.history().size(), 1u);
  EXPECT_EQ(t.texts().back(), "  next");
}

TEST(Scrollback, finish_without_a_stream_records_only) {
  Transcript t;
  t.log().finish_stream("**answer**");
  EXPECT_TRUE(t.log().lines().empty());
  ASSERT_EQ(t.log().history().size(), 1u);
  t.log()._rerender();
  EXPECT_EQ(t.texts()[1], "  answer");
}

// A renderable that clears the transcript drawing it once armed, the way a redraw's own clear
// would.
class Clearing : public styled::Renderable {
 public:
  Clearing(Scrollback& log, const bool& armed) : log_(log), armed_(armed) {}
  void render(const styled::Console&, int, styled::Lines&) const override {
    if (armed_) log_.clear();
  }

 private:
  Scrollback& log_;
  const bool& armed_;
};

TEST(Scrollback, clear_keeps_the_history_only_while_redrawing) {
  Transcript t;
  auto& log = t.log();
  log.append_tool("bash", "ls");
  log.append_user("a");
  log.clear();
  EXPECT_TRUE(log.history().empty());
  EXPECT_TRUE(log.lines().empty());
  EXPECT_EQ(log.line_count(), 0);
  EXPECT_EQ(log.step_count(), 1);  // steps outlive a clear

  bool armed = false;
  log.append_user("kept");
  log._spacer();
  log.append(entries::Raw{std::make_shared<Clearing>(log, armed)});
  armed = true;
  log._rerender();  // the clear inside the redraw drops rows, not entries
  EXPECT_EQ(log.history().size(), 3u);
  EXPECT_FALSE(log.rerendering());
}

class Throwing : public styled::Renderable {
 public:
  void render(const styled::Console&, int, styled::Lines&) const override {
    throw std::runtime_error("renderer failed");
  }
};

TEST(Scrollback, rerender_redraws_the_history_with_its_spacers_where_the_reader_was) {
  Transcript t({60, 8});
  auto& log = t.log();
  for (int i = 0; i < 10; ++i) log.append_info("line " + std::to_string(i));
  log._spacer();
  log.append_error("last");
  const auto before = t.texts();
  EXPECT_EQ(before[20], "");  // the spacer's blank line
  log.scroll_to(5);
  log._rerender();
  EXPECT_EQ(t.texts(), before);
  EXPECT_EQ(log.scroll_offset().y, 5);
  EXPECT_EQ(log.line_count(), 22);
}

TEST(Scrollback, a_failing_renderer_keeps_its_entry_and_a_redraw_restores_the_view) {
  Transcript t({60, 5});
  auto& log = t.log();
  for (int i = 0; i < 10; ++i) log.append_info("x");
  EXPECT_THROW(log.append(entries::Raw{std::make_shared<Throwing>()}), std::runtime_error);
  log.append_info("after");
  log.scroll_to(4);
  EXPECT_THROW(log._rerender(), std::runtime_error);
  EXPECT_FALSE(log.rerendering());
  EXPECT_EQ(log.scroll_offset().y, 4);
  EXPECT_EQ(log.history().size(), 12u);
}

TEST(Scrollback, a_second_redraw_at_the_same_width_reuses_the_drawn_lines) {
  Transcript t({80, 20});
  auto& log = t.log();
  log.append_user("question");
  log.append_assistant("```python\ndef f():\n    return 1\n```\n");
  log.append_assistant("plain answer\nwith two lines");
  const auto first = log.lines();
  log._rerender();
  EXPECT_EQ(log.lines(), first);
  log._rerender();
  EXPECT_EQ(log.lines(), first);
  EXPECT_EQ(log.line_count(), static_cast<int>(first.size()));
}

TEST(Scrollback, resizing_redraws_at_the_new_width_and_keeps_an_open_stream) {
  Transcript t({100, 20});
  auto& log = t.log();
  log.append_assistant(std::string(150, 'a'));
  log.stream_token("streamed line\nunfinished");
  t.pilot.resize({50, 20});
  t.pilot.pause();
  for (const auto& line : log.lines()) EXPECT_LE(line.cell_length(), 47);
  const auto texts = t.texts();
  EXPECT_EQ(texts[1], "  " + std::string(42, 'a'));  // 50 − 6 = 44, filled at 42
  EXPECT_EQ(texts.back(), "  unfinished");
  EXPECT_EQ(texts[texts.size() - 2], "  streamed line");
  EXPECT_EQ(texts[texts.size() - 3], "");  // the stream's own blank line
  log.stream_token(" now\n");
  EXPECT_EQ(t.texts().back(), "  unfinished now");
  log.finish_stream(std::string(150, 'a'));
  EXPECT_EQ(log.history().size(), 2u);
}

TEST(Scrollback, resizing_keeps_the_reader_on_the_entry_they_were_reading) {
  Transcript t({100, 10});
  auto& log = t.log();
  // Each entry takes two rows at 100 columns and three at 60.
  for (int i = 0; i < 30; ++i) log.append_info("entry" + std::to_string(i) + std::string(60, '.'));
  log.scroll_to(21);  // the text row of entry 10
  t.pilot.resize({60, 10});
  t.pilot.pause();
  EXPECT_EQ(t.texts()[static_cast<std::size_t>(log.scroll_offset().y)].substr(0, 9), "  entry10");
  EXPECT_EQ(t.pilot.lines()[0].substr(0, 10), "   entry10");
}

// A resize lays out the rows in view; the others follow as the reader scrolls to them, and
// once every row has been seen the transcript is what a whole redraw at the width draws.
TEST(Scrollback, rows_out_of_view_are_laid_out_as_they_are_scrolled_to) {
  const auto fill = [](Scrollback& log) {
    for (int i = 0; i < 60; ++i) {
      log.append_info("entry" + std::to_string(i) + std::string(60, '.'));
      if (i % 7 == 0) log.append_thinking("thought " + std::to_string(i) + "\nmore");
    }
  };
  Transcript want({60, 10});
  fill(want.log());
  Transcript t({100, 10});
  auto& log = t.log();
  fill(log);
  log.scroll_to(60);
  t.pilot.resize({60, 10});
  t.pilot.pause();
  const auto view_fits = [&] {
    const auto top = static_cast<std::size_t>(log.scroll_offset().y);
    for (std::size_t y = top; y < std::min(top + 10, log.lines().size()); ++y) {
      EXPECT_LE(log.lines()[y].cell_length(), 57) << y;
    }
  };
  view_fits();
  const auto press = [&](const char* key) {
    log.on_key(termui::KeyEvent{key, {}});
    t.pilot.pause();
    view_fits();
  };
  press("home");
  EXPECT_EQ(t.texts()[1].substr(0, 8), "  entry0");
  for (int i = 0; i < 30; ++i) press("pagedown");
  press("end");
  EXPECT_EQ(t.texts(), want.texts());
  EXPECT_EQ(log.thinking_headers(), want.log().thinking_headers());
  EXPECT_EQ(log.line_count(), want.log().line_count());
  // A header laid out late is where a click finds it.
  const int header = log.thinking_headers().begin()->first;
  log.scroll_to(header);
  log._handle_thinking_click(header);
  EXPECT_NE(t.texts()[static_cast<std::size_t>(header)].find("▼ thinking"), std::string::npos);
}

TEST(Scrollback, resizing_keeps_the_place_among_streamed_answers) {
  // Streamed answers enter the history without being drawn again: their rows must still be
  // known, or the place found after a resize drifts by one entry per answer.
  Transcript t({100, 10});
  auto& log = t.log();
  for (int i = 0; i < 20; ++i) {
    log.append_info("entry" + std::to_string(i) + std::string(60, '.'));
    log.stream_token("answer " + std::to_string(i) + "\n");
    log.finish_stream("answer " + std::to_string(i) + "\n");
  }
  const auto rows = t.texts();
  const auto row = std::find_if(rows.begin(), rows.end(),
                                [](const std::string& r) { return r.rfind("  entry12", 0) == 0; });
  log.scroll_to(static_cast<int>(row - rows.begin()));
  t.pilot.resize({60, 10});
  EXPECT_EQ(t.texts()[static_cast<std::size_t>(log.scroll_offset().y)].substr(0, 9), "  entry12");
}

TEST(Scrollback, odd_input_is_drawn_and_kept_at_any_width) {
  const std::string huge_line(100000, 'x');
  const std::string invalid = "bad \xff\xfe bytes \xe2\x82 and \x1b[2J controls\r\n";
  const std::string open_fence = "```python\nnever closed\n**";
  for (int terminal : {3, 4, 40}) {  // content widths 0, 1 and 37
    Transcript t({terminal, 10});
    auto& log = t.log();
    log.append_assistant(huge_line);
    log.append_assistant(open_fence);
    log.append_user(invalid);
    log.stream_token(invalid);
    log.clear();  // in the middle of a stream: the stream goes on without a new blank line
    log.stream_token("tail\n");
    log.finish_stream(invalid);
    if (terminal == 40) {
      EXPECT_EQ(t.texts().front(), "  tail");
    }
    log.finish_stream();  // without a stream
    log._rerender();
    EXPECT_EQ(log.history().size(), 1u) << terminal;
    for (const auto& line : log.lines()) {
      EXPECT_EQ(line.text().find('\x1b'), std::string::npos);
    }
  }
}

}  // namespace
}  // namespace zell::tui::widgets
