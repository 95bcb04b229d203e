// Answer text as it arrives, filled like a plain answer and indented by two columns. Completed
// lines are written at once. The unfinished line is shown too: the rows of it that no later text
// can change are written for good as soon as word filling has fixed them, and the row still
// growing is shown provisionally, replaced by every token, so a long paragraph appears as it
// streams and ends exactly as if it had been filled whole.

#include <algorithm>
#include <utility>

#include "styled/text.h"
#include "unicode/concat.h"
#include "unicode/line_scan.h"
#include "unicode/text_ops.h"
#include "unicode/utf8.h"
#include "unicode/word_fill.h"
#include "zell/tui/widgets/scrollback/scrollback.h"

namespace zell::tui::widgets {
namespace {

// The white space that separates words when filling (other spaces belong to words there).
bool is_fill_space(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The part of an unfinished line whose filling later text cannot change: up to the end of the
// last word that white space follows. The word still arriving may yet grow, gain a hyphen that
// breaks it, or outgrow a row and be cut into the one before; the white space before it may yet
// grow and no longer fit.
std::string_view settled_part(std::string_view open) {
  std::size_t end = open.size();
  while (end > 0 && !is_fill_space(open[end - 1])) --end;
  while (end > 0 && is_fill_space(open[end - 1])) --end;
  return open.substr(0, end);
}

// Bytes of a still growing word beyond which it is not shown again after every token.
constexpr std::size_t LONG_WORD = 1024;

std::size_t row_count(std::string_view filled) {
  return filled.empty()
             ? 0
             : static_cast<std::size_t>(std::count(filled.begin(), filled.end(), '\n')) + 1;
}

// The byte offset in `text` where row `rows` of `filled` (its filling) begins, when filling the
// text from there gives the same rows as the rows that follow in the whole: the row starts a
// word after white space, or continues a long word without hyphens that the row before was cut
// from. npos when the rows do not line up with the text or filling cannot restart there. Tabs
// are not allowed in `text` (they widen by their column in the whole line).
std::size_t restart_offset(std::string_view text, std::string_view filled, std::size_t rows) {
  std::size_t pos = 0;
  std::size_t row = 0;
  bool matched = true;
  unicode::for_each_piece(filled, [&](std::string_view piece) {
    if (!matched || row++ >= rows) return;
    // Rows after the first drop the white space they start with.
    if (!piece.empty() && piece[0] != ' ') {
      while (pos < text.size() && is_fill_space(text[pos])) ++pos;
    }
    for (std::size_t r = 0; r < piece.size();) {
      if (pos >= text.size()) {
        matched = false;
        return;
      }
      const unicode::Decoded want = unicode::decode_at(piece, r);
      const unicode::Decoded got = unicode::decode_at(text, pos);
      const char32_t shown = got.len == 1 && is_fill_space(text[pos]) ? U' ' : got.cp;
      if (shown != want.cp) {
        matched = false;
        return;
      }
      r += want.len;
      pos += got.len;
    }
  });
  if (!matched) return std::string_view::npos;
  while (pos < text.size() && is_fill_space(text[pos])) ++pos;
  if (pos == 0 || pos >= text.size()) return std::string_view::npos;
  if (!is_fill_space(text[pos - 1])) {
    std::size_t word_end = pos;
    while (word_end < text.size() && !is_fill_space(text[word_end])) ++word_end;
    if (word_end == text.size() ||
        text.substr(pos, word_end - pos).find('-') != std::string_view::npos) {
      return std::string_view::npos;
    }
  }
  return pos;
}

}  // namespace

int Scrollback::_stream_avail_width() const {
  return answer_width();
}

void Scrollback::_write_wrapped(std::string_view line) {
  const int avail = _stream_avail_width();
  if (unicode::is_blank(line)) {
    write_line(styled::Text(unicode::concat({"  ", line})));
    return;
  }
  write_filled_rows(unicode::word_fill(line, avail), 0);
}

void Scrollback::write_filled_rows(std::string_view filled, std::size_t from) {
  std::string row = "  ";
  std::size_t i = 0;
  unicode::for_each_piece(filled, [&](std::string_view piece) {
    if (i++ < from) return;
    row.resize(2);
    row += piece;
    write_line(styled::Text(row));
  });
}

void Scrollback::stream_token(std::string_view token) {
  if (!_stream_started) {
    stream_first_row_ = lines().size();
    stream_first_counter_ = _line_counter;
    stream_first_entry_ = _history.size();
    write_blank();
    _stream_started = true;
    stream_blank_shown_ = true;
    stream_done_.clear();
    stream_shown_from_ = 0;
    reset_open_line();
  }
  if (token.empty()) return;
  if (token.find('\t') != std::string_view::npos) {
    // Filling cannot restart inside a line with tabs: it goes on from the line's start.
    open_.fixed = open_.committed;
    open_.base = 0;
  }
  const std::size_t nl = token.rfind('\n');
  if (nl == std::string_view::npos) {
    for (std::size_t i = token.size(); i > 0; --i) {
      if (is_fill_space(token[i - 1])) {
        open_.word_start = _stream_text.size() + i;
        break;
      }
    }
    _stream_text += token;
    show_open_line();
    return;
  }
  _stream_text += token.substr(0, nl);
  const std::size_t from = stream_done_.size();
  stream_done_ += _stream_text;
  stream_done_ += '\n';
  bool first = true;
  const std::string_view completed =
      std::string_view(stream_done_).substr(from, stream_done_.size() - from - 1);
  unicode::for_each_piece(completed, [&](std::string_view line) {
    if (first) {
      end_open_line(line, true);
      first = false;
    } else {
      _write_wrapped(line);
    }
  });
  _stream_text.assign(token.substr(nl + 1));
  reset_open_line();
  show_open_line();
}

void Scrollback::drop_provisional() {
  if (!open_.provisional_shown) return;
  truncate(open_.provisional_row);
  _line_counter = open_.provisional_counter;
  open_.provisional_shown = false;
}

void Scrollback::reset_open_line() {
  open_ = OpenLine{};
  open_.word_start = _stream_text.size();
  while (open_.word_start > 0 && !is_fill_space(_stream_text[open_.word_start - 1])) {
    --open_.word_start;
  }
}

void Scrollback::show_open_line() {
  // A word that keeps growing (a long URL, encoded data) cannot settle: all of it is filled
  // again for every showing. Past a few rows of it the showing waits until the word has grown
  // by half, so that an unbroken line costs linear time, not quadratic.
  const std::size_t word = _stream_text.size() - open_.word_start;
  if (word > LONG_WORD && open_.provisional_shown &&
      _stream_text.size() - open_.shown_size < word / 2) {
    return;
  }
  open_.shown_size = _stream_text.size();
  drop_provisional();
  if (open_.committed == 0) open_.width = _stream_avail_width();
  if (unicode::is_blank(_stream_text)) return;  // blank so far: nothing to show yet
  const std::string_view rest = std::string_view(_stream_text).substr(open_.base);
  const std::string settled = unicode::word_fill(settled_part(rest), open_.width);
  const std::size_t fixed = std::max<std::size_t>(row_count(settled), 1) - 1;
  const std::string filled = unicode::word_fill(rest, open_.width);
  if (fixed > open_.fixed) {
    std::string_view fixed_rows = filled;
    std::size_t cut = 0;
    for (std::size_t i = 0; i < fixed; ++i) cut = fixed_rows.find('\n', cut) + 1;
    write_filled_rows(fixed_rows.substr(0, cut - 1), open_.fixed);
    open_.committed += fixed - open_.fixed;
    open_.fixed = fixed;
  }
  open_.provisional_row = lines().size();
  open_.provisional_counter = _line_counter;
  open_.provisional_shown = true;
  write_filled_rows(filled, fixed);
  // Later tokens fill only from the first unsettled row on, so a long paragraph costs a row per
  // token, not the whole paragraph.
  if (fixed > 0 && _stream_text.find('\t') == std::string::npos) {
    const std::size_t offset = restart_offset(rest, settled, fixed);
    if (offset != std::string_view::npos) {
      open_.base += offset;
      open_.fixed = 0;
    }
  }
}

void Scrollback::end_open_line(std::string_view line, bool keep_blank) {
  drop_provisional();
  if (unicode::is_blank(line)) {
    if (keep_blank) write_line(styled::Text(unicode::concat({"  ", line})));
    return;
  }
  const int width = open_.committed > 0 ? open_.width : _stream_avail_width();
  write_filled_rows(unicode::word_fill(line.substr(open_.base), width), open_.fixed);
}

void Scrollback::finish_stream(std::string_view full_text) {
  end_stream(std::string(full_text));
}

std::string_view Scrollback::finish_streamed_answer() {
  if (!_stream_started) return {};
  std::string answer = std::move(stream_done_);
  answer += _stream_text;
  end_stream(std::move(answer));
  if (!finished_answer_ || *finished_answer_ + 1 != _history.size()) return {};
  return _history.back().as<entries::Assistant>()->text;
}

void Scrollback::end_stream(std::string full_text) {
  // The entry starts where its streamed lines do, or here when nothing was streamed.
  const bool was_streaming = _stream_started;
  const std::size_t first_row = _stream_started ? stream_first_row_ : lines().size();
  const int first_counter = _stream_started ? stream_first_counter_ : _line_counter;
  end_open_line(_stream_text, false);
  _stream_text.clear();
  _stream_started = false;
  stream_blank_shown_ = false;
  stream_done_.clear();
  stream_shown_from_ = 0;
  reset_open_line();
  finished_answer_.reset();
  if (!unicode::is_blank(full_text)) {
    // Its rows are the streamed ones, not what its renderer draws: nothing is kept to copy.
    const std::size_t row = std::min(first_row, lines().size());
    _history.push_back({entries::Assistant{std::move(full_text)}, {}, row, first_counter, layout_});
    finished_answer_ = _history.size() - 1;
    // Items drawn while it streamed sit among its rows: the answer is drawn whole below them,
    // as the history has them, so that every entry's rows follow the one before.
    if (was_streaming && stream_first_entry_ + 1 < _history.size()) {
      const bool at_end = scroll_offset().y >= max_scroll_y();
      const int saved_scroll = scroll_offset().y;
      redraw_tail(stream_first_entry_, row, first_counter);
      if (at_end) {
        scroll_end(false);
      } else {
        scroll_to(saved_scroll, false);
      }
    }
  }
}

void Scrollback::render_finished_answer() {
  if (!finished_answer_ || *finished_answer_ >= _history.size()) {
    _rerender();
    return;
  }
  redraw_entry(*std::exchange(finished_answer_, std::nullopt));
}

void Scrollback::redraw_stream() {
  if (!_stream_started) return;
  stream_first_row_ = lines().size();
  stream_first_counter_ = _line_counter;
  if (stream_blank_shown_) write_blank();
  std::string_view done = std::string_view(stream_done_).substr(stream_shown_from_);
  if (!done.empty()) {
    done.remove_suffix(1);  // the last line's "\n"
    unicode::for_each_piece(done, [this](std::string_view line) { _write_wrapped(line); });
  }
  reset_open_line();
  show_open_line();
}

}  // namespace zell::tui::widgets
