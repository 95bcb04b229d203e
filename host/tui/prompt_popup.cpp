#include "host/tui/prompt_popup.h"

#include <algorithm>

#include "unicode/text_ops.h"
#include "unicode/utf8.h"

namespace host::tui {
namespace {

const styled::Style TITLE = styled::Style::parse("dim italic");
const styled::Style CHOSEN = styled::Style::parse("bold #ffffff on #005f87");
const styled::Style DESCRIPTION = styled::Style::parse("dim");

// One row of text from a choice: its first line, controls visible.
std::string one_row(std::string_view text) {
  const std::string_view first = text.substr(0, text.find('\n'));
  std::string row = unicode::visible_controls(unicode::cp_prefix(first, 300));
  std::replace(row.begin(), row.end(), '\t', ' ');
  if (first.size() < text.size()) row += " …";
  return row;
}

}  // namespace

void PromptPopup::show(std::string title, std::vector<Choice> choices, std::string empty) {
  const bool was_open = open_;
  const std::size_t rows_before = was_open ? std::min<std::size_t>(choices_.size(), MAX_ROWS) : 0;
  open_ = true;
  title_ = std::move(title);
  empty_ = std::move(empty);
  choices_ = std::move(choices);
  chosen_ = 0;
  first_ = 0;
  if (!was_open || std::min<std::size_t>(choices_.size(), MAX_ROWS) != rows_before) {
    relayout();
  } else {
    refresh();
  }
}

void PromptPopup::close() {
  if (!open_) return;
  open_ = false;
  choices_.clear();
  relayout();
}

void PromptPopup::move(int delta) {
  if (choices_.empty()) return;
  const auto n = static_cast<long>(choices_.size());
  chosen_ = static_cast<std::size_t>(((static_cast<long>(chosen_) + delta) % n + n) % n);
  if (chosen_ < first_) first_ = chosen_;
  if (chosen_ >= first_ + MAX_ROWS) first_ = chosen_ - MAX_ROWS + 1;
  refresh();
}

const PromptPopup::Choice* PromptPopup::chosen() const {
  if (!open_ || chosen_ >= choices_.size()) return nullptr;
  return &choices_[chosen_];
}

int PromptPopup::content_height(int) {
  if (!open_) return 0;
  return 1 + std::max(1, static_cast<int>(std::min<std::size_t>(choices_.size(), MAX_ROWS)));
}

termui::Strip PromptPopup::render_line(int y) {
  styled::Line line;
  if (!open_) return {};
  if (y == 0) {
    line.push(one_row(title_), TITLE);
    return termui::Strip(std::move(line));
  }
  if (choices_.empty()) {
    if (y == 1) line.push(empty_, DESCRIPTION);
    return termui::Strip(std::move(line));
  }
  const std::size_t i = first_ + static_cast<std::size_t>(y - 1);
  if (i >= choices_.size()) return {};
  const Choice& c = choices_[i];
  const bool chosen = i == chosen_;
  line.push(one_row(c.text), chosen ? CHOSEN : styled::Style{});
  if (!c.description.empty()) {
    line.push("  ", {});
    line.push(one_row(c.description), DESCRIPTION);
  }
  return termui::Strip(std::move(line));
}

}  // namespace host::tui
