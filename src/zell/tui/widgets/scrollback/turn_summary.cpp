// The turn summary: one dim line with the turn's duration, tools, output tokens and savings,
// built once from the numbers and kept as text, so every redraw shows the same line.

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "styled/text.h"
#include "unicode/concat.h"
#include "zell/tui/widgets/scrollback/item_styles.h"
#include "zell/tui/widgets/scrollback/scrollback.h"
#include "zell/tui/widgets/scrollback/tool_headers.h"

namespace zell::tui::widgets {
namespace {

// Fixed-point with `decimals` digits, the last one rounded from the exact binary value (an
// exact tie to the even digit), independent of the locale.
std::string fixed(double value, int decimals) {
  char buf[400];  // the longest double in fixed form with three decimals fits
  const auto [end, ec] =
      std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
  return ec == std::errc() ? std::string(buf, end) : std::string();
}

std::string duration(double elapsed) {
  // Not a number reads as no time; past the 64-bit range the seconds stop growing.
  if (std::isnan(elapsed)) elapsed = 0.0;
  if (elapsed < 60) return unicode::concat({fixed(elapsed, 1), "s"});
  constexpr double LIMIT = 9.2e18;  // below 2^63
  const std::int64_t whole = elapsed >= LIMIT ? std::numeric_limits<std::int64_t>::max()
                                              : static_cast<std::int64_t>(elapsed);
  const std::int64_t minutes = whole / 60;
  const std::int64_t seconds = whole - 60 * minutes;
  std::string s = std::to_string(minutes);
  s += 'm';
  if (seconds < 10) s += '0';
  s += std::to_string(seconds);
  s += 's';
  return s;
}

// Display names with their counts, in the order each tool was first used.
std::string tool_counts(const std::vector<std::string>& tools) {
  std::vector<std::pair<std::string_view, std::size_t>> counts;
  std::unordered_map<std::string_view, std::size_t> slot;
  for (const std::string& name : tools) {
    const auto [it, fresh] = slot.try_emplace(name, counts.size());
    if (fresh) counts.emplace_back(name, 0);
    ++counts[it->second].second;
  }
  std::string s;
  for (const auto& [name, count] : counts) {
    if (!s.empty()) s += ", ";
    s += header_info(name).first;
    if (count > 1) {
      s += " x";
      s += std::to_string(count);
    }
  }
  return s;
}

}  // namespace

void Scrollback::append_turn_summary(double elapsed, const std::vector<std::string>& tools,
                                     std::int64_t tokens_in, std::int64_t tokens_out,
                                     double cost_saved) {
  (void)tokens_in;  // accepted with the others; the line does not show it
  std::vector<std::string> parts;
  parts.push_back(duration(elapsed));
  if (!tools.empty()) parts.push_back(tool_counts(tools));
  if (tokens_out != 0) {
    parts.push_back(
        tokens_out >= 1000
            ? unicode::concat({fixed(static_cast<double>(tokens_out) / 1000, 1), "k tokens"})
            : unicode::concat({std::to_string(tokens_out), " tokens"}));
  }
  if (cost_saved > 0) parts.push_back(unicode::concat({"$", fixed(cost_saved, 3), " saved"}));
  std::string text;
  for (const std::string& part : parts) {
    if (!text.empty()) text += " · ";
    text += part;
  }
  append(entries::TurnSummary{std::move(text)});
}

void Scrollback::_render_turn_summary(std::string_view summary_text) {
  write_blank();
  styled::Text line;
  line.append("  ");
  line.append(summary_text, item_style("dim"));
  write_line(line);
}

}  // namespace zell::tui::widgets
