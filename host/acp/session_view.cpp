#include "host/acp/session_view.h"

#include "host/acp/terminal_service.h"
#include "host/acp/unified_diff.h"
#include "host/agent/agent_events.h"

namespace host::acp {
namespace {

// The text of a content chunk; other block kinds (images, audio) say what they are.
std::string chunk_text(const Json& update) {
  const auto content = update.find("content");
  if (content == update.end() || !content->is_object()) return {};
  const std::string type = string_field(*content, "type");
  if (type == "text") return string_field(*content, "text");
  if (type == "resource_link") return string_field(*content, "uri");
  if (type == "image" || type == "audio") return "[" + type + "]";
  return {};
}

std::string_view plan_mark(std::string_view status) {
  if (status == "completed") return "✓";
  if (status == "in_progress") return "▸";
  return "○";
}

}  // namespace

SessionView::SessionView(zell::output::OutputManager& manager, std::filesystem::path cwd,
                         const TerminalService* terminals, bool live)
    : m_(manager), cwd_(std::move(cwd)), terminals_(terminals), live_(live) {
  out_.emplace(manager);
}

void SessionView::begin_turn() {
  out_.emplace(m_);
  tokens_.reset();
  turn_tools_.clear();
  user_line_.clear();
  cancelled_ = false;
}

void SessionView::cancel_turn() {
  flush_user_line();
  out_->finish_thinking();
  cancelled_ = true;
}

void SessionView::apply(const Json& update) {
  if (!update.is_object()) return;
  const std::string kind = string_field(update, "sessionUpdate");
  if (kind == "agent_message_chunk") {
    apply_chunk(TextChunk::Kind::answer, chunk_text(update));
    return;
  }
  if (kind == "agent_thought_chunk") {
    apply_chunk(TextChunk::Kind::thought, chunk_text(update));
    return;
  }
  if (kind != "user_message_chunk") flush_user_line();
  if (kind == "tool_call") {
    on_tool_call(update, true);
  } else if (kind == "tool_call_update") {
    on_tool_call(update, false);
  } else if (kind == "plan") {
    if (const auto entries = update.find("entries"); entries != update.end()) show_plan(*entries);
  } else if (kind == "usage_update") {
    if (const auto used = update.find("used"); used != update.end() && used->is_number_integer()) {
      tokens_ = used->get<long long>();
    }
  } else if (kind == "available_commands_update") {
    commands_.clear();
    if (const auto list = update.find("availableCommands");
        list != update.end() && list->is_array()) {
      for (const Json& c : *list) {
        if (c.is_object() && !string_field(c, "name").empty()) {
          commands_.push_back({string_field(c, "name"), string_field(c, "description")});
        }
      }
    }
  } else if (kind == "user_message_chunk") {
    user_line_ += chunk_text(update);
  }
}

void SessionView::apply_chunk(TextChunk::Kind kind, std::string_view text) {
  flush_user_line();
  if (cancelled_) return;  // the rest of a cancelled turn's answer is dropped
  if (kind == TextChunk::Kind::answer) {
    out_->answer(text);
  } else {
    out_->thinking(text);
  }
}

void SessionView::flush_user_line() {
  if (user_line_.empty()) return;
  out_->finish_thinking();
  m_.print_user(std::exchange(user_line_, {}));
}

void SessionView::end_turn() {
  flush_user_line();
  out_->finish_thinking();
  if (live_) {
    refresh_terminals();
    return;
  }
  for (auto& [id, tool] : tools_) {
    if (tool.finished() && !tool.result_shown) show_result(tool);
  }
}

void SessionView::on_tool_call(const Json& update, bool is_new) {
  const std::string id = string_field(update, "toolCallId");
  auto [it, inserted] = tools_.try_emplace(id);
  turn_tools_.insert(id);
  ToolCallState& tool = it->second;
  if (is_new && !inserted && tool.result_shown) tool = ToolCallState{};  // an id used again
  tool.merge(update);
  if (live_) {
    // A call that starts without a title or input waits for the update that fills them.
    if (tool.live_shown || !tool_summary(tool).empty() || tool.status != "pending") {
      send_live(tool);
    }
    return;
  }
  // A call that starts without a title or input waits for the update that fills them.
  if (tool.index < 0 && (!tool_summary(tool).empty() || tool.status != "pending")) {
    show_header(tool);
  }
  if (tool.index >= 0 && tool.finished() && !tool.result_shown) show_result(tool);
}

void SessionView::show_header(ToolCallState& tool) {
  out_->finish_thinking();
  tool.index = m_.log_tool(tool_name_for_kind(tool.kind), tool_summary(tool));
}

void SessionView::show_result(ToolCallState& tool) {
  if (tool.index < 0) show_header(tool);
  tool.result_shown = true;
  std::string text = tool_result_text(tool, cwd_, terminals_);
  const bool failed = tool.status == "failed";
  if (text.empty()) text = failed ? "failed" : "done";
  m_.tool_result(text, failed, tool.index);
}

ToolCallState& SessionView::tool_for_permission(const Json& tool_call) {
  const std::string id = string_field(tool_call, "toolCallId");
  ToolCallState& tool = tools_[id];
  turn_tools_.insert(id);
  tool.merge(tool_call);
  if (live_) {
    send_live(tool);
  } else if (tool.index < 0) {
    show_header(tool);
  }
  return tool;
}

// Whether a terminal of the call may still write: it has one that has not exited (or, before
// the call has finished, one not created yet).
bool SessionView::terminals_running(const ToolCallState& tool) const {
  bool has_terminal = false;
  for (const Json& item : tool.content) {
    if (!item.is_object() || string_field(item, "type") != "terminal") continue;
    has_terminal = true;
    if (terminals_ == nullptr) continue;
    const auto snap = terminals_->snapshot(string_field(item, "terminalId"));
    if (snap && !snap->exit) return true;
  }
  return has_terminal && !tool.finished();
}

void SessionView::send_live(ToolCallState& tool) {
  out_->finish_thinking();
  std::string result = tool_result_text(tool, cwd_, terminals_);
  const bool failed = tool.status == "failed";
  if (result.empty() && tool.finished()) result = failed ? "failed" : "done";
  if (terminals_running(tool)) {
    watching_.insert(tool.id);
  } else {
    watching_.erase(tool.id);
  }
  const bool first = !tool.live_shown;
  tool.live_shown = true;
  tool.live_result = result;
  m_._emit_event("tool_call", {{"id", tool.id},
                               {"name", std::string(tool_name_for_kind(tool.kind))},
                               {"args", tool_summary(tool)},
                               {"status", tool.status},
                               {"result", std::move(result)},
                               {"error", failed ? "true" : "false"},
                               {"first", first ? "true" : "false"}});
}

void SessionView::refresh_terminals() {
  const std::set<std::string> ids = watching_;
  for (const std::string& id : ids) {
    const auto it = tools_.find(id);
    if (it == tools_.end()) {
      watching_.erase(id);
      continue;
    }
    ToolCallState& tool = it->second;
    std::string result = tool_result_text(tool, cwd_, terminals_);
    if (result.empty() && tool.finished()) result = tool.status == "failed" ? "failed" : "done";
    if (result != tool.live_result) {
      send_live(tool);
    } else if (!terminals_running(tool)) {
      watching_.erase(id);
    }
  }
}

// A tool call's diff is drawn with its result (or, live, as it changes), whether it finishes
// before or after the agent writes the file; any call of this turn counts, as agents write
// both while the call runs and after they report it done.
void SessionView::show_write(const std::filesystem::path& file, std::string_view shown,
                             const std::optional<std::string>& before, std::string_view after) {
  for (const std::string& id : turn_tools_) {
    const auto it = tools_.find(id);
    if (it != tools_.end() && tool_shows_change(it->second, file, cwd_, before, after)) return;
  }
  show_entry(before ? "edit_file" : "write_file", shown, unified_diff(shown, before, after), false);
}

void SessionView::show_entry(std::string_view name, std::string_view args, std::string_view result,
                             bool error) {
  out_->finish_thinking();
  const int index = m_.log_tool(name, args);
  m_.tool_result(result, error, index);
}

void SessionView::show_plan(const Json& entries) {
  if (!entries.is_array()) return;
  if (live_) {
    std::vector<events::PlanEntry> plan;
    for (const Json& e : entries) {
      if (!e.is_object()) continue;
      plan.push_back(
          {string_field(e, "content"), string_field(e, "status"), string_field(e, "priority")});
    }
    out_->finish_thinking();
    m_._emit_event("plan", {{"entries", events::encode_plan(plan)}});
    return;
  }
  std::string text;
  for (const Json& e : entries) {
    if (!e.is_object()) continue;
    if (!text.empty()) text += '\n';
    text += std::string(plan_mark(string_field(e, "status"))) + " " + string_field(e, "content");
    if (string_field(e, "priority") == "high") text += " (high priority)";
  }
  show_entry("Plan", "", text.empty() ? "(empty)" : text, false);
}

}  // namespace host::acp
