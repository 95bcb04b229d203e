#include "host/acp/tool_call_state.h"

#include <fmt/format.h>

#include <array>
#include <utility>
#include <vector>

#include "host/acp/terminal_service.h"
#include "host/acp/unified_diff.h"

namespace host::acp {
namespace {

constexpr std::size_t kRawOutputChars = 20'000;

std::string shown_path(const std::string& path, const std::filesystem::path& cwd) {
  const std::filesystem::path p(path);
  if (!p.is_absolute() || cwd.empty()) return path;
  const std::filesystem::path rel = p.lexically_relative(cwd);
  if (rel.empty() || *rel.begin() == "..") return path;
  return rel.string();
}

std::string diff_of(const Json& item, const std::filesystem::path& cwd) {
  std::optional<std::string> before;
  if (const auto old = item.find("oldText"); old != item.end() && old->is_string()) {
    before = old->get<std::string>();
  }
  return unified_diff(shown_path(string_field(item, "path"), cwd), before,
                      string_field(item, "newText"));
}

std::string text_of_block(const Json& block) {
  if (!block.is_object()) return {};
  const std::string type = string_field(block, "type");
  if (type == "text") return string_field(block, "text");
  if (type == "resource_link") return string_field(block, "uri");
  if (type == "resource") {
    if (const auto r = block.find("resource"); r != block.end() && r->is_object()) {
      const std::string text = string_field(*r, "text");
      return text.empty() ? string_field(*r, "uri") : text;
    }
  }
  return {};
}

// The removed and added lines of a unified diff, in order, without its two header lines, hunk
// headers or context.
std::vector<std::string_view> changed_lines(std::string_view diff) {
  std::vector<std::string_view> out;
  std::size_t start = 0;
  for (int line = 0; start < diff.size(); ++line) {
    std::size_t nl = diff.find('\n', start);
    if (nl == std::string_view::npos) nl = diff.size();
    const std::string_view row = diff.substr(start, nl - start);
    if (line >= 2 && (row.starts_with('+') || row.starts_with('-'))) out.push_back(row);
    start = nl + 1;
  }
  return out;
}

std::filesystem::path resolved_path(const std::filesystem::path& path,
                                    const std::filesystem::path& cwd) {
  std::error_code ec;
  const std::filesystem::path whole = path.is_absolute() ? path : cwd / path;
  std::filesystem::path canonical = std::filesystem::weakly_canonical(whole, ec);
  return ec ? whole.lexically_normal() : canonical;
}

void add_piece(std::string& out, std::string_view piece) {
  if (piece.empty()) return;
  if (!out.empty() && !out.ends_with('\n')) out += '\n';
  out += piece;
}

}  // namespace

void ToolCallState::merge(const Json& u) {
  if (!u.is_object()) return;
  if (const std::string v = string_field(u, "toolCallId"); !v.empty()) id = v;
  if (const auto it = u.find("title"); it != u.end() && it->is_string())
    title = it->get<std::string>();
  if (const auto it = u.find("kind"); it != u.end() && it->is_string())
    kind = it->get<std::string>();
  if (const auto it = u.find("status"); it != u.end() && it->is_string()) {
    status = it->get<std::string>();
  }
  if (const auto it = u.find("content"); it != u.end() && it->is_array()) content = *it;
  if (const auto it = u.find("locations"); it != u.end() && it->is_array()) locations = *it;
  if (const auto it = u.find("rawInput"); it != u.end() && !it->is_null()) raw_input = *it;
  if (const auto it = u.find("rawOutput"); it != u.end() && !it->is_null()) raw_output = *it;
  // Agents that run commands themselves report the terminal's output and exit here.
  if (const auto meta = u.find("_meta"); meta != u.end() && meta->is_object()) {
    if (const auto out = meta->find("terminal_output"); out != meta->end() && out->is_object()) {
      meta_output += string_field(*out, "data");
    }
    if (const auto ex = meta->find("terminal_exit"); ex != meta->end() && ex->is_object()) {
      if (const auto code = ex->find("exit_code"); code != ex->end() && code->is_number_integer()) {
        meta_exit_code = code->get<int>();
      }
    }
  }
}

std::string_view tool_name_for_kind(std::string_view kind) {
  static constexpr std::array<std::pair<std::string_view, std::string_view>, 10> kNames{{
      {"read", "read_file"},
      {"edit", "edit_file"},
      {"delete", "Delete"},
      {"move", "Move"},
      {"search", "grep"},
      {"execute", "bash"},
      {"think", "Think"},
      {"fetch", "web_fetch"},
      {"switch_mode", "Mode"},
      {"other", "Tool"},
  }};
  for (const auto& [k, name] : kNames) {
    if (k == kind) return name;
  }
  return "Tool";
}

std::string tool_command(const ToolCallState& tool) {
  if (!tool.raw_input.is_object()) return {};
  const auto cmd = tool.raw_input.find("command");
  if (cmd == tool.raw_input.end()) return {};
  std::string line;
  const auto add = [&line](const Json& part) {
    if (!part.is_string()) return;
    if (!line.empty()) line += ' ';
    line += part.get<std::string>();
  };
  if (cmd->is_array()) {
    for (const Json& part : *cmd) add(part);
  } else {
    add(*cmd);
  }
  if (const auto args = tool.raw_input.find("args");
      args != tool.raw_input.end() && args->is_array()) {
    for (const Json& part : *args) add(part);
  }
  return line;
}

std::string tool_summary(const ToolCallState& tool) {
  if (!tool.title.empty()) return tool.title;
  if (std::string cmd = tool_command(tool); !cmd.empty()) return cmd;
  for (const Json& loc : tool.locations) {
    if (std::string path = loc.is_object() ? string_field(loc, "path") : ""; !path.empty()) {
      return path;
    }
  }
  return {};
}

std::string tool_diffs(const ToolCallState& tool, const std::filesystem::path& cwd) {
  std::string out;
  for (const Json& item : tool.content) {
    if (item.is_object() && string_field(item, "type") == "diff")
      add_piece(out, diff_of(item, cwd));
  }
  return out;
}

bool tool_shows_change(const ToolCallState& tool, const std::filesystem::path& file,
                       const std::filesystem::path& cwd, const std::optional<std::string>& before,
                       std::string_view after) {
  const std::filesystem::path target = resolved_path(file, cwd);
  std::string written;  // made once a diff for the file is found
  for (const Json& item : tool.content) {
    if (!item.is_object() || string_field(item, "type") != "diff") continue;
    const std::string path = string_field(item, "path");
    if (path.empty() || resolved_path(path, cwd) != target) continue;
    if (written.empty()) written = unified_diff("", before, after);
    const std::string shown = diff_of(item, cwd);
    if (changed_lines(shown) == changed_lines(written)) return true;
  }
  return false;
}

std::string tool_result_text(const ToolCallState& tool, const std::filesystem::path& cwd,
                             const TerminalService* terminals) {
  std::string out;
  for (const Json& item : tool.content) {
    if (!item.is_object()) continue;
    const std::string type = string_field(item, "type");
    if (type == "diff") {
      add_piece(out, diff_of(item, cwd));
    } else if (type == "content") {
      if (const auto block = item.find("content"); block != item.end()) {
        add_piece(out, text_of_block(*block));
      }
    } else if (type == "terminal" && terminals != nullptr) {
      if (auto snap = terminals->snapshot(string_field(item, "terminalId"))) {
        add_piece(out, snap->output);
        if (snap->exit && !(snap->exit->code && *snap->exit->code == 0)) {
          add_piece(out, fmt::format("({})", describe(*snap->exit)));
        }
      }
    }
  }
  add_piece(out, tool.meta_output);
  if (tool.meta_exit_code && *tool.meta_exit_code != 0) {
    add_piece(out, fmt::format("(exit status {})", *tool.meta_exit_code));
  }
  if (out.empty() && !tool.raw_output.is_null()) {
    if (tool.raw_output.is_string()) {
      out = tool.raw_output.get<std::string>();
    } else {
      for (const char* key : {"output", "stdout", "content", "error", "message"}) {
        if (std::string v = string_field(tool.raw_output, key); !v.empty()) {
          out = std::move(v);
          break;
        }
      }
      if (out.empty()) {
        out = tool.raw_output.dump(-1, ' ', false, Json::error_handler_t::replace);
        if (out.size() > kRawOutputChars) out.resize(kRawOutputChars);
      }
    }
  }
  return out;
}

}  // namespace host::acp
