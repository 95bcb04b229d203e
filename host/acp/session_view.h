#pragma once
// What a session's updates show through the output manager (one turn at a time, on the
// thread that drives the session): answer and thought chunks stream, tool calls are merged by
// their id and shown as a header when they start and their result when they finish, a plan as
// a block of its entries, the user's own message chunks as a line. Unknown update kinds and
// fields are ignored.
//
// Live (for a presentation that redraws items in place): each tool call is sent whole, as a
// "tool_call" event, whenever it changes, its terminals' output included while they run
// (`refresh_terminals`), and the plan as a "plan" event each time it comes.

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "host/acp/json_rpc.h"
#include "host/acp/tool_call_state.h"
#include "host/runtime/turn_output.h"
#include "zell/output/output_manager.h"

namespace host::acp {

class TerminalService;

struct AvailableCommand {
  std::string name;
  std::string description;
};

class SessionView {
 public:
  SessionView(zell::output::OutputManager& manager, std::filesystem::path cwd,
              const TerminalService* terminals, bool live = false);

  // A new turn: the previous turn's open output is forgotten (tool calls stay known by id).
  void begin_turn();
  // One `session/update` notification's `update` object.
  void apply(const Json& update);
  // An answer or thought chunk of text (what `apply` does with one, read ahead of the JSON).
  void apply_chunk(TextChunk::Kind kind, std::string_view text);
  // The user cancelled the turn: open thinking completes, and the rest of the turn's answer
  // and thinking is dropped (tool calls still change as the agent reports them).
  void cancel_turn();
  // The turn is over: open thinking completes, tool calls that finished get their results.
  void end_turn();
  // Live: whether a tool call shown has a terminal whose output may still grow.
  [[nodiscard]] bool watching_terminals() const { return !watching_.empty(); }
  // Live: sends again the tool calls whose terminals wrote more since they were last sent.
  void refresh_terminals();

  // A tool call by id, created (and its header shown) when a permission request is the first
  // the client hears of it.
  ToolCallState& tool_for_permission(const Json& tool_call);

  // Shows a file the client wrote for the agent as a diff (`shown` is its path as the header
  // says it), unless a tool call of this turn shows the same change already.
  void show_write(const std::filesystem::path& file, std::string_view shown,
                  const std::optional<std::string>& before, std::string_view after);

  // Shows a tool-like entry of the client's own: a header, then result lines.
  void show_entry(std::string_view name, std::string_view args, std::string_view result,
                  bool error);

  [[nodiscard]] const std::string& shown_answer() const { return out_->shown_answer(); }
  [[nodiscard]] std::optional<long long> tokens() const { return tokens_; }
  [[nodiscard]] const std::vector<AvailableCommand>& available_commands() const {
    return commands_;
  }

 private:
  void on_tool_call(const Json& update, bool is_new);
  void show_header(ToolCallState& tool);
  void show_result(ToolCallState& tool);
  void show_plan(const Json& entries);
  void flush_user_line();
  void send_live(ToolCallState& tool);
  [[nodiscard]] bool terminals_running(const ToolCallState& tool) const;

  zell::output::OutputManager& m_;
  std::filesystem::path cwd_;
  const TerminalService* terminals_;
  std::optional<runtime::TurnOutput> out_;  // one per turn
  std::map<std::string, ToolCallState> tools_;
  std::set<std::string> turn_tools_;  // the ids of the tool calls this turn has heard of
  std::optional<long long> tokens_;
  std::vector<AvailableCommand> commands_;
  std::string user_line_;
  bool live_;
  bool cancelled_ = false;          // this turn's answer is no longer shown
  std::set<std::string> watching_;  // live tool calls with a terminal still running
};

}  // namespace host::acp
