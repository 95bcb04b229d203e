#pragma once
// The chat screen: the transcript filling the screen, a status line while the agent works,
// and the prompt field at the bottom. It shows the agent's events through the transcript's
// operations and the turn controller's decisions (queue, interrupt, approval) on screen.
//
// Keys: Enter sends the prompt (queued while a turn runs; on an empty prompt it sends the
// prompts held after an interrupt); a prompt that is a slash command runs it (/help, /clear,
// /mode, /export, /quit, or the agent's own, sent as typed; an unknown one is refused: /clear
// runs like a turn while the agent starts the new conversation, prompts sent meanwhile queue
// for it and Ctrl+C stops it); while an approval question is open, 1 allows and 2 denies (or,
// when the agent offers its own answers, the number of an answer chooses it) once the question
// has been on screen a moment and the key is not part of a burst of typing (otherwise the key
// is typed into the prompt like any other); Page Up/Down, Ctrl+Home/End, Shift+Up/Down, the wheel,
// and Home/End while the prompt is empty scroll the transcript (Up/Down belong to the prompt: its
// rows and its history); Ctrl+F opens the transcript's search (search_bar.h), which takes the keys
// until Escape gives them back to the prompt ("/" stays the start of a slash command); Ctrl+C stops
// a running turn (drawn stopped with the key, see StoppedTurn), or quits when there is none. These
// screen keys are priority bindings: they are taken before the prompt field sees them.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/agent/agent_events.h"
#include "host/agent/pending_turn.h"
#include "host/tui/live_entries.h"
#include "host/tui/prompt_commands.h"
#include "host/tui/prompt_history.h"
#include "host/tui/stopped_turn.h"
#include "host/tui/turn_controller.h"
#include "host/tui/turn_finished.h"
#include "host/tui/turn_tracker.h"
#include "termui/screen.h"
#include "termui/timers.h"
#include "zell/tui/bridge/messages.h"

namespace host::tui {

class VellumineTUI;
class ChatLog;
class ChatInput;
class StatusLine;
class PromptPopup;
class SearchBar;

class ChatScreen : public termui::Screen {
 public:
  static constexpr std::string_view DEFAULT_CSS =
      "ChatScreen { layout: vertical; } #chat-input { padding: 0 1; }";
  // Seconds between two redraws of the status line while a turn runs.
  static constexpr double TICK_SECONDS = 0.5;

  explicit ChatScreen(VellumineTUI& app);

  [[nodiscard]] std::vector<std::string_view> css_sources() const override {
    return {DEFAULT_CSS, Screen::DEFAULT_CSS};
  }
  [[nodiscard]] const std::vector<termui::Binding>& bindings() const override;
  bool check_action(std::string_view name) override;

  std::vector<std::unique_ptr<termui::Widget>> compose() override;
  void on_mount() override;

  // ---- what the application hands over (UI thread) ----
  void on_agent_event(const events::TypedEvent& event);
  void on_approval_request(const zell::tui::ApprovalRequest& request);
  void on_turn_finished(const TurnFinished& finished);
  // The files "@" completes from have been listed.
  void on_files_listed();
  // A prompt as if typed and sent.
  void submit(std::string_view text);

  // ---- state, for the status line and for tests ----
  [[nodiscard]] bool busy() const { return turns_.busy(); }
  [[nodiscard]] std::size_t queued() const { return turns_.queued(); }
  [[nodiscard]] bool holding() const { return turns_.holding(); }
  [[nodiscard]] bool approval_open() const { return turns_.question().has_value(); }
  // /clear is waiting for the agent to start the new conversation.
  [[nodiscard]] bool starting_conversation() const { return clearing_since_.has_value(); }
  [[nodiscard]] ChatLog& log() { return *log_; }
  [[nodiscard]] StatusLine& status() { return *status_; }
  [[nodiscard]] ChatInput& input() { return *input_; }
  [[nodiscard]] PromptPopup& popup() { return *popup_; }
  [[nodiscard]] SearchBar& search_bar() { return *search_; }

 private:
  void start(const PendingTurn& turn);
  void conversation_started(const TurnFinished& finished);
  void answered(std::optional<std::size_t> choice, const TurnController::Question& question);
  // Closes the answer streaming, if one is: drawn whole (as Markdown when it has markers), so
  // that an item added next goes below it and the agent's next words start a new answer.
  void end_answer_part();
  void interrupt_or_quit();
  void refresh_status();
  // A slash command typed as a prompt; false when it is the agent's, to be sent as typed.
  bool run_command(const CommandLine& command);
  void show_help();
  void edit_externally();
  // The agent's commands: asked of it between turns, remembered while a turn runs.
  const std::vector<SlashCommand>& agent_commands();

  VellumineTUI& app_;
  ChatLog* log_ = nullptr;
  StatusLine* status_ = nullptr;
  ChatInput* input_ = nullptr;
  PromptPopup* popup_ = nullptr;
  SearchBar* search_ = nullptr;
  PromptHistory history_;
  std::vector<SlashCommand> agent_commands_;

  TurnController turns_;
  // A turn stopped by Ctrl+C is shown stopped at once; what it still sends is judged here.
  StoppedTurn stopped_;
  LiveEntries live_;
  // Set when the agent said "done": the elapsed time its summary line shows at the turn's end.
  std::optional<double> summary_elapsed_;
  // When /clear handed the start of a new conversation to the agent, until it has answered.
  std::optional<TurnTracker::Clock::time_point> clearing_since_;
  TurnTracker turn_;
  termui::Timer ticker_;
  long long tick_ = 0;
};

}  // namespace host::tui
