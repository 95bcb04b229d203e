#include "termui/widgets/input.h"

#include <algorithm>

#include "termui/app.h"
#include "unicode/text_ops.h"
#include "unicode/utf8.h"
#include "unicode/width.h"

namespace termui {
namespace {

// One line of safe text: line breaks and tabs become spaces, other controls visible symbols.
std::string one_line(std::string_view text) {
  std::string clean = unicode::sanitize(text);
  for (char& c : clean) {
    if (c == '\n' || c == '\r' || c == '\t') c = ' ';
  }
  return unicode::visible_controls(clean);
}

const styled::Style CURSOR = styled::Style().with(styled::Attr::reverse);
const styled::Style PLACEHOLDER = styled::Style().with(styled::Attr::dim);

}  // namespace

Input::Input(std::string placeholder, std::string id)
    : Widget(std::move(id)), placeholder_(std::move(placeholder)) {}

void Input::set_value(std::string_view text) {
  value_ = one_line(text);
  cursor_ = value_.size();
  view_ = 0;
  refresh();
}

void Input::set_prompt(std::string prompt, styled::Style style) {
  prompt_ = one_line(prompt);
  prompt_style_ = style;
  refresh();
}

void Input::insert(std::string_view text) {
  const std::string clean = one_line(text);
  value_.insert(cursor_, clean);
  cursor_ += clean.size();
  refresh();
}

std::size_t Input::previous_boundary(std::size_t pos) const {
  // Clusters are short: scanning forward from a few code points back finds the boundary
  // without walking the whole value (which may be a huge paste).
  std::size_t start = pos;
  for (int cps = 0; start > 0 && cps < 32; ++cps) {
    --start;
    while (start > 0 && (static_cast<unsigned char>(value_[start]) & 0xc0) == 0x80) --start;
  }
  std::size_t prev = start;
  for (std::size_t p = start; p < pos;) {
    prev = p;
    p += unicode::grapheme_at(value_, p).len;
  }
  return prev;
}

std::size_t Input::next_boundary(std::size_t pos) const {
  if (pos >= value_.size()) return value_.size();
  return pos + unicode::grapheme_at(value_, pos).len;
}

bool Input::on_key(const KeyEvent& key) {
  const std::string& k = key.key;
  if (k == "enter") {
    const std::string submitted = value_;
    if (on_submit) on_submit(submitted);
    if (is_mounted()) app().post_message(std::make_unique<Submitted>(this, submitted));
  } else if (k == "backspace" || k == "ctrl+h") {
    if (cursor_ == 0) return true;
    const std::size_t p = previous_boundary(cursor_);
    value_.erase(p, cursor_ - p);
    cursor_ = p;
  } else if (k == "delete" || k == "ctrl+d") {
    value_.erase(cursor_, next_boundary(cursor_) - cursor_);
  } else if (k == "left") {
    cursor_ = previous_boundary(cursor_);
  } else if (k == "right") {
    cursor_ = next_boundary(cursor_);
  } else if (k == "home" || k == "ctrl+a") {
    cursor_ = 0;
  } else if (k == "end" || k == "ctrl+e") {
    cursor_ = value_.size();
  } else if (k == "ctrl+u") {
    value_.erase(0, cursor_);
    cursor_ = 0;
  } else if (k == "ctrl+k") {
    value_.erase(cursor_);
  } else if (k == "ctrl+w") {
    std::size_t p = cursor_;
    while (p > 0 && value_[p - 1] == ' ') --p;
    while (p > 0 && value_[p - 1] != ' ') p = previous_boundary(p);
    value_.erase(p, cursor_ - p);
    cursor_ = p;
  } else if (!key.character.empty() && key.character != "\t") {
    insert(key.character);
  } else {
    return false;
  }
  refresh();
  return true;
}

void Input::on_paste(const PasteEvent& paste) {
  insert(paste.text);
}

void Input::on_mouse_down(MouseEvent& event) {
  // Put the cursor under the pointer.
  int col = static_cast<int>(unicode::str_width(prompt_));
  std::size_t p = view_;
  while (p < value_.size()) {
    const auto g = unicode::grapheme_at(value_, p);
    if (col + g.width > event.x) break;
    col += g.width;
    p += g.len;
  }
  cursor_ = p;
  refresh();
}

Strip Input::render_line(int y) {
  if (y != 0) return {};
  const int width = size().width;
  const int prompt_cells = static_cast<int>(unicode::str_width(prompt_));
  const int room = std::max(1, width - prompt_cells - 1);  // one cell for a cursor at the end
  // Keep the cursor in view: scroll left to it, or right until the text before it fits.
  if (cursor_ < view_) view_ = cursor_;
  int before = 0;
  for (std::size_t p = view_; p < cursor_;) {
    const auto g = unicode::grapheme_at(value_, p);
    before += g.width;
    p += g.len;
  }
  if (before > room) {
    // Walk back from the cursor one code point at a time (linear even for a huge paste).
    std::size_t p = cursor_;
    int cells = 0;
    while (p > 0) {
      std::size_t q = p - 1;
      while (q > 0 && (static_cast<unsigned char>(value_[q]) & 0xc0) == 0x80) --q;
      const int w = unicode::cp_width(unicode::decode_at(value_, q).cp);
      if (cells + w > room) break;
      cells += w;
      p = q;
    }
    view_ = p;
  }

  styled::Line line;
  if (!prompt_.empty()) line.push(prompt_, prompt_style_);
  if (value_.empty()) {
    line.push(" ", CURSOR, 1);
    if (!placeholder_.empty()) line.push(placeholder_, PLACEHOLDER);
    return Strip(std::move(line));
  }
  const std::string_view v(value_);
  line.push(v.substr(view_, cursor_ - view_), {});
  if (cursor_ < value_.size()) {
    const std::size_t next = next_boundary(cursor_);
    line.push(v.substr(cursor_, next - cursor_), CURSOR);
    // The rest up to the width; the compositor crops what does not fit.
    const std::size_t end = std::min(value_.size(), next + static_cast<std::size_t>(width) * 4);
    line.push(v.substr(next, end - next), {});
  } else {
    line.push(" ", CURSOR, 1);
  }
  return Strip(std::move(line));
}

}  // namespace termui
