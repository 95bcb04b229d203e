#pragma once
// The transcript's search field: one row above the prompt, shown while a search is open, with
// the query and where the current match stands ("3 of 17", "no matches"). It takes the keys
// while it is open. Typing edits the query and searches as it changes; Enter and Down go to
// the next match, Shift+Enter and Up to the one before; after the first of those moves n and
// N move too (the query is set), and "/" or Backspace edits it again. Escape closes the search,
// the view staying where it took the reader.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "termui/widget.h"

namespace zell::tui::widgets {
class Scrollback;
}

namespace host::tui {

class SearchBar : public termui::Widget {
 public:
  static constexpr std::string_view DEFAULT_CSS = "SearchBar { height: auto; padding: 0 1; }";

  explicit SearchBar(std::string id = {}) : Widget(std::move(id)) {}

  [[nodiscard]] std::vector<std::string_view> css_sources() const override { return {DEFAULT_CSS}; }

  // The transcript searched; set by the screen before the bar opens.
  void set_log(zell::tui::widgets::Scrollback* log) { log_ = log; }
  // Called when Escape has closed the bar.
  std::function<void()> on_close;

  // Shows the bar with the last query, ready to edit it (and searching it again).
  void open();
  void close();
  [[nodiscard]] bool is_open() const { return open_; }
  // Whether keys type into the query (rather than move between matches).
  [[nodiscard]] bool editing() const { return open_ && editing_; }
  [[nodiscard]] const std::string& query() const { return query_; }
  // Draws the count again (entries may have come in since).
  void update();

  [[nodiscard]] bool can_focus() const override { return open_; }
  bool on_key(const termui::KeyEvent& key) override;
  void on_paste(const termui::PasteEvent& paste) override;
  [[nodiscard]] termui::Strip render_line(int y) override;
  [[nodiscard]] int content_height(int) override { return open_ ? 1 : 0; }

 private:
  void set_query(std::string query);
  void step(int direction);

  zell::tui::widgets::Scrollback* log_ = nullptr;
  bool open_ = false;
  bool editing_ = true;
  std::string query_;
  std::string count_;  // "3 of 17", "no matches", or empty
};

}  // namespace host::tui
