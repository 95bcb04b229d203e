// Compositor costs on a 200×60 screen (nothing changed, one line changed, everything changed),
// the bytes one changed line costs against its minimal encoding, and a burst of 10,000
// messages posted from another thread (all handled, in a handful of frames).

#include <fmt/format.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "termui/app.h"
#include "termui/frame_writer.h"
#include "termui/headless_driver.h"
#include "termui/pilot.h"
#include "termui/widgets/static.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr termui::Size SCREEN{200, 60};

// Rows of text, one strip each, with a bold coloured label at the start of each row.
class Grid : public termui::Widget {
 public:
  Grid() : Widget("grid"), rows_(60) {
    for (int y = 0; y < 60; ++y) rows_[static_cast<std::size_t>(y)] = row(y, 0);
  }
  std::vector<std::string_view> css_sources() const override { return {"#grid { height: 1fr; }"}; }
  termui::Strip render_line(int y) override {
    if (y < 0 || y >= static_cast<int>(rows_.size())) return {};
    return rows_[static_cast<std::size_t>(y)];
  }
  void set_row(int y, int generation) {
    rows_[static_cast<std::size_t>(y)] = row(y, generation);
    refresh();
  }
  static termui::Strip row(int y, int generation) {
    styled::Line line;
    line.push(fmt::format("{:04}", y), LABEL);
    std::string body;
    for (int x = 4; x < 200; ++x) body += static_cast<char>('a' + (x + y + generation) % 26);
    line.push(body, {});
    return termui::Strip(std::move(line));
  }
  static inline const styled::Style LABEL = styled::Style::parse("bold #5f87ff");

 private:
  std::vector<termui::Strip> rows_;
};

class GridApp : public termui::App {
 public:
  void on_mount() override {
    auto s = std::make_unique<termui::Screen>();
    s->mount(std::make_unique<Grid>());
    push_screen(std::move(s));
  }
  Grid& grid() { return screen().query_one<Grid>("#grid"); }
};

template <typename F>
double time_us(int iterations, F&& step) {
  const auto t0 = Clock::now();
  for (int i = 0; i < iterations; ++i) step(i);
  return std::chrono::duration<double, std::micro>(Clock::now() - t0).count() / iterations;
}

void frame_costs() {
  GridApp app;
  termui::Pilot pilot(app, SCREEN);
  pilot.driver().keep_output = false;
  std::size_t bytes = 0;
  pilot.driver().on_write = [&bytes](std::string_view b) { bytes = b.size(); };

  // The widget asks for a repaint but its rows are the same: compared, not drawn.
  const double none = time_us(2000, [&](int) {
    app.grid().refresh();
    app.render_frame();
  });
  const double one = time_us(2000, [&](int i) {
    app.grid().set_row(30, i + 1);
    app.render_frame();
  });
  const std::size_t one_line_bytes = bytes;
  const double all = time_us(300, [&](int i) {
    for (int y = 0; y < 60; ++y) app.grid().set_row(y, i + 7);
    app.render_frame();
  });
  fmt::print("frame_cost 200x60 unchanged_us={:.1f} one_line_us={:.1f} all_changed_us={:.1f}\n",
             none, one, all);

  // Minimal encoding of one changed row: both markers, one cursor move to its first changed
  // cell and the changed cells' bytes. Every cell of the body changes, in the plain style the
  // terminal's pen already has from the previous frame; the bold label is unchanged.
  const termui::Strip after = Grid::row(30, 2000);
  std::string minimal(termui::FrameWriter::SYNC_BEGIN);
  minimal += "\x1b[31;5H";
  minimal += after.segments()[1].text;
  minimal += termui::FrameWriter::SYNC_END;
  fmt::print("one_line bytes={} minimal={}\n", one_line_bytes, minimal.size());
  fmt::print(
      "ratio frame_one_line_bytes = {:.2f} (minimal encoding / bytes written; goal >= "
      "0.67)\n",
      static_cast<double>(minimal.size()) / static_cast<double>(one_line_bytes));
}

struct Ping : termui::Message {};

class BurstApp : public termui::App {
 public:
  static constexpr int COUNT = 10000;
  std::atomic<int> handled{0};
  BurstApp() {
    on<Ping>([this](Ping&) {
      const int n = ++handled;
      screen().query_one<termui::Static>("#count").update(std::to_string(n));
    });
  }
  void on_mount() override {
    auto s = std::make_unique<termui::Screen>();
    s->mount(std::make_unique<termui::Static>("0", "count"));
    push_screen(std::move(s));
  }
};

void message_burst() {
  BurstApp app;
  termui::HeadlessDriver driver(SCREEN, true);
  driver.keep_output = false;
  std::atomic<bool> first_frame{false};
  driver.on_write = [&](std::string_view) { first_frame.store(true); };
  std::thread ui([&] { app.run(driver); });
  while (!first_frame.load()) std::this_thread::yield();
  const auto frames_before = app.frames_written();
  const auto t0 = Clock::now();
  for (int i = 0; i < BurstApp::COUNT; ++i) app.post_message(std::make_unique<Ping>());
  while (app.handled.load() < BurstApp::COUNT) std::this_thread::yield();
  const double ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
  // Let the last capped frame out, then stop.
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  app.exit();
  ui.join();
  const auto frames = app.frames_written() - frames_before;
  fmt::print("message_burst posted={} handled={} frames={} ms={:.2f}\n", BurstApp::COUNT,
             app.handled.load(), frames, ms);
  fmt::print(
      "ratio message_burst_frames = {:.2f} (a handful, 5 frames / frames drawn for "
      "10000 messages)\n",
      5.0 / static_cast<double>(std::max<std::uint64_t>(frames, 1)));
}

}  // namespace

int main() {
  frame_costs();
  message_burst();
}
