#include <gtest/gtest.h>

#include "termui/css.h"
#include "termui/pilot.h"
#include "termui/widgets/container.h"
#include "termui/widgets/rich_log.h"
#include "termui/widgets/static.h"

namespace termui {
namespace {

TEST(Css, parses_the_supported_declarations) {
  const auto rules = parse_css(
      "\n  Box {\n layout: vertical; dock: top; height: 1fr; width: 50%;\n padding: 1 2;\n"
      " align: center middle; overflow-y: scroll; overflow-x: hidden;\n"
      " scrollbar-size: 1 1; border: round #5f87ff; color: red; background: $surface; }\n"
      " #x { height: auto; width: 52; padding: 3; }");
  ASSERT_EQ(rules.size(), 2u);
  const Styles& s = rules[0].styles;
  EXPECT_EQ(rules[0].type_name, "Box");
  EXPECT_TRUE(s.dock_top.value_or(false));
  EXPECT_EQ(s.height, (Scalar{Scalar::Unit::fr, 1}));
  EXPECT_EQ(s.width, (Scalar{Scalar::Unit::percent, 50}));
  EXPECT_EQ(s.padding, (Spacing{1, 2, 1, 2}));
  EXPECT_EQ(s.align_h, AlignH::center);
  EXPECT_EQ(s.align_v, AlignV::middle);
  EXPECT_EQ(s.overflow_y, Overflow::scroll);
  EXPECT_EQ(s.overflow_x, Overflow::hidden);
  EXPECT_EQ(s.scrollbar_h, 1);
  EXPECT_EQ(s.scrollbar_v, 1);
  EXPECT_EQ(s.border_color, "#5f87ff");
  EXPECT_EQ(s.color, "red");
  EXPECT_EQ(s.background, "#1e1e1e");
  EXPECT_EQ(rules[1].id, "x");
  EXPECT_EQ(rules[1].styles.height, (Scalar{Scalar::Unit::automatic, 0}));
  EXPECT_EQ(rules[1].styles.width, (Scalar{Scalar::Unit::cells, 52}));
  EXPECT_EQ(rules[1].styles.padding, (Spacing{3, 3, 3, 3}));
}

class CssRejects : public ::testing::TestWithParam<const char*> {};

TEST_P(CssRejects, unsupported_text_is_an_error) {
  EXPECT_THROW((void)parse_css(GetParam()), CssError) << GetParam();
}

INSTANTIATE_TEST_SUITE_P(
    Errors, CssRejects,
    ::testing::Values("A { margin: 1; }", "A { layout: horizontal; }", "A { dock: left; }",
                      "A { border: heavy red; }", "A { padding: 1 2 3; }", "A { height: x; }",
                      "A { background: $nope; }", "A { align: middle center; }",
                      "A { height: 1 }  junk", "A > B { height: 1; }", "A { height: 1;",
                      "A { B { height: 1; } }", "A { height: -3; }", "A { color }"));

// The mode picker's stylesheet, exactly as its screen declares it.
constexpr std::string_view PICKER_CSS =
    "\n    PreflightScreen {\n        layout: vertical;\n    }\n    #picker-header {\n"
    "        dock: top;\n        height: 1;\n        padding: 0 1;\n        color: #5f87ff;\n"
    "        background: $surface;\n    }\n    #picker-center {\n        height: 1fr;\n"
    "        align: center middle;\n    }\n    #picker-box {\n        width: 52;\n"
    "        height: auto;\n        padding: 1 2;\n        border: round #5f87ff;\n    }\n    ";

constexpr std::string_view BOX_TEXT =
    "Select a mode:\n\n  [bold]1.[/] Fast — quick answers\n  [bold]2.[/] Reasoning — deep "
    "thinking\n\n[dim]Press 1 or 2[/]";

// Named like the screen it stands for: type selectors match the class's own name.
class PreflightScreen : public Screen {
 public:
  std::vector<std::string_view> css_sources() const override {
    return {PICKER_CSS, Screen::DEFAULT_CSS};
  }
  std::vector<std::unique_ptr<Widget>> compose() override {
    std::vector<std::unique_ptr<Widget>> out;
    out.push_back(std::make_unique<Static>("", "picker-header"));
    out.push_back(std::make_unique<Container>("picker-center",
                                              std::make_unique<Static>(BOX_TEXT, "picker-box")));
    return out;
  }
  void on_mount() override { query_one<Static>("#picker-header").update("🏠 Vellumine ──"); }
};

class PickerApp : public App {
  void on_mount() override { push_screen(std::make_unique<PreflightScreen>()); }
};

struct PickerSize {
  int width, height;
};

class PickerLayout : public ::testing::TestWithParam<PickerSize> {};

TEST_P(PickerLayout, box_is_52_wide_centred_under_a_docked_header) {
  const auto [w, h] = GetParam();
  PickerApp app;
  Pilot pilot(app, {w, h});
  auto& header = app.screen().query_one<Static>("#picker-header");
  auto& center = app.screen().query_one<Container>("#picker-center");
  auto& box = app.screen().query_one<Static>("#picker-box");

  EXPECT_EQ(header.region(), (Region{0, 0, w, 1}));
  EXPECT_EQ(header.size(), (Size{w - 2, 1}));
  EXPECT_EQ(center.region(), (Region{0, 1, w, h - 1}));
  const int box_h = 2 + 2 + 6;  // border, padding, six lines of text
  EXPECT_EQ(box.region(), (Region{(w - 52) / 2, 1 + (h - 1 - box_h) / 2, 52, box_h}));
  EXPECT_EQ(box.size(), (Size{46, 6}));

  const Region r = box.region();
  EXPECT_EQ(pilot.cell(r.x, r.y).text, "╭");
  EXPECT_EQ(pilot.cell(r.x + 51, r.y).text, "╮");
  EXPECT_EQ(pilot.cell(r.x, r.y + box_h - 1).text, "╰");
  EXPECT_EQ(pilot.cell(r.x + 51, r.y + box_h - 1).text, "╯");
  EXPECT_EQ(pilot.cell(r.x, r.y).style.fg(), styled::Color::rgb(0x5f, 0x87, 0xff));
  std::string first_text;
  for (int x = r.x + 3; x < r.x + 3 + 14; ++x) first_text += pilot.cell(x, r.y + 2).text;
  EXPECT_EQ(first_text, "Select a mode:");
  // "1." is bold, the text after it is not.
  const int item_y = r.y + 2 + 2;
  EXPECT_EQ(pilot.cell(r.x + 3 + 2, item_y).text, "1");
  EXPECT_TRUE(pilot.cell(r.x + 3 + 2, item_y).style.has(styled::Attr::bold));
  EXPECT_FALSE(pilot.cell(r.x + 3 + 6, item_y).style.has(styled::Attr::bold));

  // Header: blue on the surface colour, one column of padding.
  EXPECT_EQ(pilot.cell(0, 0).style.bg(), styled::Color::rgb(0x1e, 0x1e, 0x1e));
  EXPECT_EQ(pilot.cell(0, 0).text, " ");
  EXPECT_EQ(pilot.cell(1, 0).style.fg(), styled::Color::rgb(0x5f, 0x87, 0xff));
  EXPECT_EQ(pilot.lines()[0].substr(1, 4), "🏠");
}

INSTANTIATE_TEST_SUITE_P(Sizes, PickerLayout,
                         ::testing::Values(PickerSize{80, 24}, PickerSize{100, 30},
                                           PickerSize{60, 12}));

TEST(PickerLayout, updating_the_box_text_regrows_and_recentres_it) {
  PickerApp app;
  Pilot pilot(app, {80, 24});
  auto& box = app.screen().query_one<Static>("#picker-box");
  box.update(
      "[bold red]Server not ready[/]\n\n[dim]connection refused[/]\n\nThe server may still be "
      "starting up.\n[dim]Press 1 or 2 to retry.[/]");
  pilot.pause();
  const int box_h = 2 + 2 + 6;
  EXPECT_EQ(box.region(), (Region{14, 1 + (23 - box_h) / 2, 52, box_h}));
  std::string title;
  for (int x = 17; x < 17 + 16; ++x) title += pilot.cell(x, box.region().y + 2).text;
  EXPECT_EQ(title, "Server not ready");
  EXPECT_EQ(pilot.cell(17, box.region().y + 2).style.fg(), styled::Color::standard(1));
  // The old menu text is gone from the screen.
  EXPECT_EQ(pilot.text().find("Select a mode"), std::string::npos);
  box.update("one line");
  pilot.pause();
  EXPECT_EQ(box.region().height, 5);
  EXPECT_EQ(pilot.text().find("Server not ready"), std::string::npos);
}

TEST(PickerLayout, tiny_terminals_do_not_break_layout) {
  for (Size s : {Size{0, 0}, Size{1, 1}, Size{10, 3}}) {
    PickerApp app;
    Pilot pilot(app, s);
    EXPECT_EQ(static_cast<int>(pilot.lines().size()), s.height);
    pilot.resize({80, 24});
    EXPECT_EQ(pilot.cell(14, 7).text, "╭");
  }
}

class BadCssScreen : public Screen {
  std::vector<std::string_view> css_sources() const override { return {"Screen { margin: 2; }"}; }
};

class BadCssApp : public App {
  void on_mount() override { push_screen(std::make_unique<BadCssScreen>()); }
};

TEST(Css, unsupported_declaration_fails_at_start_up) {
  BadCssApp app;
  EXPECT_THROW(Pilot(app, {20, 5}), CssError);
}

namespace deep {
class Fancy : public RichLog {};
}  // namespace deep
struct Mixin {
  virtual ~Mixin() = default;
};
class Mixed : public Mixin, public Static {};
template <typename T>
class Tagged : public Container {};

// Type names come from the class chain: namespaces and template arguments dropped, and for a
// class with several bases the path that leads to Widget.
TEST(Css, type_names_follow_the_class_chain) {
  using Names = std::vector<std::string>;
  EXPECT_EQ(deep::Fancy().css_type_names(), (Names{"Fancy", "RichLog", "Widget"}));
  EXPECT_EQ(Mixed().css_type_names(), (Names{"Mixed", "Static", "Widget"}));
  EXPECT_EQ(Tagged<int>().css_type_names(), (Names{"Tagged", "Container", "Widget"}));
  EXPECT_EQ(Widget().css_type_names(), (Names{"Widget"}));
  Container box("box", std::make_unique<deep::Fancy>());
  EXPECT_NE(box.find("RichLog"), nullptr);  // a base class's name selects the subclass
}

}  // namespace
}  // namespace termui
