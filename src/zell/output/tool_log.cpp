// The tool log: a bold header line per call, and the first lines of its result hanging from
// "└" connectors.

#include <fmt/format.h>

#include <string>
#include <vector>

#include "unicode/text_ops.h"
#include "unicode/utf8.h"
#include "unicode/visible_text.h"
#include "zell/output/output_manager.h"

namespace zell::output {

namespace {

constexpr std::size_t HEADER_ARGS_CHARS = 80;
constexpr std::size_t EVENT_ARGS_CHARS = 200;
constexpr std::size_t EVENT_RESULT_CHARS = 4000;
constexpr std::size_t SHOWN_LINES_OK = 8;
constexpr std::size_t SHOWN_LINES_ERROR = 5;
constexpr std::size_t SHOWN_LINE_CHARS = 90;

}  // namespace

std::string OutputManager::_tool_header_line(std::string_view name, std::string_view args) {
  return "\n\x1b[1m▪ " + unicode::visible_text(tool_header(name), unicode::Reveal::invisible) +
         "\x1b[0m \x1b[36m" +
         unicode::visible_text(unicode::cp_prefix(args, HEADER_ARGS_CHARS),
                               unicode::Reveal::invisible) +
         "\x1b[0m\n";
}

int OutputManager::log_tool(std::string_view name, std::string_view args) {
  _stop_indicator();
  const int index = static_cast<int>(state.tool_actions.size());
  ToolAction& action = state.tool_actions.emplace_back();
  action.name = std::string(name);
  action.args = std::string(args);
  _emit_lazy("tool_start", [&] {
    return Payload{{"name", unicode::sanitize(name)},
                   {"args", unicode::cp_prefix(args, EVENT_ARGS_CHARS)},
                   {"index", std::to_string(index)}};
  });
  end_answer();
  _write(_tool_header_line(name, args));
  _flush();
  _start_indicator();
  return index;
}

std::string OutputManager::_filter_noise(std::string_view text) {
  std::string out;
  bool first = true;
  for (const std::string& line : unicode::split_lines(text)) {
    if (line.find("MallocStackLogging") != std::string::npos ||
        line.find("can't turn off") != std::string::npos) {
      continue;
    }
    if (!first) out += '\n';
    out += line;
    first = false;
  }
  return out;
}

void OutputManager::tool_result(std::string_view result, bool error, int idx) {
  std::string filtered = _filter_noise(result);
  const bool in_range = idx >= 0 && static_cast<std::size_t>(idx) < state.tool_actions.size();
  if (in_range) {
    ToolAction& action = state.tool_actions[static_cast<std::size_t>(idx)];
    action.status = error ? "error" : "done";
    action.result = filtered;
  }
  {
    const std::lock_guard guard(_lock);
    _custom_stage.clear();
  }
  _emit_lazy("tool_result", [&] {
    const ToolAction* action =
        in_range ? &state.tool_actions[static_cast<std::size_t>(idx)] : nullptr;
    return Payload{{"error", error ? "true" : "false"},
                   {"index", std::to_string(idx)},
                   {"result", unicode::cp_prefix(filtered, EVENT_RESULT_CHARS)},
                   {"name", action ? unicode::sanitize(action->name) : std::string()},
                   {"args", action ? unicode::cp_prefix(action->args, EVENT_ARGS_CHARS) : ""}};
  });
  _stop_indicator();
  // Answer text written since the call's header would leave the result hanging from it: the
  // header comes again, above the result.
  if (end_answer() && in_range) {
    const ToolAction& action = state.tool_actions[static_cast<std::size_t>(idx)];
    _write(_tool_header_line(action.name, action.args));
  }

  const std::vector<std::string> lines = unicode::split_lines(unicode::strip(filtered));
  const std::size_t shown = std::min(lines.size(), error ? SHOWN_LINES_ERROR : SHOWN_LINES_OK);
  const std::string_view open = error ? "\x1b[31m  └ " : "\x1b[2m  └ ";
  for (std::size_t i = 0; i < shown; ++i) {
    std::string line(open);
    line += unicode::visible_text(unicode::cp_prefix(lines[i], SHOWN_LINE_CHARS),
                                  unicode::Reveal::reordering);
    line += "\x1b[0m\n";
    _write(line);
  }
  if (!error && lines.size() > SHOWN_LINES_OK) {
    _write(fmt::format("\x1b[2m    … +{} lines\x1b[0m\n", lines.size() - SHOWN_LINES_OK));
  }
  _flush();
  _start_indicator();
}

}  // namespace zell::output
