// The end of a turn and the lines outside the answer: the closing line, errors, info lines.

#include <fmt/format.h>

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "unicode/text_ops.h"
#include "unicode/utf8.h"
#include "unicode/visible_text.h"
#include "zell/output/output_manager.h"

namespace zell::output {

namespace {

// "bash×3, read_file": each tool name in order of first use, with its count when above one.
std::string tools_summary(const std::vector<ToolAction>& actions) {
  std::vector<std::pair<std::string_view, std::size_t>> counts;
  for (const ToolAction& action : actions) {
    auto it = counts.begin();
    while (it != counts.end() && it->first != action.name) ++it;
    if (it == counts.end()) {
      counts.emplace_back(action.name, 1);
    } else {
      ++it->second;
    }
  }
  std::string out;
  for (const auto& [name, count] : counts) {
    if (!out.empty()) out += ", ";
    out += unicode::visible_controls(name);
    if (count > 1) out += fmt::format("×{}", count);
  }
  return out;
}

}  // namespace

void OutputManager::done() {
  _stop_indicator();
  // start_time and tool_actions are written only by this thread. A turn that was never started
  // has no length: its start is still the epoch, and a line of billions of seconds helps nobody.
  const bool started = state.start_time != 0.0;
  const double elapsed = _ports.clock() - state.start_time;
  const std::size_t tools_used = state.tool_actions.size();
  {
    const std::lock_guard guard(_lock);
    state.phase = Phase::DONE;
    _custom_stage.clear();
  }
  _emit_event("done");

  std::string line = "\n\x1b[2m  Done";
  if (started) line += fmt::format(" in {:.1f}s", elapsed);
  if (tools_used > 0) line += " — tools: " + tools_summary(state.tool_actions);
  line += "\x1b[0m\n";
  _write(line);
  _flush();
}

void OutputManager::set_error(std::string_view msg) {
  _stop_indicator();
  {
    const std::lock_guard guard(_lock);
    state.phase = Phase::ERROR;
    state.error = std::string(msg);
    _custom_stage.clear();
  }
  _emit_lazy("error", [&] { return Payload{{"message", unicode::cp_prefix(msg, 240)}}; });
  _write("\n\x1b[31m▪ Error: " + unicode::visible_text(msg, unicode::Reveal::reordering) +
         "\x1b[0m\n\n");
  _flush();
}

void OutputManager::_print_line(std::string_view line, std::string_view event_type,
                                std::string_view key, std::string_view text) {
  const bool was_running = _indicator_running.load();
  if (was_running) _stop_indicator();
  _write(line);
  _flush();
  if (was_running) _start_indicator();
  // These lines belong in the full screen's transcript as much as on the terminal.
  _emit_lazy(event_type, [&] {
    return Payload{{std::string(key), unicode::cp_prefix(text, INFO_EVENT_CHARS)}};
  });
}

void OutputManager::print_info(std::string_view text) {
  _print_line("\x1b[2m  " + unicode::visible_text(text, unicode::Reveal::reordering) + "\x1b[0m\n",
              "info", "text", text);
}

void OutputManager::print_user(std::string_view text) {
  _print_line(
      "\x1b[2m  › " + unicode::visible_text(text, unicode::Reveal::reordering) + "\x1b[0m\n",
      "user_message", "text", text);
}

void OutputManager::print_problem(std::string_view text) {
  _print_line("\x1b[31m▪ " + unicode::visible_text(text, unicode::Reveal::reordering) + "\x1b[0m\n",
              "problem", "message", text);
}

}  // namespace zell::output
