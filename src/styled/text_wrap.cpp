// Cutting a Text into rows at a width: word wrapping, folding, cropping and the ellipsis, then
// slicing the style runs into segments. One pass over the text, no allocation per character.

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "styled/console.h"
#include "styled/text.h"
#include "unicode/ascii_scan.h"
#include "unicode/width.h"

namespace styled {

namespace {

constexpr std::string_view ELLIPSIS = "…";

// The cluster at `pos`, with a fast path for plain ASCII.
inline unicode::Grapheme cluster_at(std::string_view s, std::size_t pos) {
  const auto c = static_cast<unsigned char>(s[pos]);
  if (c >= 0x20 && c < 0x7F &&
      (pos + 1 == s.size() || static_cast<unsigned char>(s[pos + 1]) < 0x80)) {
    return {1, 1};
  }
  return unicode::grapheme_at(s, pos);
}

// The first byte in [from, limit) that is not a printable ASCII letter (space, control, DEL
// or from 0x80 on), or `limit`.
std::size_t letters_end(std::string_view s, std::size_t from, std::size_t limit) {
  return unicode::ascii_run_end(s, from, limit, 0x21);
}

struct RowRange {
  std::size_t start;  // bytes of plain
  std::size_t end;
  std::size_t cells;
  bool ellipsis;  // "…" follows the range
};

// Slices the runs into rows; rows arrive in increasing byte order, so the run cursor only
// moves forward.
class RowEmitter {
 public:
  RowEmitter(const std::string& plain, const std::vector<StyleRun>& runs, const Style& base,
             Justify justify, std::size_t width, Lines& out)
      : plain_(plain), runs_(runs), base_(base), justify_(justify), width_(width), out_(out) {}

  void emit(const RowRange& r) {
    while (run_ < runs_.size() && runs_[run_].end <= r.start) ++run_;
    // The row's segments are counted first so the line allocates its list once: one per run
    // it overlaps, plus the justification space either side and the ellipsis (and three for
    // what a container usually adds: the padding to the right and up to two prefixes).
    std::size_t pieces = (r.ellipsis ? 1 : 0) + (justify_ != Justify::left ? 2 : 1) + 2;
    for (std::size_t i = run_; i < runs_.size() && runs_[i].end > r.start; ++i) {
      if (i > run_ && runs_[i - 1].end >= r.end) break;
      ++pieces;
    }
    Line line;
    line.segments.reserve(pieces);
    if (justify_ != Justify::left) {
      const std::size_t total = r.cells + (r.ellipsis ? 1 : 0);
      const std::size_t excess = total < width_ ? width_ - total : 0;
      const std::size_t left = justify_ == Justify::center ? excess / 2 : excess;
      if (left > 0) line.push(std::string(left, ' '), base_, left);
    }
    std::size_t pos = r.start;
    Style last = base_;
    for (std::size_t i = run_; i < runs_.size() && pos < r.end; ++i) {
      const StyleRun& run = runs_[i];
      const std::size_t end = std::min<std::size_t>(run.end, r.end);
      if (end <= pos) continue;
      // Width is summed per row below; segments carry 0 here and the row total is set once.
      // The row's last piece gets room for the spaces that usually pad it to the width, so
      // padding it does not copy it again.
      const std::size_t pad =
          end == r.end && !r.ellipsis && r.cells < width_ ? width_ - r.cells : 0;
      std::string piece;
      piece.reserve(end - pos + pad);
      piece.append(plain_, pos, end - pos);
      line.segments.push_back(Segment{std::move(piece), run.style});
      last = run.style;
      pos = end;
    }
    line.cells += r.cells;
    if (r.ellipsis) line.push(ELLIPSIS, last, 1);
    if (justify_ != Justify::left) pad_line(line, width_, base_);
    out_.push_back(std::move(line));
    ++count_;
  }
  [[nodiscard]] std::size_t count() const { return count_; }

