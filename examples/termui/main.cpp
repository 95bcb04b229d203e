// A small App on the terminal UI framework: a header with the terminal size, a scrolling log
// fed by a timer (wheel or page keys scroll it; a click is logged with its cell), and an input
// line whose submitted text goes into the log. ctrl+c quits.

#include <fmt/format.h>

#include "styled/text.h"
#include "termui/app.h"
#include "termui/widgets/input.h"
#include "termui/widgets/rich_log.h"
#include "termui/widgets/static.h"

namespace {

class ClickLog : public termui::RichLog {
 public:
  explicit ClickLog(termui::RichLogOptions o) : RichLog(std::move(o)) {}
  void on_mouse_down(termui::MouseEvent& e) override {
    write(styled::Text(fmt::format("click at column {}, row {}", e.x, e.y + scroll_offset().y),
                       "bold yellow"));
  }
};

class DemoScreen : public termui::Screen {
 public:
  static constexpr std::string_view CSS =
      "#header { dock: top; height: 1; padding: 0 1; color: #5f87ff; background: $surface; }\n"
      "RichLog { height: 1fr; overflow-y: scroll; overflow-x: hidden; padding: 0 1; "
      "scrollbar-size: 1 1; }\n"
      "Input { height: 1; padding: 0 1; }\n";
  static inline const std::vector<termui::Binding> BINDINGS = {
      {"pageup", "page_up", "Page up", false}, {"pagedown", "page_down", "Page down", false}};

  DemoScreen() {
    register_action("page_up", [this] { log().page_up(); });
    register_action("page_down", [this] { log().page_down(); });
  }
  std::vector<std::string_view> css_sources() const override { return {CSS, DEFAULT_CSS}; }
  const std::vector<termui::Binding>& bindings() const override { return BINDINGS; }

  std::vector<std::unique_ptr<termui::Widget>> compose() override {
    std::vector<std::unique_ptr<termui::Widget>> out;
    out.push_back(std::make_unique<termui::Static>("", "header"));
    termui::RichLogOptions o;
    o.wrap = true;
    o.id = "log";
    out.push_back(std::make_unique<ClickLog>(o));
    auto input = std::make_unique<termui::Input>("type and press enter", "input");
    input->set_prompt("❯ ", styled::Style::parse("bold #5f87ff"));
    out.push_back(std::move(input));
    return out;
  }

  void on_mount() override {
    show_size();
    auto& in = query_one<termui::Input>("#input");
    in.on_submit = [this, &in](const std::string& text) {
      styled::Text t;
      t.append("you: ", "bold #00cc66").append(text);
      log().write(t);
      in.set_value("");
    };
  }
  void on_resize() override { show_size(); }
  termui::RichLog& log() { return query_one<termui::RichLog>("#log"); }

 private:
  void show_size() {
    const termui::Size s = app().size();
    query_one<termui::Static>("#header").update(
        fmt::format("[bold]termui demo[/]  {}×{}  [dim]ctrl+c quits[/]", s.width, s.height));
  }
};

class DemoApp : public termui::App {
  void on_mount() override {
    push_screen(std::make_unique<DemoScreen>());
    set_interval(0.5, [this] {
      auto& log = screen().query_one<termui::RichLog>("#log");
      // Follow the end only while the reader is there; scrolled back, the view stays put.
      log.set_auto_scroll(log.scroll_offset().y >= log.max_scroll_y());
      log.write(
          styled::Text(fmt::format("tick {}: the log keeps every rendered line and only "
                                   "repaints what changed on screen",
                                   ++ticks_)));
    });
  }
  int ticks_ = 0;
};

}  // namespace

int main() {
  DemoApp app;
  return app.run();
}
