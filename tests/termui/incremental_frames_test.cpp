// Frames drawn incrementally (only refreshed widgets, only changed rows) must leave the same
// screen as a full redraw, and the bytes written must bring a real emulator to that screen.

#include <gtest/gtest.h>

#include <random>

#include "styled/text.h"
#include "termui/pilot.h"
#include "termui/widgets/input.h"
#include "termui/widgets/rich_log.h"
#include "termui/widgets/static.h"
#include "vterm_screen.h"

namespace termui {
namespace {

class ChatLike : public Screen {
 public:
  explicit ChatLike(bool bottom) : bottom_(bottom) {}
  std::vector<std::string_view> css_sources() const override {
    return {bottom_ ? std::string_view("Screen { align: left bottom; } RichLog { height: auto; "
                                       "overflow-y: hidden; } #head { height: 1; }")
                    : std::string_view("#head { dock: top; height: 1; background: $surface; } "
                                       "RichLog { padding: 0 1; scrollbar-size: 1 1; }"),
            DEFAULT_CSS};
  }
  std::vector<std::unique_ptr<Widget>> compose() override {
    std::vector<std::unique_ptr<Widget>> out;
    out.push_back(std::make_unique<Static>("[bold]head[/]", "head"));
    RichLogOptions o;
    o.wrap = true;
    o.id = "log";
    out.push_back(std::make_unique<RichLog>(o));
    out.push_back(std::make_unique<Input>("say something", "input"));
    return out;
  }

 private:
  bool bottom_;
};

class ChatLikeApp : public App {
 public:
  explicit ChatLikeApp(bool bottom) : bottom_(bottom) {}
  void on_mount() override { push_screen(std::make_unique<ChatLike>(bottom_)); }

 private:
  bool bottom_;
};

std::vector<std::string> snapshot(const CellBuffer& cells) {
  std::vector<std::string> out;
  for (int y = 0; y < cells.height(); ++y) {
    for (int x = 0; x < cells.width(); ++x) {
      if (cells.at(x, y).width) out.push_back(testing::VtermScreen::describe(cells.at(x, y)));
    }
  }
  return out;
}

struct Params {
  unsigned seed;
  bool bottom;
};

class IncrementalFrames : public ::testing::TestWithParam<Params> {};

TEST_P(IncrementalFrames, match_full_redraw_and_emulator) {
  std::mt19937 rng(GetParam().seed);
  ChatLikeApp app(GetParam().bottom);
  Size size{30 + static_cast<int>(rng() % 30), 6 + static_cast<int>(rng() % 10)};
  Pilot pilot(app, size);
  testing::VtermScreen vt(size.width, size.height);
  std::size_t fed = 0;
  const char* const words[] = {"alpha", "中文字", "e\u0301", "😀", "\x1b[31m", "beta", "\t"};
  auto& log = app.screen().query_one<RichLog>("#log");
  std::size_t last_start = 0;
  for (int step = 0; step < 80; ++step) {
    switch (rng() % 9) {
      case 0:
      case 1: {
        last_start = log.lines().size();
        std::string line;
        for (int i = 0, n = 1 + static_cast<int>(rng() % 12); i < n; ++i) {
          line += words[rng() % std::size(words)];
          line += ' ';
        }
        log.write(
            styled::Text(line, rng() % 2 ? styled::Style::parse("bold #cc66ff") : styled::Style()));
        break;
      }
      case 2:
        log.truncate(last_start);
        log.write(styled::Text(std::string(rng() % 90, 'w')));
        break;
      case 3:
        pilot.type(words[rng() % std::size(words)]);
        break;
      case 4:
        pilot.press({"backspace", "left"});
        break;
      case 5:
        app.screen().query_one<Static>("#head").update("[#5599ff]msgs:[/] " +
                                                       std::to_string(rng() % 1000));
        break;
      case 6:
        pilot.scroll_up(1, size.height / 2, 1 + static_cast<int>(rng() % 3));
        break;
      case 7:
        if (rng() % 3 == 0) {
          size = {1 + static_cast<int>(rng() % 60), 1 + static_cast<int>(rng() % 16)};
          pilot.resize(size);
          vt.resize(size.width, size.height);
        }
        break;
      default:
        pilot.scroll_down(1, size.height / 2);
        break;
    }
    pilot.pause();
    vt.feed(std::string_view(pilot.output()).substr(fed));
    fed = pilot.output().size();
    const CellBuffer& cells = app.screen_cells();
    for (int y = 0; y < cells.height(); ++y) {
      for (int x = 0; x < cells.width(); ++x) {
        if (!cells.at(x, y).width) continue;
        ASSERT_EQ(vt.describe(x, y), testing::VtermScreen::describe(cells.at(x, y)))
            << "step " << step << " at " << x << "," << y;
      }
    }
    if (step % 4 == 3) {
      const auto incremental = snapshot(cells);
      app.handle_resize(size);  // same size: forces a full redraw
      pilot.pause();
      vt.feed(std::string_view(pilot.output()).substr(fed));
      fed = pilot.output().size();
      ASSERT_EQ(snapshot(app.screen_cells()), incremental) << "step " << step;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Seeds, IncrementalFrames,
                         ::testing::Values(Params{1, true}, Params{2, false}, Params{3, true},
                                           Params{4, false}, Params{5, true}, Params{6, false},
                                           Params{7, true}, Params{8, false}));

}  // namespace
}  // namespace termui

namespace termui {
namespace {

class FullLog : public Screen {
 public:
  std::vector<std::string_view> css_sources() const override {
    return {"RichLog { overflow-y: hidden; }", DEFAULT_CSS};
  }
  std::vector<std::unique_ptr<Widget>> compose() override {
    std::vector<std::unique_ptr<Widget>> out;
    out.push_back(std::make_unique<Static>("[bold]header[/]", "head"));
    out.push_back(std::make_unique<RichLog>());
    return out;
  }
};

class FullLogApp : public App {
  void on_mount() override { push_screen(std::make_unique<FullLog>()); }
};

TEST(IncrementalFrames, a_log_moving_up_scrolls_the_terminal_instead_of_rewriting_rows) {
  FullLogApp app;
  Pilot pilot(app, {30, 12});
  testing::VtermScreen vt(30, 12);
  auto& log = app.screen().query_one<RichLog>("RichLog");
  for (int i = 0; i < 25; ++i) {
    const std::size_t before = pilot.output().size();
    std::string text = "line ";
    text += std::to_string(i);
    text += " of the log";
    log.write(styled::Text(text, styled::Style::parse(i % 2 ? "#cc66ff on #202020" : "bold")));
    pilot.pause();
    const std::string_view frame = std::string_view(pilot.output()).substr(before);
    if (i > 12) {
      // One row moved in at the bottom and the header row redrawn: far less than 11 rows.
      EXPECT_NE(frame.find("\x1b[1S"), std::string_view::npos) << i;
      EXPECT_LT(frame.size(), 120u) << i;
    }
  }
  vt.feed(pilot.output());
  const CellBuffer& cells = app.screen_cells();
  for (int y = 0; y < cells.height(); ++y) {
    for (int x = 0; x < cells.width(); ++x) {
      if (cells.at(x, y).width) {
        ASSERT_EQ(vt.describe(x, y), testing::VtermScreen::describe(cells.at(x, y)))
            << x << "," << y;
      }
    }
  }
  EXPECT_EQ(pilot.lines()[11].substr(0, 15), "line 24 of the ");
}

}  // namespace
}  // namespace termui
