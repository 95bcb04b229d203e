#include "host/runtime/turn_output.h"

#include "unicode/text_ops.h"
#include "unicode/utf8.h"

namespace host::runtime {

namespace {

bool is_blank_byte(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

}  // namespace

void TurnOutput::thinking(std::string_view text) {
  if (text.empty()) return;
  if (undecided_) reset_thinking();  // the undecided text comes again, as thinking
  thinking_.append(text);
  if (!thinking_open_) {
    // Nothing goes out until the thinking says something: some templates open and close an
    // empty block when asked not to think.
    if (unicode::is_blank(text)) return;
    thinking_open_ = true;
    text = thinking_;
  }
  const bool new_line = follow_lines(text.size());
  m_.feed_thinking(text);
  if (new_line) peek_full_ = false;
  if (!peek_full_) update_peek();
}

void TurnOutput::undecided(std::string_view text) {
  if (!undecided_) finish_thinking();  // reasoning sent apart is over
  undecided_ = true;
  const std::size_t added = text.size() - thinking_.size();
  thinking_.append(text.substr(thinking_.size()));
  if (follow_lines(added)) peek_full_ = false;
  if (!peek_full_) update_peek();
}

bool TurnOutput::follow_lines(std::size_t added) {
  // Following the lines keeps the peek's cost to the new bytes, whatever the block's length.
  bool new_line = false;
  for (std::size_t i = thinking_.size() - added; i < thinking_.size(); ++i) {
    const char c = thinking_[i];
    if (c == '\n') {
      if (line_text_ != std::string::npos) {
        last_text_ = line_text_;
        last_text_end_ = i;
      }
      line_text_ = std::string::npos;
      new_line = true;
    } else if (line_text_ == std::string::npos && !is_blank_byte(c)) {
      line_text_ = i;
      new_line = true;
    }
  }
  return new_line;
}

void TurnOutput::update_peek() {
  std::string_view source;
  if (line_text_ != std::string::npos) {
    source = std::string_view(thinking_).substr(line_text_);
  } else if (last_text_ != std::string::npos) {
    source = std::string_view(thinking_).substr(last_text_, last_text_end_ - last_text_);
  }
  // At most four bytes per character: the cut never needs more of a long line.
  std::string peek = unicode::cp_prefix(source.substr(0, kPeekChars * 4), kPeekChars);
  const bool full = unicode::cp_count(peek) == kPeekChars;
  peek = unicode::rstrip(peek);
  peek_full_ = full && line_text_ != std::string::npos;
  if (peek == peek_) return;
  peek_ = std::move(peek);
  m_.set_thinking_peek(peek_);
}

void TurnOutput::finish_thinking() {
  if (thinking_open_) m_.thinking_done(unicode::strip(thinking_));
  reset_thinking();
}

void TurnOutput::reset_thinking() {
  thinking_.clear();
  thinking_open_ = undecided_ = false;
  line_text_ = last_text_ = std::string::npos;
  peek_.clear();
  peek_full_ = false;
}

void TurnOutput::answer(std::string_view text) {
  finish_thinking();
  if (answer_.empty()) {
    std::size_t visible = 0;
    while (visible < text.size() && is_blank_byte(text[visible])) ++visible;
    text.remove_prefix(visible);
    if (text.empty()) return;
  }
  answer_.append(text);
  m_.stream(text);
}

}  // namespace host::runtime
