// Thinking blocks: a collapsed one-line header with a preview, or an expanded header, body and
// fold line; a click on (or near) a header flips the block and redraws the transcript.

#include <algorithm>
#include <string>
#include <vector>

#include "styled/text.h"
#include "unicode/concat.h"
#include "unicode/line_scan.h"
#include "unicode/text_ops.h"
#include "unicode/utf8.h"
#include "unicode/word_fill.h"
#include "zell/errors.h"
#include "zell/tui/widgets/scrollback/item_styles.h"
#include "zell/tui/widgets/scrollback/scrollback.h"

namespace zell::tui::widgets {
namespace {

constexpr std::size_t MAX_SHOWN_LINES = 30;

}  // namespace

void Scrollback::append_thinking(std::string_view text, bool expanded) {
  append(entries::Thinking{std::string(text), expanded});
}

void Scrollback::toggle_thinking(std::size_t i) {
  auto* thinking = std::get_if<entries::Thinking>(&_history[i].record);
  if (thinking == nullptr) return;
  thinking->expanded = !thinking->expanded;
  _history[i].drawn = {};
  redraw_entry(i);
}

void Scrollback::_render_thinking(std::string_view text, bool expanded) {
  unicode::LineReader reader(unicode::strip_view(text));
  // At most the lines shown are kept; the rest is only counted.
  std::vector<std::string_view> shown;
  for (std::string_view line;
       shown.size() < (expanded ? MAX_SHOWN_LINES : 1) && reader.next(line);) {
    shown.push_back(line);
  }
  if (shown.empty()) return;
  const std::size_t total = shown.size() + reader.count_rest();

  write_blank();
  // Keyed by the display row the header lands on, which is what a click reports; earlier
  // writes may have wrapped into several rows each.
  _thinking_line_map[static_cast<int>(lines().size())] = static_cast<int>(drawing_);

  const std::optional<int> terminal = app_width();
  if (!expanded) {
    styled::Text header = styled::Text::one_line();
    header.append("  ▶ ", item_style("cyan"));
    const std::size_t max_preview =
        static_cast<std::size_t>(std::max(terminal ? *terminal - 28 : 50, 30));
    std::string preview = unicode::cp_prefix(shown.front(), max_preview);
    if (total > 1 || unicode::longer_than(shown.front(), max_preview)) {
      preview = unicode::rstrip(preview);
      preview += "…";
    }
    header.append(preview, item_style("dim italic"));
    if (total > 1) {
      header.append(unicode::concat({"  (+", std::to_string(total - 1), " lines)"}),
                    item_style("dim cyan"));
    }
    write_line(header);
    return;
  }

  styled::Text header;
  header.append("  ▼ ", item_style("cyan"));
  header.append(unicode::concat({"thinking (", std::to_string(total), " lines)"}),
                item_style("dim italic cyan"));
  write_line(header);

  const int avail_w = std::max(terminal ? *terminal - 6 : 76, 40);
  const styled::Style& body_style = item_style("dim italic");
  for (std::string_view line : shown) {
    // A blank line gives one empty row, without the indentation.
    const std::string wrapped =
        unicode::is_blank(line) ? std::string() : unicode::word_fill(line, avail_w - 8);
    unicode::for_each_piece(wrapped, [&](std::string_view piece) {
      write_line(styled::Text(piece.empty() ? std::string() : unicode::concat({"    ", piece}),
                              body_style));
    });
  }
  if (total > shown.size()) {
    write_line(styled::Text(
        unicode::concat({"    … +", std::to_string(total - shown.size()), " more lines"}),
        body_style));
  }
  write_blank();
}

void Scrollback::_handle_thinking_click(int y) {
  try {
    // A click right on a header toggles that block, even with another header close above it.
    if (const auto exact = _thinking_line_map.find(y); exact != _thinking_line_map.end()) {
      toggle_thinking(static_cast<std::size_t>(exact->second));
      return;
    }
    // Otherwise the window: rows y − 2 to y + 2 that exist, in ascending order.
    const long long first = std::max(static_cast<long long>(y) - 2, 0LL);
    const long long end =
        std::min(static_cast<long long>(y) + 3, static_cast<long long>(lines().size()));
    for (long long row = first; row < end; ++row) {
      const auto hit = _thinking_line_map.find(static_cast<int>(row));
      if (hit != _thinking_line_map.end()) {
        toggle_thinking(static_cast<std::size_t>(hit->second));
        return;
      }
    }
    // A row showing a fold glyph that is no mapped header (a wrapped header, a glyph inside
    // some text): the first thinking block of the transcript is the best guess.
    for (long long row = first; row < end; ++row) {
      const std::string text = lines().at(static_cast<std::size_t>(row)).text();
      if (text.find("▶") == std::string::npos && text.find("▼") == std::string::npos) continue;
      for (std::size_t idx = 0; idx < _history.size(); ++idx) {
        if (_history[idx].as<entries::Thinking>() != nullptr) {
          toggle_thinking(idx);
          return;
        }
      }
    }
  } catch (const zell::Interrupt&) {
    throw;
  } catch (const zell::ExitRequest&) {
    throw;
  } catch (...) {
    // A click is never worth an error: whatever failed (reading the rows, the redraw) ends
    // the toggle silently, with the states and the display as far as they got.
  }
}

}  // namespace zell::tui::widgets
