#include "host/tui/search_bar.h"

#include <fmt/format.h>

#include "styled/text.h"
#include "termui/events.h"
#include "unicode/text_ops.h"
#include "unicode/utf8.h"
#include "zell/tui/widgets/scrollback/scrollback.h"

namespace host::tui {
namespace {

// The query ends at the first line break of a paste: the transcript is searched row by row.
std::string query_line(std::string_view text) {
  return std::string(text.substr(0, text.find_first_of("\r\n")));
}

// Drops the last code point.
void drop_last_code_point(std::string& s) {
  if (s.empty()) return;
  std::size_t pos = s.size() - 1;
  while (pos > 0 && (static_cast<unsigned char>(s[pos]) & 0xC0) == 0x80) --pos;
  s.erase(pos);
}

}  // namespace

void SearchBar::open() {
  const bool was_open = open_;
  open_ = true;
  editing_ = true;
  if (!was_open) {
    set_query(query_);
    relayout();
  } else {
    refresh();
  }
}

void SearchBar::close() {
  if (!open_) return;
  open_ = false;
  if (log_) log_->end_search();
  relayout();
}

void SearchBar::set_query(std::string query) {
  query_ = std::move(query);
  if (log_) log_->search(query_);
  update();
}

void SearchBar::step(int direction) {
  editing_ = false;
  if (log_) log_->search_step(direction);
  update();
}

void SearchBar::update() {
  if (!open_ || !log_) return;
  const auto status = log_->search_status();
  if (query_.empty()) {
    count_.clear();
  } else if (status.total == 0) {
    count_ = "no matches";
  } else {
    count_ = fmt::format("{} of {}", status.current, status.total);
  }
  refresh();
}

bool SearchBar::on_key(const termui::KeyEvent& key) {
  if (!open_) return false;
  const std::string& k = key.key;
  if (k == "escape") {
    close();
    if (on_close) on_close();
    return true;
  }
  if (k == "enter" || k == "down") {
    step(1);
    return true;
  }
  if (k == "shift+enter" || k == "up") {
    step(-1);
    return true;
  }
  if (k == "backspace" || k == "ctrl+h") {
    editing_ = true;
    std::string q = query_;
    drop_last_code_point(q);
    set_query(std::move(q));
    return true;
  }
  if (key.character.empty() || k.starts_with("ctrl+") || k.starts_with("alt+")) return false;
  if (!editing_) {
    if (k == "n" || k == "N") {
      step(k == "n" ? 1 : -1);
    } else if (k == "/") {
      editing_ = true;
      refresh();
    }
    return true;  // other letters are not typed while the query is set
  }
  set_query(query_ + key.character);
  return true;
}

void SearchBar::on_paste(const termui::PasteEvent& paste) {
  if (!open_) return;
  editing_ = true;
  set_query(query_ + query_line(paste.text));
}

termui::Strip SearchBar::render_line(int y) {
  const int width = size().width;
  if (y != 0 || !open_ || width <= 0) return {};
  styled::Text line;
  line.set_no_wrap(true).set_overflow(styled::Overflow::ellipsis);
  line.append("Find: ", styled::Style::parse("bold #5f87ff"));
  line.append(unicode::visible_controls(query_), styled::Style::parse("bold white"));
  if (editing_) line.append("▏", styled::Style::parse("#5f87ff"));
  if (!count_.empty()) line.append("  " + count_, styled::Style::parse("#5fd787"));
  line.append(editing_ ? "  Enter next · Shift+Enter previous · Esc closes"
                       : "  n/N next/previous · / edits · Esc closes",
              styled::Style::parse("dim"));
  auto rows = line.wrap(width);
  if (rows.empty()) return {};
  return termui::Strip(std::move(rows.front()));
}

}  // namespace host::tui
