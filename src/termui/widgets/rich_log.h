#pragma once
// RichLog: a scrolling list of rendered lines. Each write renders its content once, at a known
// width, into Strips that are kept; a repaint copies only the visible ones, so the cost of a
// frame does not grow with the length of the log.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "styled/console.h"
#include "styled/renderable.h"
#include "termui/widget.h"

namespace termui {

struct RichLogOptions {
  bool wrap = false;  // wrap long lines at the render width, else crop them
  // Follow the end: a write scrolls to the end while the view was there (a reader who scrolled
  // up keeps their place until they scroll back down).
  bool auto_scroll = true;
  int min_width = 78;  // render width while the widget has no size yet
  std::string id;
};

class RichLog : public Widget {
 public:
  static constexpr std::string_view DEFAULT_CSS =
      "RichLog { height: 1fr; overflow-y: scroll; overflow-x: hidden; }";
  static constexpr int WHEEL_LINES = 3;

  explicit RichLog(RichLogOptions options = {});

  [[nodiscard]] std::vector<std::string_view> css_sources() const override { return {DEFAULT_CSS}; }

  // Renders `content` at `width` (else the content width, or min_width before the widget has
  // a size), appends its lines (kept unpadded: the rest of a row is the widget's background,
  // filled when it is painted), and follows the end (auto_scroll) while the view is there.
  // Virtual so that a subclass can constrain every write (its own `write` then sees them all).
  virtual RichLog& write(const styled::Renderable& content,
                         std::optional<int> width = std::nullopt);
  // Plain text (no markup), for convenience.
  RichLog& write(std::string_view text, std::optional<int> width = std::nullopt);
  // Appends lines rendered earlier, unchanged (a redraw that reuses what it drew before), and
  // follows the end (auto_scroll).
  void append_strips(const Strip* first, std::size_t count);
  // Virtual so that a subclass can extend it and still be cleared through the base.
  virtual void clear();
  // Drops the lines from `count` on (used to redraw the last item in place).
  void truncate(std::size_t count);
  // Puts `rows` in place of the `count` lines from `first` (part of the log laid out again); the
  // lines after them move up or down, the scroll position stays the same line number.
  void replace_lines(std::size_t first, std::size_t count, std::vector<Strip> rows);

  [[nodiscard]] const std::vector<Strip>& lines() const { return lines_; }
  [[nodiscard]] Offset scroll_offset() const { return {0, scroll_y_}; }
  // The widest render width (or line appended) and the number of lines.
  [[nodiscard]] Size virtual_size() const;
  [[nodiscard]] int max_scroll_y() const;
  // Scrolls so that line `y` is at the top, clamped to the lines there are. `animate` is
  // accepted for the callers' sake; scrolling is immediate.
  void scroll_to(std::optional<int> y, bool animate = false);
  void scroll_end(bool animate = false);
  void scroll_relative(int dy);
  void page_up() { scroll_relative(-std::max(1, size().height)); }
  void page_down() { scroll_relative(std::max(1, size().height)); }

  [[nodiscard]] bool wrap() const { return options_.wrap; }
  [[nodiscard]] bool auto_scroll() const { return options_.auto_scroll; }
  void set_auto_scroll(bool on) { options_.auto_scroll = on; }
  [[nodiscard]] int min_width() const { return options_.min_width; }

  // The log's own console (themes pushed onto it style what it renders).
  [[nodiscard]] styled::Console& console() { return _console; }

  // The strip for visible row y: the line at scroll_offset.y + y, or an empty strip.
  [[nodiscard]] Strip render_line(int y) override;
  [[nodiscard]] int content_height(int) override { return static_cast<int>(lines_.size()); }
  [[nodiscard]] int scroll_total() const override { return static_cast<int>(lines_.size()); }
  [[nodiscard]] int scroll_position() const override { return scroll_y_; }
  bool on_mouse_scroll(MouseEvent& event) override;
  bool on_key(const KeyEvent& key) override;
  void on_resize() override;

 protected:
  styled::Console _console;

 private:
  void grew();
  // Drops the lines from `keep` on.
  void drop_lines(std::size_t keep);
  static constexpr std::size_t PREFETCH_AHEAD = 8;
  // Makes room for `more` lines, growing geometrically so that a long log is not moved on
  // every write.
  void reserve_more(std::size_t more);

  RichLogOptions options_;
  std::vector<Strip> lines_;
  int widest_ = 0;
  int scroll_y_ = 0;
  bool pinned_to_end_ = true;  // the view follows the end while it was at the end
};

}  // namespace termui
