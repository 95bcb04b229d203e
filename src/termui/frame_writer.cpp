#include "termui/frame_writer.h"

#include <fmt/format.h>

#include "styled/link.h"
#include "styled/sgr.h"

namespace termui {

styled::Style FrameWriter::as_written(const styled::Style& style) {
  return scheme_ == styled::ColorScheme::light ? light_.apply(style) : style;
}

void FrameWriter::open_link(std::uint16_t link) {
  // The target comes from the link table, which holds only safe forms (styled/link.h).
  out_ += "\x1b]8;;";
  out_ += styled::link_target(link);
  out_ += "\x1b\\";
  link_ = link;
}

void FrameWriter::move_to(int x, int y) {
  if (cx_ == x && cy_ == y) return;
  if (cy_ == y && cx_ >= 0 && x > cx_) {
    const int n = x - cx_;
    if (n == 1) {
      out_ += "\x1b[C";
    } else {
      fmt::format_to(std::back_inserter(out_), "\x1b[{}C", n);
    }
  } else if (x == 0) {
    fmt::format_to(std::back_inserter(out_), "\x1b[{}H", y + 1);
  } else {
    fmt::format_to(std::back_inserter(out_), "\x1b[{};{}H", y + 1, x + 1);
  }
  cx_ = x;
  cy_ = y;
}

void FrameWriter::skip_to(const CellBuffer& next, int x, int y) {
  // Over a short run of unchanged cells in the pen's style, rewriting them is shorter than a
  // cursor move ("\x1b[C" is three bytes, a space one).
  if (cy_ == y && cx_ >= 0 && x > cx_ && x - cx_ <= 3) {
    std::size_t bytes = 0;
    bool plain = true;
    for (int g = cx_; g < x && plain; ++g) {
      const Cell& c = next.at(g, y);
      plain = c.width == 1 && as_written(c.style) == pen_;
      bytes += c.text.size();
    }
    if (plain && bytes < 3) {
      for (int g = cx_; g < x; ++g) out_ += next.at(g, y).text;
      cx_ = x;
      return;
    }
  }
  move_to(x, y);
}

std::string_view FrameWriter::frame(const CellBuffer& shown, const CellBuffer& next, bool full,
                                    const std::vector<char>* rows, int scroll) {
  out_.clear();
  out_ += SYNC_BEGIN;
  const std::size_t header = out_.size();
  if (full) {
    out_ += "\x1b[0m\x1b[H\x1b[2J";
    pen_ = styled::Style();
    cx_ = cy_ = 0;
  } else if (scroll > 0) {
    // Rows scrolled in are erased in the pen's background: make it the default first.
    if (!pen_.is_null()) {
      out_ += styled::SGR_RESET;
      pen_ = styled::Style();
    }
    fmt::format_to(std::back_inserter(out_), "\x1b[{}S", scroll);
    cx_ = cy_ = -1;
  }
  const int w = next.width();
  const int h = next.height();
  for (int y = 0; y < h; ++y) {
    if (!full && rows &&
        (static_cast<std::size_t>(y) >= rows->size() || !(*rows)[static_cast<std::size_t>(y)])) {
      continue;
    }
    for (int x = 0; x < w; ++x) {
      const Cell& n = next.at(x, y);
      if (n.width == 0) continue;  // written with its first half
      bool changed;
      if (full) {
        changed = !n.is_blank();
      } else {
        changed = !(n == shown.at(x, y)) ||
                  (n.width == 2 && x + 1 < w && !(next.at(x + 1, y) == shown.at(x + 1, y)));
      }
      if (!changed) continue;
      skip_to(next, x, y);
      const styled::Style style = as_written(n.style);
      if (!(pen_ == style)) {  // cell styles are normalized: equal means same look
        transitions_.append(out_, pen_, style);
        pen_ = style;
        if (hyperlinks_ && style.link() != link_) open_link(style.link());
      }
      out_ += n.text;
      cx_ += n.width;
      if (cx_ >= w) cx_ = cy_ = -1;  // pending wrap: the position is the terminal's business
    }
  }
  if (out_.size() == header) {
    out_.clear();
    return {};
  }
  if (link_ != 0) {  // whatever comes next (another program's output) is no link
    open_link(0);
    pen_ = pen_.with_link(0);
  }
  out_ += SYNC_END;
  return out_;
}

}  // namespace termui
