// Tool results in unified-diff form: a change summary, then at most four removed, added or
// context lines behind a line-number gutter, then a fold line for the rest.

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "styled/text.h"
#include "unicode/concat.h"
#include "unicode/diff_line.h"
#include "unicode/line_scan.h"
#include "unicode/text_ops.h"
#include "zell/tui/widgets/scrollback/item_styles.h"
#include "zell/tui/widgets/scrollback/scrollback.h"

namespace zell::tui::widgets {
namespace {

constexpr std::size_t MAX_DIFF_LINES = 4;
constexpr std::size_t DETECTION_LINES = 10;
constexpr std::uint64_t MAX_NUMBER = std::numeric_limits<std::uint64_t>::max();

bool starts(std::string_view s, std::string_view prefix) {
  return s.starts_with(prefix);
}

// Line numbers go up by one per line and stop at the largest value rather than wrap.
void advance(std::uint64_t& n) {
  if (n < MAX_NUMBER) ++n;
}

// The digits after the first `sign` that is followed by a digit; a number too large for 64
// bits reads as the largest one.
std::optional<std::uint64_t> number_after(std::string_view line, char sign) {
  for (std::size_t i = line.find(sign); i != std::string_view::npos; i = line.find(sign, i + 1)) {
    std::size_t j = i + 1;
    if (j >= line.size() || line[j] < '0' || line[j] > '9') continue;
    std::uint64_t value = 0;
    for (; j < line.size() && line[j] >= '0' && line[j] <= '9'; ++j) {
      const auto digit = static_cast<std::uint64_t>(line[j] - '0');
      value = value > (MAX_NUMBER - digit) / 10 ? MAX_NUMBER : value * 10 + digit;
    }
    return value;
  }
  return std::nullopt;
}

// Four spaces, the number right-aligned in four columns (a longer one written whole), a space.
std::string gutter(std::uint64_t n) {
  std::string digits = std::to_string(n);
  std::string g(4, ' ');
  if (digits.size() < 4) g.append(4 - digits.size(), ' ');
  g += digits;
  g += ' ';
  return g;
}

std::string count_text(std::size_t n, std::string_view verb) {
  std::string s(verb);
  s += ' ';
  s += std::to_string(n);
  s += n == 1 ? " line" : " lines";
  return s;
}

std::string summary_text(std::size_t added, std::size_t removed) {
  if (added == 0 && removed == 0) return "no changes";
  std::string s;
  if (added != 0) s = count_text(added, "Added");
  if (removed != 0) {
    if (!s.empty()) s += ", ";
    s += count_text(removed, "removed");
  }
  return s;
}

}  // namespace

bool _is_diff(std::string_view text) {
  unicode::LineReader reader(unicode::strip_view(text));
  int markers = 0;
  std::string_view line;
  for (std::size_t i = 0; i < DETECTION_LINES && reader.next(line); ++i) {
    if (starts(line, "+") || starts(line, "-") || starts(line, "@@") || starts(line, "diff ")) {
      ++markers;
    }
  }
  return markers >= 3;
}

void Scrollback::_render_diff(std::string_view diff_text) {
  // One pass: the counts of the summary take the whole text, the lines shown the first four
  // drawable ones; the summary is written first, so the shown lines wait in `shown`.
  std::size_t total = 0;
  std::size_t added = 0;
  std::size_t removed = 0;
  std::uint64_t old_line = 0;
  std::uint64_t new_line = 0;
  std::vector<styled::Text> shown;
  std::size_t lines_read_when_full = 0;
  unicode::LineReader reader(unicode::strip_view(diff_text));
  for (std::string_view dl; reader.next(dl);) {
    ++total;
    const unicode::DiffLine kind = unicode::diff_line_kind(dl);
    if (kind == unicode::DiffLine::added) ++added;
    if (kind == unicode::DiffLine::removed) ++removed;
    if (shown.size() >= MAX_DIFF_LINES) continue;
    if (kind == unicode::DiffLine::file_header) continue;
    if (kind == unicode::DiffLine::hunk) {
      if (const auto n = number_after(dl, '-')) old_line = *n;
      if (const auto n = number_after(dl, '+')) new_line = *n;
      continue;
    }
    styled::Text line;
    if (kind == unicode::DiffLine::removed) {
      line.append(gutter(old_line), item_style("dim red"));
      line.append("- ", item_style("bold red"));
      line.append(dl.substr(1), item_style("red"));
      advance(old_line);
    } else if (kind == unicode::DiffLine::added) {
      line.append(gutter(new_line), item_style("dim #32cd32"));
      line.append("+ ", item_style("bold #32cd32"));
      line.append(dl.substr(1), item_style("#32cd32"));
      advance(new_line);
    } else {
      const std::string_view content = starts(dl, " ") ? dl.substr(1) : dl;
      const bool blank = unicode::is_blank(content);
      if (!blank) {
        line.append(gutter(new_line), item_style("dim"));
        line.append("  ");
        line.append(content, item_style("dim"));
      }
      advance(old_line);
      advance(new_line);
      if (blank) continue;  // advances the numbers, shows nothing
    }
    shown.push_back(std::move(line));
    if (shown.size() == MAX_DIFF_LINES) lines_read_when_full = total;
  }

  styled::Text summary;
  summary.append("    ⎿ ", item_style("dim #5f87ff"));
  summary.append(summary_text(added, removed), item_style("dim"));
  write_line(summary);
  for (const styled::Text& line : shown) {
    write_line(line);
  }
  // The fold counts every line not shown, skipped headers and blank lines included, and is
  // written only when some line follows the last one shown.
  if (shown.size() == MAX_DIFF_LINES && total > lines_read_when_full) {
    write_line(styled::Text(
        unicode::concat({"      … +", std::to_string(total - shown.size()), " more lines"}),
        item_style("dim italic")));
  }
}

}  // namespace zell::tui::widgets
