#include "zell/tui/screens/preflight/picker_text.h"

#include <algorithm>

#include "styled/style.h"
#include "unicode/text_ops.h"
#include "unicode/utf8.h"
#include "unicode/visible_text.h"

namespace zell::tui::screens {

std::string header_line(int width) {
  const std::string_view left = "🏠 Vellumine";
  constexpr int LEFT_COLS = 14;  // columns reserved for the name and the space after it
  const int usable = width - 2;  // the header's padding: one column on each side
  const int remaining = std::max(0, usable - LEFT_COLS);
  std::string line(left);
  line += ' ';
  line.reserve(line.size() + static_cast<std::size_t>(remaining) * 3);
  for (int i = 0; i < remaining; ++i) line += "─";
  return line;
}

std::string one_line_reason(std::string_view text) {
  std::string out;
  std::size_t pos = 0;
  for (std::size_t kept = 0; pos < text.size() && kept < REASON_LIMIT; ++kept) {
    const unicode::Decoded d = unicode::decode_at(text, pos);
    pos += d.len;
    if (unicode::is_line_boundary(d.cp)) {
      if (d.cp == U'\r' && pos < text.size() && text[pos] == '\n') ++pos;
      out += ' ';
    } else {
      unicode::append_utf8(out, d.cp);
    }
  }
  return unicode::visible_text(out, unicode::Reveal::reordering);
}

styled::Text problem_text(const std::vector<PickerProblem>& problems, bool server_starting) {
  static const styled::Style HEADLINE = styled::Style::parse("bold red");
  static const styled::Style DIM = styled::Style::parse("dim");
  styled::Text text;
  for (std::size_t i = 0; i < problems.size(); ++i) {
    if (i > 0) text.append("\n\n");
    text.append(problems[i].headline, HEADLINE);
    text.append("\n\n");
    // Appended as text, so brackets in a reason can never open or close a style.
    text.append(one_line_reason(problems[i].reason), DIM);
  }
  text.append("\n\n");
  if (server_starting) text.append("The server may still be starting up.\n");
  text.append("Press 1 or 2 to retry.", DIM);
  return text;
}

styled::Text agent_text(const AgentState& state) {
  static const styled::Style HEADLINE = styled::Style::parse("bold red");
  static const styled::Style BOLD = styled::Style::parse("bold");
  static const styled::Style DIM = styled::Style::parse("dim");
  using Phase = AgentState::Phase;
  styled::Text text;
  if (state.phase == Phase::failed) {
    text.append("The agent did not start", HEADLINE);
    text.append("\n");
    std::vector<std::string_view> lines;
    for (std::size_t pos = 0; pos <= state.error.size();) {
      const std::size_t end = std::min(state.error.find('\n', pos), state.error.size());
      lines.push_back(state.error.substr(pos, end - pos));
      pos = end + 1;
    }
    const std::size_t first =
        lines.size() > AGENT_ERROR_LINES ? lines.size() - AGENT_ERROR_LINES : 0;
    if (first > 0) text.append("\n…", DIM);
    for (std::size_t i = first; i < lines.size(); ++i) {
      text.append("\n");
      text.append(one_line_reason(lines[i]), DIM);
    }
    text.append("\n\nPress 1 or 2 to try again.", DIM);
    return text;
  }
  text.append(one_line_reason(state.name), BOLD);
  text.append(state.phase == Phase::ready ? " is ready." : " is starting…");
  text.append("\n\n");
  text.append(styled::Text::from_markup(
      "Select a mode:\n\n  [bold]1.[/] Fast — quick answers\n  [bold]2.[/] Reasoning — deep "
      "thinking"));
  text.append("\n\n");
  text.append(
      state.opening ? "The chat opens once the agent is ready." : "Press 1 or 2 to open the chat.",
      DIM);
  text.append("\nThe mode is the built-in model runtime's; the agent keeps its own.", DIM);
  return text;
}

}  // namespace zell::tui::screens
