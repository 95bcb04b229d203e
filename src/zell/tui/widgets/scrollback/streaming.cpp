// Answer text as it arrives: every completed line is written at once, filled like a plain answer
// and indented by two columns; the unfinished line waits for its line break.

#include <algorithm>

#include "styled/text.h"
#include "unicode/text_ops.h"
#include "zell/tui/widgets/scrollback/line_scan.h"
#include "zell/tui/widgets/scrollback/scrollback.h"
#include "zell/tui/widgets/scrollback/word_fill.h"

namespace zell::tui::widgets {

int Scrollback::_stream_avail_width() const {
  const std::optional<int> terminal = app_width();
  return std::max(terminal ? *terminal - 6 : 76, 40) - 2;
}

void Scrollback::_write_wrapped(std::string_view line) {
  const int avail = _stream_avail_width();
  std::string row = "  ";
  if (unicode::is_blank(line)) {
    row += line;
    write_line(styled::Text(row));
    return;
  }
  for_each_piece(word_fill(line, avail), [&](std::string_view piece) {
    row.resize(2);
    row += piece;
    write_line(styled::Text(row));
  });
}

void Scrollback::stream_token(std::string_view token) {
  if (!_stream_started) {
    stream_first_row_ = lines().size();
    write_blank();
    _stream_started = true;
    stream_blank_shown_ = true;
    stream_lines_.clear();
  }
  // Only the unfinished tail is kept; a token without a line break costs an append.
  const std::size_t nl = token.rfind('\n');
  if (nl == std::string_view::npos) {
    _stream_text += token;
    return;
  }
  _stream_text += token.substr(0, nl);
  for_each_piece(_stream_text, [this](std::string_view line) {
    stream_lines_.emplace_back(line);
    _write_wrapped(stream_lines_.back());
  });
  _stream_text.assign(token.substr(nl + 1));
}

void Scrollback::finish_stream(std::string_view full_text) {
  // The entry starts where its streamed lines do, or here when nothing was streamed.
  const std::size_t first_row = _stream_started ? stream_first_row_ : lines().size();
  if (!unicode::is_blank(_stream_text)) _write_wrapped(_stream_text);
  _stream_text.clear();
  _stream_started = false;
  stream_blank_shown_ = false;
  stream_lines_.clear();
  if (!unicode::is_blank(full_text)) {
    _history.push_back({"assistant", {std::string(full_text)}, nullptr});
    drawn_.emplace_back();
    entry_rows_.push_back(static_cast<int>(std::min(first_row, lines().size())));
  }
}

void Scrollback::redraw_stream() {
  if (!_stream_started) return;
  stream_first_row_ = lines().size();
  if (stream_blank_shown_) write_blank();
  for (const std::string& line : stream_lines_) _write_wrapped(line);
}

}  // namespace zell::tui::widgets
