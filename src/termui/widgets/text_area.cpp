// TextArea's text and its editing keys; text_area_view.cpp lays the text out in rows and
// draws them.

#include "termui/widgets/text_area.h"

#include <fmt/format.h>

#include <algorithm>

#include "unicode/text_ops.h"
#include "unicode/utf8.h"
#include "unicode/width.h"

namespace termui {
namespace {

// Folded pastes are held in the text as code points of the last private-use planes, one per
// paste; text from outside never keeps one (see `clean`).
constexpr char32_t FOLD_FIRST = 0xF0000;
constexpr char32_t FOLD_LAST = 0x10FFFF;

bool is_blank(char c) {
  return c == ' ' || c == '\t' || c == '\n';
}

std::string fold_label(std::string_view text) {
  std::size_t lines = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
  if (!text.empty() && text.back() != '\n') ++lines;
  if (lines > 1) return fmt::format("[pasted {} lines]", lines);
  return fmt::format("[pasted {} characters]", unicode::cp_count(text));
}

}  // namespace

TextArea::TextArea(std::string placeholder, std::string id)
    : Widget(std::move(id)), placeholder_(std::move(placeholder)) {}

std::string TextArea::clean(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  const std::string valid = unicode::sanitize(text);
  for (std::size_t i = 0; i < valid.size();) {
    const unicode::Decoded d = unicode::decode_at(valid, i);
    const std::string_view bytes(valid.data() + i, d.len);
    i += d.len;
    if (d.cp == U'\r') {
      out += '\n';
      if (i < valid.size() && valid[i] == '\n') ++i;  // CR LF is one line break
    } else if (d.cp >= FOLD_FIRST && d.cp <= FOLD_LAST) {
      out += "\xEF\xBF\xBD";
    } else {
      unicode::append_visible(out, d.cp, bytes);
    }
  }
  return out;
}

TextArea::Unit TextArea::unit_at(std::size_t pos) const {
  const char c = text_[pos];
  if (c == '\n') return {1, 0, {}, false};
  if (c == '\t') return {1, 1, " ", false};
  if (static_cast<unsigned char>(c) >= 0xF3) {
    const unicode::Decoded d = unicode::decode_at(text_, pos);
    if (d.cp >= FOLD_FIRST && d.cp <= FOLD_LAST) {
      const std::string& label = fold_labels_[d.cp - FOLD_FIRST];
      return {d.len, static_cast<int>(unicode::str_width(label)), label, true};
    }
  }
  const unicode::Grapheme g = unicode::grapheme_at(text_, pos);
  // A cluster never swallows a line break or a tab that follows it.
  std::size_t len = g.len;
  for (std::size_t i = 1; i < len; ++i) {
    if (text_[pos + i] == '\n' || text_[pos + i] == '\t') len = i;
  }
  return {len, g.width, std::string_view(text_).substr(pos, len), false};
}

std::string TextArea::value() const {
  std::string out;
  out.reserve(text_.size());
  for (std::size_t i = 0; i < text_.size();) {
    const unicode::Decoded d = unicode::decode_at(text_, i);
    if (d.cp >= FOLD_FIRST && d.cp <= FOLD_LAST) {
      out += folded_[d.cp - FOLD_FIRST];
    } else {
      out.append(text_, i, d.len);
    }
    i += d.len;
  }
  return out;
}

void TextArea::set_value(std::string_view text) {
  remember(Edit::other);
  text_ = clean(text);
  cursor_ = text_.size();
  changed();
}

void TextArea::clear() {
  text_.clear();
  cursor_ = 0;
  folded_.clear();
  fold_labels_.clear();
  undo_.clear();
  last_edit_ = Edit::other;
  top_ = 0;
  changed();
}

void TextArea::insert(std::string_view text) {
  remember(Edit::typing);
  put(clean(text));
  changed();
}

void TextArea::paste(std::string_view text) {
  remember(Edit::other);
  std::string safe = clean(text);
  const auto lines = std::count(safe.begin(), safe.end(), '\n');
  const bool fold = (lines >= FOLD_LINES || safe.size() > FOLD_BYTES) &&
                    folded_.size() <= static_cast<std::size_t>(FOLD_LAST - FOLD_FIRST);
  if (fold) {
    std::string marker;
    unicode::append_utf8(marker, FOLD_FIRST + static_cast<char32_t>(folded_.size()));
    fold_labels_.push_back(fold_label(safe));
    folded_.push_back(std::move(safe));
    put(marker);
  } else {
    put(safe);
  }
  last_edit_ = Edit::other;
  changed();
}

TextArea::Word TextArea::word_before_cursor() const {
  std::size_t begin = cursor_;
  while (begin > 0 && !is_blank(text_[begin - 1])) --begin;
  return {begin, text_.substr(begin, cursor_ - begin)};
}

void TextArea::replace_word(const Word& word, std::string_view text) {
  if (word.begin > cursor_) return;
  remember(Edit::other);
  erase(word.begin, cursor_);
  put(clean(text));
  changed();
}

void TextArea::set_prompt(std::string prompt, styled::Style style) {
  prompt_ = unicode::visible_controls(unicode::sanitize(prompt));
  std::replace(prompt_.begin(), prompt_.end(), '\n', ' ');
  std::replace(prompt_.begin(), prompt_.end(), '\t', ' ');
  prompt_style_ = style;
  changed();
}

void TextArea::set_max_rows(int rows) {
  max_rows_ = std::max(1, rows);
  changed();
}

// ---- editing ----

void TextArea::remember(Edit kind) {
  // A run of typed characters undoes as one step.
  if (kind == Edit::typing && last_edit_ == Edit::typing) return;
  last_edit_ = kind;
  if (!undo_.empty() && undo_.back().text == text_) return;
  if (undo_.size() >= UNDO_DEPTH) undo_.erase(undo_.begin());
  undo_.push_back({text_, cursor_});
}

void TextArea::erase(std::size_t from, std::size_t to) {
  text_.erase(from, to - from);
  cursor_ = from;
}

void TextArea::put(std::string_view clean_text) {
  text_.insert(cursor_, clean_text);
  cursor_ += clean_text.size();
}

std::size_t TextArea::previous_boundary(std::size_t pos) const {
  if (pos == 0) return 0;
  if (text_[pos - 1] == '\n') return pos - 1;
  // Units are short: walking forward from the line's start, or a few code points back, finds
  // the boundary without walking the whole text.
  std::size_t start = pos;
  for (int cps = 0; start > 0 && cps < 32 && text_[start - 1] != '\n'; ++cps) {
    --start;
    while (start > 0 && (static_cast<unsigned char>(text_[start]) & 0xc0) == 0x80) --start;
  }
  std::size_t prev = start;
  for (std::size_t p = start; p < pos;) {
    prev = p;
    p += unit_at(p).len;
  }
  return prev;
}

std::size_t TextArea::next_boundary(std::size_t pos) const {
  if (pos >= text_.size()) return text_.size();
  return pos + unit_at(pos).len;
}

std::size_t TextArea::line_start(std::size_t pos) const {
  const std::size_t nl = pos == 0 ? std::string::npos : text_.rfind('\n', pos - 1);
  return nl == std::string::npos ? 0 : nl + 1;
}

std::size_t TextArea::line_end(std::size_t pos) const {
  const std::size_t nl = text_.find('\n', pos);
  return nl == std::string::npos ? text_.size() : nl;
}

bool TextArea::on_key(const KeyEvent& key) {
  const std::string& k = key.key;
  bool vertical = false;
  if (k == "enter") {
    const std::string submitted = value();
    if (on_submit) on_submit(submitted);
    return true;
  }
  if (k == "shift+enter" || k == "alt+enter" || k == "ctrl+j") {
    remember(Edit::other);
    text_.insert(cursor_++, 1, '\n');
  } else if (k == "backspace" || k == "ctrl+h") {
    if (cursor_ == 0) return true;
    remember(Edit::other);
    erase(previous_boundary(cursor_), cursor_);
  } else if (k == "delete" || k == "ctrl+d") {
    if (cursor_ == text_.size()) return true;
    remember(Edit::other);
    const std::size_t at = cursor_;
    erase(at, next_boundary(at));
  } else if (k == "left") {
    cursor_ = previous_boundary(cursor_);
  } else if (k == "right") {
    cursor_ = next_boundary(cursor_);
  } else if (k == "ctrl+left" || k == "alt+left" || k == "alt+b") {
    while (cursor_ > 0 && is_blank(text_[cursor_ - 1])) --cursor_;
    while (cursor_ > 0 && !is_blank(text_[cursor_ - 1])) cursor_ = previous_boundary(cursor_);
  } else if (k == "ctrl+right" || k == "alt+right" || k == "alt+f") {
    while (cursor_ < text_.size() && is_blank(text_[cursor_])) ++cursor_;
    while (cursor_ < text_.size() && !is_blank(text_[cursor_])) cursor_ = next_boundary(cursor_);
  } else if (k == "home" || k == "ctrl+a") {
    cursor_ = line_start(cursor_);
  } else if (k == "end" || k == "ctrl+e") {
    cursor_ = line_end(cursor_);
  } else if (k == "up" || k == "down") {
    if (!move_vertically(k == "up" ? -1 : 1)) return false;
    vertical = true;
  } else if (k == "ctrl+u") {
    remember(Edit::other);
    erase(line_start(cursor_), cursor_);
  } else if (k == "ctrl+k") {
    remember(Edit::other);
    const std::size_t end = line_end(cursor_);
    // At the end of a line the line break goes, joining the next line, as in readline.
    text_.erase(cursor_, (end == cursor_ && end < text_.size() ? end + 1 : end) - cursor_);
  } else if (k == "ctrl+w") {
    remember(Edit::other);
    std::size_t p = cursor_;
    while (p > 0 && is_blank(text_[p - 1])) --p;
    while (p > 0 && !is_blank(text_[p - 1])) p = previous_boundary(p);
    erase(p, cursor_);
  } else if (k == "ctrl+_" || k == "ctrl+/") {
    if (undo_.empty()) return true;
    text_ = std::move(undo_.back().text);
    cursor_ = std::min(undo_.back().cursor, text_.size());
    undo_.pop_back();
    last_edit_ = Edit::other;
  } else if (!key.character.empty() && k != "tab") {
    insert(key.character);
    return true;
  } else {
    return false;
  }
  if (!vertical) goal_cells_ = -1;
  last_edit_ = Edit::other;  // a key other than a character ends a run of typing
  changed();
  return true;
}

}  // namespace termui
