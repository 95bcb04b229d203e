// Streamed answers: the unfinished line shown as it grows, identical results whatever the
// chunking, and redraws in the middle of a stream.

#include <gtest/gtest.h>

#include <random>

#include "scrollback_fixture.h"
#include "unicode/line_scan.h"
#include "unicode/text_ops.h"
#include "unicode/word_fill.h"

namespace zell::tui::widgets {
namespace {

using testing::entry_text;
using testing::Transcript;

// Rows a plain answer `text` shows once filled at `width`, each indented by two columns.
std::vector<std::string> filled_rows(std::string_view text, int width) {
  std::vector<std::string> rows;
  unicode::for_each_piece(unicode::word_fill(text, width), [&](std::string_view row) {
    std::string r = "  " + std::string(row);
    r.erase(r.find_last_not_of(' ') + 1);
    rows.push_back(r);
  });
  return rows;
}

std::string paragraph(int words) {
  static const char* vocabulary[] = {"stream",       "a",    "well-known", "x",
                                     "hyphen-ated",  "of",   "words",      "--",
                                     "preformatted", "end.", "to-do",      "extraordinarily"};
  std::mt19937 rng(7);
  std::string text;
  for (int i = 0; i < words; ++i) {
    text += vocabulary[rng() % std::size(vocabulary)];
    text += (rng() % 9 == 0) ? "  " : " ";
  }
  return text;
}

TEST(Streaming, a_long_paragraph_shows_as_it_streams_filled_as_it_will_end) {
  Transcript t({100, 40});
  const std::string text = paragraph(300);
  std::string so_far;
  for (std::size_t i = 0; i < text.size(); i += 5) {
    const std::string token = text.substr(i, 5);
    so_far += token;
    t.log().stream_token(token);
    std::vector<std::string> expected{""};
    if (!unicode::is_blank(so_far)) {
      for (auto& row : filled_rows(so_far, 92)) expected.push_back(row);
    }
    ASSERT_EQ(t.texts(), expected) << "after " << so_far.size() << " bytes";
  }
}

// Texts that stress where filling may settle rows: words longer than a row, hyphens, dashes,
// runs of spaces, tabs, wide characters, a code point cut between tokens, blank lines.
const std::string stress_texts[] = {
    paragraph(200),
    "short\n" + paragraph(60) + "\n\n   \n" + paragraph(40),
    std::string(250, 'w') + " tail " + std::string(120, 'v'),
    "data: " + std::string(5000, 'q') + " end",
    "self-contained-ly-hyphenated-words-run-on-and-on " + std::string(30, '-') + " a--b ---c",
    "tab\tseparated\tcolumns\tthat\tgo\ton " + paragraph(30) + "\tand\tmore",
    "漢字の段落はスペースなしで続きます。" + std::string(40, 'x') + " 漢字 漢字 漢字 " +
        paragraph(20),
    "  leading spaces and trailing ones   ",
    "codes " +
        [] {
          std::string s;
          for (int i = 0; i < 60; ++i) s += "k9-";
          return s;
        }() +
        " after",
    "ends with a blank tail\n    ",
};

TEST(Streaming, any_chunking_ends_with_the_same_cells_as_one_token) {
  std::mt19937 rng(11);
  for (int terminal : {100, 30}) {
    for (const std::string& text : stress_texts) {
      Transcript whole({terminal, 20});
      whole.log().stream_token(text);
      whole.log().finish_stream(text);
      for (int round = 0; round < 25; ++round) {
        Transcript t({terminal, 20});
        for (std::size_t i = 0; i < text.size();) {
          const std::size_t n = 1 + rng() % 12;
          t.log().stream_token(std::string_view(text).substr(i, n));
          i += n;
        }
        t.log().finish_stream(text);
        ASSERT_EQ(t.log().lines(), whole.log().lines()) << "text: " << text << " at " << terminal;
        ASSERT_EQ(t.log().line_count(), whole.log().line_count());
      }
    }
  }
}

TEST(Streaming, a_whitespace_only_tail_is_dropped_at_the_end) {
  Transcript t;
  t.log().stream_token("answer\n   ");
  t.log().finish_stream("answer\n   ");
  EXPECT_EQ(t.written(), (std::vector<std::string>{"", "  answer"}));
}

TEST(Streaming, the_answer_is_recorded_as_it_streamed_even_past_a_clear) {
  Transcript t;
  auto& log = t.log();
  EXPECT_EQ(log.finish_streamed_answer(), "");  // no stream: nothing recorded
  log.stream_token("first line\nsec");
  log.clear();  // the rows go, the text stays
  log.stream_token("ond\nthird ");
  log.stream_token("and last");
  EXPECT_EQ(log.finish_streamed_answer(), "first line\nsecond\nthird and last");
  EXPECT_EQ(t.texts(), (std::vector<std::string>{"  second", "  third and last"}));
  ASSERT_EQ(log.history().size(), 1u);
  EXPECT_EQ(entry_text(log.history()[0]), "first line\nsecond\nthird and last");
  EXPECT_FALSE(log.stream_open());
}

// Items that arrive while an answer streams (an agent that calls tools between its sentences)
// show below the settled rows at once; when the answer ends it is drawn whole below them, as
// every later redraw draws the history, and later items and redraws find their rows.
TEST(Streaming, items_drawn_while_an_answer_streams_come_before_it_once_it_ends) {
  const std::string answer = "part one\npart two";
  Transcript want({80, 30});
  want.log().append_user("go");
  want.log().append_tool("bash", "ls");
  want.log().append_assistant(answer);
  want.log().append_info("after");
  Transcript t({80, 30});
  auto& log = t.log();
  log.append_user("go");
  log.stream_token("part one\npart");
  log.append_tool("bash", "ls");
  EXPECT_EQ(t.texts().back(), "  ● Bash(ls)");
  log.stream_token(" two");
  log.finish_stream(answer);
  log.append_info("after");
  EXPECT_EQ(t.texts(), want.texts());
  log.replace_entry(1, entries::ToolDone{"bash", "ls", "2 files"});
  want.log().replace_entry(1, entries::ToolDone{"bash", "ls", "2 files"});
  EXPECT_EQ(t.texts(), want.texts());
}

TEST(Streaming, a_redraw_in_the_middle_of_a_stream_keeps_its_lines) {
  Transcript t({80, 30});
  auto& log = t.log();
  log.append_thinking("first thought\nsecond thought");
  log.stream_token("line one\nline two\nan unfinished " + std::string(100, 'z'));
  const auto before = t.texts();
  t.pilot.click(4, 2);  // the thinking header: expands the block and redraws
  t.pilot.pause();
  auto after = t.texts();
  ASSERT_GT(after.size(), before.size());
  EXPECT_TRUE(std::equal(before.begin() + 2, before.end(), after.end() - (before.size() - 2)));
  log.stream_token(" end\n");
  log.finish_stream("done");
  after = t.texts();
  const auto last = filled_rows("an unfinished " + std::string(100, 'z') + " end", 72);
  EXPECT_TRUE(std::equal(last.begin(), last.end(), after.end() - last.size()));
}

TEST(Streaming, a_finished_markdown_answer_is_drawn_rendered_in_place) {
  const std::string answer = "Use `grep`:\n\n- fast\n- simple\n";
  Transcript whole({80, 30});
  whole.log().append_user("Explain");
  whole.log().append_assistant(answer);
  for (bool after_a_redraw : {false, true}) {
    Transcript t({80, 30});
    t.log().append_user("Explain");
    t.log().stream_token(answer);
    t.log().finish_stream(answer);
    EXPECT_NE(t.texts()[3].find("`grep`"), std::string::npos);  // raw while streaming
    if (after_a_redraw) t.log()._rerender();
    t.log().render_finished_answer();
    EXPECT_EQ(t.log().lines(), whole.log().lines());
    EXPECT_EQ(t.log().line_count(), whole.log().line_count());
  }
}

}  // namespace
}  // namespace zell::tui::widgets
