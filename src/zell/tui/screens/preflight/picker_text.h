#pragma once
// What the mode picker writes: its header row, its menu, and the reports that replace the
// menu after an attempt that did not reach the chat screen.

#include <string>
#include <string_view>
#include <vector>

#include "styled/text.h"

namespace zell::tui::screens {

// The box's first content, in markup.
inline constexpr std::string_view MENU_TEXT =
    "Select a mode:\n\n  [bold]1.[/] Fast — quick answers\n  [bold]2.[/] Reasoning — deep "
    "thinking\n\n[dim]Press 1 or 2[/]";

// Characters of a reason that the box shows.
inline constexpr std::size_t REASON_LIMIT = 80;

// The header row for a terminal `width` columns wide: the product name, a space, and a rule
// filling the rest of the row inside the header's padding.
[[nodiscard]] std::string header_line(int width);

// `text` on one line and cut to REASON_LIMIT characters: every line break becomes a space
// (CR LF one space), control characters become visible symbols. Reads no more of `text` than
// it keeps, so a reason of any size costs the same.
[[nodiscard]] std::string one_line_reason(std::string_view text);

// One thing that went wrong: a headline ("Server not ready", "Health check failed", ...) and
// its reason as given (made one line here).
struct PickerProblem {
  std::string_view headline;
  std::string_view reason;
};

// The box after a failed attempt: each problem as a bold red headline over its dim reason, then
// the retry hint, preceded by the note that the server may still be starting up when
// `server_starting`. Reasons are inserted as text, never read as markup.
[[nodiscard]] styled::Text problem_text(const std::vector<PickerProblem>& problems,
                                        bool server_starting);

// The box while the host's agent is checked: how the agent is doing (starting, ready, or why it
// did not start, with the last lines of its error output), then the mode menu with what the
// modes mean beside an agent. `opening` says the chat opens once the agent is ready. Whatever
// the agent said is inserted as text, one visible line each, never read as markup.
struct AgentState {
  std::string_view name;  // what it is called: its name and version once it answered
  enum class Phase { starting, ready, failed } phase = Phase::starting;
  std::string_view error;  // when failed
  bool opening = false;
};
[[nodiscard]] styled::Text agent_text(const AgentState& state);

// Lines of an agent's error the box shows, the last ones kept.
inline constexpr std::size_t AGENT_ERROR_LINES = 8;

}  // namespace zell::tui::screens
