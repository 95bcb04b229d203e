#pragma once
// The chat screen: the transcript filling the screen, a status line while the agent works,
// and the prompt field at the bottom. It pairs the agent's events with the transcript's
// operations, keeps the prompts typed while a turn runs in a queue, asks the user about
// approvals, and interrupts or quits on Ctrl+C.
//
// Keys: Enter sends the prompt (queued while a turn runs); while an approval question is
// open, 1 allows and 2 denies and other keys are ignored; Page Up/Down, Home/End, Up/Down and
// the wheel scroll the transcript (Ctrl+A/Ctrl+E move to the ends of the prompt); Ctrl+C stops
// a running turn, or quits when there is none.

#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/tui/pending_turn.h"
#include "host/tui/turn_tracker.h"
#include "termui/screen.h"
#include "termui/timers.h"
#include "zell/tui/bridge/messages.h"

namespace host::tui {

class VellumineTUI;
class ChatLog;
class ChatInput;
class StatusLine;

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

  std::vector<std::unique_ptr<termui::Widget>> compose() override;
  void on_mount() override;

  // ---- what the application hands over (UI thread) ----
  void on_agent_event(const zell::tui::AgentEvent& event);
  void on_approval_request(const zell::tui::ApprovalRequest& request);
  void on_turn_finished(const TurnFinished& finished);
  // A prompt as if typed and sent.
  void submit(std::string_view text);

  // ---- state, for the status line and for tests ----
  [[nodiscard]] bool busy() const { return busy_; }
  [[nodiscard]] std::size_t queued() const { return queue_.size(); }
  [[nodiscard]] bool approval_open() const { return question_.has_value(); }
  [[nodiscard]] ChatLog& log() { return *log_; }
  [[nodiscard]] StatusLine& status() { return *status_; }
  [[nodiscard]] ChatInput& input() { return *input_; }

 private:
  struct Question {
    std::string tool;
    std::string command;
  };

  bool gate_key(const termui::KeyEvent& key);
  void run(PendingTurn turn);
  void run_next();
  void answer(bool approved);
  void interrupt_or_quit();
  void refresh_status();

  VellumineTUI& app_;
  ChatLog* log_ = nullptr;
  StatusLine* status_ = nullptr;
  ChatInput* input_ = nullptr;

  std::deque<PendingTurn> queue_;
  bool busy_ = false;
  bool interrupting_ = false;
  // Set when the agent said "done": the elapsed time its summary line shows at the turn's end.
  std::optional<double> summary_elapsed_;
  std::optional<Question> question_;
  TurnTracker turn_;
  termui::Timer ticker_;
  long long tick_ = 0;
};

}  // namespace host::tui
