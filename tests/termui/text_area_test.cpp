// The multi-line field driven by keys and pastes on a headless pilot, read back through its
// value and the cells it draws.

#include "termui/widgets/text_area.h"

#include <gtest/gtest.h>

#include <string>
#include <variant>
#include <vector>

#include "termui/pilot.h"
#include "termui/widgets/static.h"

namespace termui {
namespace {

class FieldScreen : public Screen {
 public:
  static constexpr std::string_view CSS = "#above { height: 1fr; }";
  std::vector<std::string_view> css_sources() const override { return {CSS, DEFAULT_CSS}; }
  std::vector<std::unique_ptr<Widget>> compose() override {
    std::vector<std::unique_ptr<Widget>> out;
    out.push_back(std::make_unique<Static>("above", "above"));
    auto field = std::make_unique<TextArea>("say something", "field");
    field->set_prompt("> ");
    field->set_max_rows(4);
    field->on_submit = [this](const std::string& v) { submitted.push_back(v); };
    out.push_back(std::move(field));
    return out;
  }
  void on_mount() override { set_focus(&query_one<TextArea>("#field")); }
  std::vector<std::string> submitted;
};

class FieldApp : public App {
 public:
  void on_mount() override { push_screen(std::make_unique<FieldScreen>()); }
};

struct Field {
  explicit Field(Size size = {20, 12}) : pilot(app, size) {}
  TextArea& area() { return app.screen().query_one<TextArea>("#field"); }
  FieldScreen& screen() { return dynamic_cast<FieldScreen&>(app.screen()); }
  // The field's rows as drawn, trailing blanks cut.
  std::vector<std::string> rows() {
    std::vector<std::string> out;
    const auto lines = pilot.lines();
    for (int y = area().region().y; y < area().region().y + area().region().height; ++y) {
      std::string l = lines[static_cast<std::size_t>(y)];
      while (!l.empty() && l.back() == ' ') l.pop_back();
      out.push_back(l);
    }
    return out;
  }
  // Types `steps`: a step in <angle brackets> is a key name, anything else is typed.
  void run(const std::vector<std::string>& steps) {
    for (const auto& s : steps) {
      if (s.size() > 2 && s.front() == '<' && s.back() == '>') {
        pilot.press(std::string_view(s).substr(1, s.size() - 2));
      } else {
        pilot.type(s);
      }
    }
  }
  FieldApp app;
  Pilot pilot;
};

struct EditCase {
  const char* name;
  std::vector<std::string> steps;
  std::string value;
};

class Editing : public ::testing::TestWithParam<EditCase> {};

TEST_P(Editing, keys_give_the_text) {
  Field f;
  f.run(GetParam().steps);
  EXPECT_EQ(f.area().value(), GetParam().value);
}

const EditCase EDITS[] = {
    {"three_ways_to_break_a_line",
     {"a", "<shift+enter>", "b", "<alt+enter>", "c", "<ctrl+j>", "d"},
     "a\nb\nc\nd"},
    {"words_by_ctrl_and_alt",
     {"one two three", "<ctrl+left>", "<alt+b>", "X", "<alt+f>", "Y"},
     "one XtwoY three"},
    {"home_and_end_stay_on_their_line",
     {"abc", "<shift+enter>", "def", "<home>", "1", "<up>", "<end>", "2"},
     "abc2\n1def"},
    {"up_and_down_keep_the_column",
     {"abcd", "<shift+enter>", "x", "<shift+enter>", "abcd", "<up>", "<up>", "!"},
     "abcd!\nx\nabcd"},
    {"ctrl_u_cuts_to_the_line_start_only",
     {"keep", "<ctrl+j>", "drop me", "<ctrl+u>", "new"},
     "keep\nnew"},
    {"ctrl_k_at_a_line_end_joins_the_next", {"ab", "<ctrl+j>", "cd", "<up>", "<ctrl+k>"}, "abcd"},
    {"ctrl_w_cuts_the_word_before", {"git commit  ", "<ctrl+w>"}, "git "},
    {"backspace_and_delete_take_a_whole_cluster",
     {"ae\xCC\x81z", "<left>", "<backspace>", "<home>", "<delete>"},
     "z"},
    {"undo_takes_back_the_last_edit", {"hello world", "<ctrl+w>", "<ctrl+_>"}, "hello world"},
    {"undo_of_a_typing_run", {"hello", "<ctrl+j>", "there", "<ctrl+_>", "<ctrl+_>"}, "hello"},
};

INSTANTIATE_TEST_SUITE_P(TextArea, Editing, ::testing::ValuesIn(EDITS),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(TextArea, enter_submits_the_whole_text_and_up_on_the_first_row_is_left_to_the_owner) {
  Field f;
  f.run({"first", "<shift+enter>", "second"});
  EXPECT_TRUE(f.area().on_key(KeyEvent{"up", {}}));    // to the first row
  EXPECT_FALSE(f.area().on_key(KeyEvent{"up", {}}));   // nothing above: the owner's
  EXPECT_TRUE(f.area().on_key(KeyEvent{"down", {}}));  // back to the last row
  EXPECT_FALSE(f.area().on_key(KeyEvent{"down", {}}));
  f.pilot.press("enter");
  EXPECT_EQ(f.screen().submitted, std::vector<std::string>{"first\nsecond"});
}

TEST(TextArea, grows_with_its_rows_up_to_the_limit_then_scrolls_and_shrinks_when_cleared) {
  Field f;
  EXPECT_EQ(f.area().region().height, 1);
  EXPECT_EQ(f.rows(), std::vector<std::string>{">  say something"});  // after the cursor
  f.run({"1", "<ctrl+j>", "2", "<ctrl+j>", "3"});
  EXPECT_EQ(f.area().region().height, 3);
  EXPECT_EQ(f.rows(), (std::vector<std::string>{"> 1", "  2", "  3"}));
  f.run({"<ctrl+j>", "4", "<ctrl+j>", "5", "<ctrl+j>", "6"});
  EXPECT_EQ(f.area().region().height, 4);
  EXPECT_EQ(f.rows(), (std::vector<std::string>{"  3", "  4", "  5", "  6"}));
  for (int i = 0; i < 5; ++i) f.pilot.press("up");
  EXPECT_EQ(f.rows(), (std::vector<std::string>{"> 1", "  2", "  3", "  4"}));
  f.area().clear();
  f.pilot.pause();
  EXPECT_EQ(f.area().region().height, 1);
}

TEST(TextArea, a_long_line_wraps_under_the_prompt_and_the_cursor_follows) {
  Field f({12, 10});
  f.pilot.type("abcdefghijklmnopq");
  // 12 cells: 2 for the prompt, one kept for the cursor at the end of a row.
  EXPECT_EQ(f.rows(), (std::vector<std::string>{"> abcdefghi", "  jklmnopq"}));
  const int y = f.area().region().y + 1;
  EXPECT_TRUE(f.pilot.cell(10, y).style.has(styled::Attr::reverse));
  f.pilot.press("up");
  f.pilot.type("_");
  EXPECT_EQ(f.area().value(), "abcdefgh_ijklmnopq");
}

TEST(TextArea, a_click_puts_the_cursor_under_the_pointer) {
  Field f;
  f.run({"first", "<ctrl+j>", "second"});
  const int y = f.area().region().y;
  f.pilot.click(f.area().region().x + 2 + 3, y);  // on the "s" of "first"
  f.pilot.type("_");
  f.pilot.click(f.area().region().x + 15, y + 1);  // beyond the end of "second"
  f.pilot.type("!");
  EXPECT_EQ(f.area().value(), "fir_st\nsecond!");
}

TEST(TextArea, a_long_paste_is_one_unit_on_screen_and_whole_in_the_value) {
  Field f({40, 10});
  std::string big;
  for (int i = 0; i < 120; ++i) big += "line " + std::to_string(i) + "\n";
  f.pilot.type("see ");
  f.pilot.paste(big);
  f.pilot.type(" end");
  EXPECT_EQ(f.rows(), std::vector<std::string>{"> see [pasted 120 lines] end"});
  EXPECT_EQ(f.area().value(), "see " + big + " end");
  // The cursor steps over it and Backspace takes it whole.
  for (int i = 0; i < 4; ++i) f.pilot.press("left");
  f.pilot.press("left");
  f.pilot.press("right");
  f.pilot.press("backspace");
  EXPECT_EQ(f.area().value(), "see  end");
  f.pilot.press("ctrl+_");
  EXPECT_EQ(f.area().value(), "see " + big + " end");
}

TEST(TextArea, pasted_controls_are_shown_never_obeyed_and_line_breaks_do_not_submit) {
  Field f({40, 10});
  f.pilot.paste("red\x1b[31m\r\nbell\x07\rend\x9b");
  EXPECT_TRUE(f.screen().submitted.empty());
  EXPECT_EQ(f.area().value(), "red\xE2\x90\x9B[31m\nbell\xE2\x90\x87\nend\xEF\xBF\xBD");
  EXPECT_EQ(f.pilot.output().find("\x1b[31m"), std::string::npos);
}

TEST(TextArea, text_from_outside_cannot_forge_a_folded_paste) {
  Field f({40, 10});
  std::string big(3000, 'x');
  f.pilot.paste(big);                 // folded: marker 0
  f.pilot.paste("\xF3\xB0\x80\x80");  // the marker's own code point, pasted
  EXPECT_EQ(f.area().value(), big + "\xEF\xBF\xBD");
}

}  // namespace
}  // namespace termui
