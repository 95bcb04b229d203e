// The frame writer's bytes, replayed into a real terminal emulator, must leave exactly the
// intended cells on its screen, frame after frame, across resizes.

#include <gtest/gtest.h>

#include <random>

#include "termui/frame_writer.h"
#include "vterm_screen.h"

namespace termui {
namespace {

using styled::Attr;
using styled::Color;
using styled::Style;

// With the clusters terminals draw code point by code point (a skin tone, a ZWJ sequence, a
// selector, a spacing mark): measured as the emulator draws them, nothing shifts.
const char* const GLYPHS[] = {"a",  "b",        "Z",        "~",       " ",           "é",
                              "中", "😀",        "─",        "x\u0301", "\x1b",        "\x07",
                              "\t", "👍🏽", "👨\u200D👩", "कि",      "\u2764\uFE0F"};

Style random_style(std::mt19937& rng) {
  Style s;
  const int pick = static_cast<int>(rng() % 8);
  if (pick == 1) s = s.with(Attr::bold);
  if (pick == 2) s = s.with(Attr::italic).with_fg(Color::standard(rng() % 16));
  if (pick == 3) s = s.with_fg(Color::rgb(rng() % 256, rng() % 256, rng() % 256));
  if (pick == 4) s = s.with_bg(Color::rgb(0x26, 0x4f, 0x78)).with(Attr::underline);
  if (pick == 5)
    s = s.with(Attr::reverse).with_bg(Color::palette(static_cast<std::uint8_t>(rng())));
  if (pick == 6) s = s.with(Attr::strike).with(Attr::bold).with_fg(Color::standard(3));
  return s;
}

// A frame that keeps most of the previous one and changes some runs, like a real repaint.
void mutate(CellBuffer& cells, std::mt19937& rng) {
  const int runs = static_cast<int>(rng() % 12);
  for (int i = 0; i < runs && cells.width() > 0 && cells.height() > 0; ++i) {
    const int y = static_cast<int>(rng() % cells.height());
    int x = static_cast<int>(rng() % cells.width()) - 1;  // sometimes starts left of the screen
    std::string text;
    const int n = 1 + static_cast<int>(rng() % 20);
    for (int k = 0; k < n; ++k) text += GLYPHS[rng() % std::size(GLYPHS)];
    cells.put_text(x, y, text, random_style(rng), cells.width());
  }
}

void expect_same(const CellBuffer& cells, const testing::VtermScreen& vt, int frame) {
  for (int y = 0; y < cells.height(); ++y) {
    for (int x = 0; x < cells.width(); ++x) {
      const Cell& c = cells.at(x, y);
      if (c.width == 0) continue;
      ASSERT_EQ(vt.describe(x, y), testing::VtermScreen::describe(c))
          << "frame " << frame << " at " << x << "," << y;
    }
  }
}

class CompositorVterm : public ::testing::TestWithParam<unsigned> {};

TEST_P(CompositorVterm, emulator_screen_equals_intended_cells) {
  std::mt19937 rng(GetParam());
  Size size{20 + static_cast<int>(rng() % 40), 5 + static_cast<int>(rng() % 15)};
  testing::VtermScreen vt(size.width, size.height);
  CellBuffer shown(size), next(size);
  FrameWriter writer;
  bool full = true;
  for (int frame = 0; frame < 60; ++frame) {
    if (rng() % 15 == 0) {  // resize: a new size and a full repaint
      size = {1 + static_cast<int>(rng() % 60), 1 + static_cast<int>(rng() % 20)};
      vt.resize(size.width, size.height);
      shown.resize(size);
      next.resize(size);
      full = true;
    }
    mutate(next, rng);
    const std::string_view bytes = writer.frame(shown, next, full);
    vt.feed(bytes);
    full = false;
    shown = next;
    expect_same(shown, vt, frame);
    if (::testing::Test::HasFatalFailure()) return;
  }
}

INSTANTIATE_TEST_SUITE_P(Seeds, CompositorVterm, ::testing::Range(1u, 41u));

TEST(FrameWriter, unchanged_frame_writes_nothing) {
  CellBuffer a({10, 3});
  a.put_text(0, 0, "hello", Style::parse("bold red"), 10);
  FrameWriter w;
  EXPECT_FALSE(w.frame(a, a, true).empty());
  EXPECT_TRUE(w.frame(a, a, false).empty());
}

TEST(FrameWriter, one_changed_cell_is_move_style_glyph_and_markers) {
  CellBuffer a({40, 10});
  FrameWriter w;
  (void)w.frame(a, a, true);
  CellBuffer b = a;
  b.put_text(7, 4, "9", Style(), 40);
  EXPECT_EQ(std::string(w.frame(a, b, false)), "\x1b[?2026h\x1b[5;8H9\x1b[?2026l");
}

TEST(FrameWriter, adjacent_changes_share_one_cursor_move_and_style) {
  CellBuffer a({40, 10});
  FrameWriter w;
  (void)w.frame(a, a, true);
  CellBuffer b = a;
  b.put_text(0, 2, "ab", Style::parse("bold"), 40);
  b.put_text(5, 2, "c", Style::parse("bold"), 40);
  EXPECT_EQ(std::string(w.frame(a, b, false)), "\x1b[?2026h\x1b[3H\x1b[1mab\x1b[3Cc\x1b[?2026l");
}

TEST(FrameWriter, first_frame_clears_screen_once) {
  CellBuffer a({5, 2});
  FrameWriter w;
  const std::string first(w.frame(a, a, true));
  EXPECT_NE(first.find("\x1b[2J"), std::string::npos);
  CellBuffer b = a;
  b.put_text(0, 0, "x", Style(), 5);
  EXPECT_EQ(std::string(w.frame(a, b, false)).find("\x1b[2J"), std::string::npos);
}

}  // namespace
}  // namespace termui