 private:
  const std::string& plain_;
  const std::vector<StyleRun>& runs_;
  const Style& base_;
  Justify justify_;
  std::size_t width_;
  Lines& out_;
  std::size_t run_ = 0;
  std::size_t count_ = 0;
};

// One source line [start, end) without line feeds, never wrapped.
void cut_line(std::string_view s, std::size_t start, std::size_t end, std::size_t width,
              Overflow overflow, RowEmitter& rows) {
  std::size_t cells = 0;
  std::size_t pos = start;
  // Fast scan: the whole line fits?
  std::size_t keep_end = start, keep_cells = 0;  // the longest prefix within width − 1
  const std::size_t room = overflow == Overflow::ellipsis ? (width > 0 ? width - 1 : 0) : width;
  while (pos < end) {
    const unicode::Grapheme g = cluster_at(s, pos);
    const auto w = static_cast<std::size_t>(g.width);
    if (cells + w <= room) {
      keep_end = pos + g.len;
      keep_cells = cells + w;
    }
    cells += w;
    pos += g.len;
    if (cells > width) break;
  }
  if (cells <= width) {
    rows.emit({start, end, cells, false});
    return;
  }
  rows.emit({start, keep_end, keep_cells, overflow == Overflow::ellipsis});
}

// One source line [start, end) wrapped at spaces, long words folded (or cut).
void wrap_line(std::string_view s, std::size_t start, std::size_t end, std::size_t width,
               Overflow overflow, RowEmitter& rows) {
  std::size_t row_start = start;
  std::size_t col = 0;
  bool in_space = false;
  bool have_break = false;
  std::size_t space_start = 0, col_at_space = 0;  // where the current space run began
  std::size_t word_start = 0, col_at_word = 0;    // where the word after it begins
  std::size_t brk_end = 0, brk_cells = 0;         // content of the row before that space run
  std::size_t pos = start;
  const std::size_t rows_before = rows.count();
  while (pos < end) {
    if (s[pos] == ' ') {
      if (!in_space) {
        in_space = true;
        space_start = pos;
        col_at_space = col;
      }
      ++col;
      ++pos;
      continue;
    }
    const unicode::Grapheme g = cluster_at(s, pos);
    const auto w = static_cast<std::size_t>(g.width);
    if (in_space) {
      in_space = false;
      if (space_start > row_start) {
        have_break = true;
        brk_end = space_start;
        brk_cells = col_at_space;
        word_start = pos;
        col_at_word = col;
      }
    }
    if (col + w > width) {
      if (have_break) {
        rows.emit({row_start, brk_end, brk_cells, false});
        row_start = word_start;
        col -= col_at_word;
        have_break = false;
        continue;  // measure this cluster again on the new row
      }
      if (pos == row_start) {
        // A cluster wider than the whole row stands alone.
        rows.emit({pos, pos + g.len, w, false});
        pos += g.len;
        row_start = pos;
        col = 0;
        continue;
      }
      if (col > width) {
        // Only a run of leading spaces can be wider than the row: cut it at the width.
        rows.emit({row_start, row_start + width, width, false});
        row_start = pos;
        col = 0;
        continue;
      }
      if (overflow == Overflow::fold) {
        rows.emit({row_start, pos, col, false});
        row_start = pos;
        col = 0;
        continue;
      }
      // crop / ellipsis: cut the word and skip to its end.
      std::size_t keep_end = pos, keep_cells = col;
      if (overflow == Overflow::ellipsis) {
        // Take clusters back until one cell is free for "…".
        keep_end = row_start;
        keep_cells = 0;
        for (std::size_t p = row_start; p < pos;) {
          const unicode::Grapheme h = cluster_at(s, p);
          if (keep_cells + static_cast<std::size_t>(h.width) + 1 > width) break;
          keep_cells += static_cast<std::size_t>(h.width);
          p += h.len;
          keep_end = p;
        }
      }
      rows.emit({row_start, keep_end, keep_cells, overflow == Overflow::ellipsis});
      while (pos < end && s[pos] != ' ') pos += cluster_at(s, pos).len;
      while (pos < end && s[pos] == ' ') ++pos;
      row_start = pos;
      col = 0;
      in_space = false;
      continue;
    }
    col += w;
    pos += g.len;
    // The rest of a word of printable ASCII, as the steps above would take it one cluster at
    // a time: no space, one cell each, nothing to undo while it fits.
    // Scanned to the first byte that is not such a letter (or the row is full); the letter
    // before a byte from 0x80 on is left for the steps above, which join it to what follows.
    if (col < width) {
      const std::size_t limit = std::min(end, pos + (width - col));
      std::size_t q = letters_end(s, pos, limit);
      if (q > pos && q < s.size() && static_cast<unsigned char>(s[q]) >= 0x80) --q;
      col += q - pos;
      pos = q;
    }
  }
  // Last row: spaces beyond the width are dropped.
  std::size_t row_end = end;
  if (col > width && in_space) {
    const std::size_t room = col_at_space < width ? width - col_at_space : 0;
    row_end = space_start + room;
    col = col_at_space + room;
  }
  if (row_start < row_end || rows.count() == rows_before) {
    rows.emit({row_start, row_end, col, false});
  }
}

}  // namespace

void Text::wrap_into(int width, Lines& out) const {
  std::vector<StyleRun> runs;
  wrap_into(width, out, runs);
}

void Text::wrap_into(int width_in, Lines& out, std::vector<StyleRun>& style_runs) const {
  const std::size_t width = static_cast<std::size_t>(std::max(width_in, 1));
  runs_into(style_runs);
  RowEmitter rows(plain_, style_runs, base_, justify_, width, out);
  const std::string_view s = plain_;
  std::size_t start = 0;
  const bool cut = no_wrap_;
  const Overflow overflow = (cut && overflow_ == Overflow::fold) ? Overflow::crop : overflow_;
  while (true) {
    const std::size_t nl = s.find('\n', start);
    const std::size_t end = nl == std::string_view::npos ? s.size() : nl;
    if (cut) {
      cut_line(s, start, end, width, overflow, rows);
    } else {
      wrap_line(s, start, end, width, overflow, rows);
    }
    if (nl == std::string_view::npos) break;
    start = nl + 1;
  }
}

Lines Text::wrap(int width) const {
  Lines out;
  wrap_into(width, out);
  return out;
}

void Text::render(const Console& console, int width, Lines& out) const {
  wrap_into(width, out, console.wrap_memory());
}

}  // namespace styled
