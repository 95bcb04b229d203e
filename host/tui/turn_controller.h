#pragma once
// The turn logic of the chat screen, apart from any widget: which prompt runs, which wait in
// the queue, whether the agent is busy or being interrupted, and the approval question it
// asks. The screen draws; the controller decides, through the hooks it is given.
//
// Queued prompts run one after another. After Ctrl+C stops a turn, the prompts queued while
// it ran are held: they wait, shown as queued, until the user sends again (Enter, on an empty
// prompt or with a new prompt, which joins the end of the queue).
//
// An answer key counts only when the question has been on screen for ANSWER_DELAY seconds and
// the key does not belong to a burst of typing (a key or paste less than BURST_GAP seconds
// before it), so that type-ahead or a paste never answers a question the user has not read.

#include <chrono>
#include <cstddef>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/agent/pending_turn.h"

namespace host::tui {

class TurnController {
 public:
  using Clock = std::chrono::steady_clock;
  // An approval question. Without options it is a yes/no question: 1 allows, 2 denies.
  struct Question {
    std::string tool;
    std::string command;
    std::vector<std::string> options;
    Clock::time_point opened;

    [[nodiscard]] std::size_t answers() const { return options.empty() ? 2 : options.size(); }
  };
  static constexpr std::chrono::milliseconds ANSWER_DELAY{500};
  static constexpr std::chrono::milliseconds BURST_GAP{400};

  struct Hooks {
    // Shows the prompt (when it is to be shown) and starts the turn on the agent.
    std::function<void(const PendingTurn&)> start;
    // Asks the running turn to stop.
    std::function<void()> interrupt;
    // Hands the user's answer to the waiting agent (and says it in the transcript): the index
    // of the chosen answer, or nullopt when the question was cancelled.
    std::function<void(std::optional<std::size_t> choice, const Question& question)> answer;
    // The next turn of the script, if any is left.
    std::function<std::optional<PendingTurn>()> next_scripted;
  };

  enum class Sent { started, queued, released, ignored };
  enum class CtrlC { interrupted, quit };

  explicit TurnController(Hooks hooks) : hooks_(std::move(hooks)) {}

  // The user sends `text`. While a turn runs it joins the queue; with held prompts waiting it
  // joins them (unless blank) and the queue starts; otherwise a blank prompt is ignored and
  // any other starts at once.
  Sent send(std::string_view text);
  // Starts the next queued prompt or script turn, unless busy or holding.
  void run_next();
  // Starts `turn` now, ahead of the queue (held prompts stay held); false when busy.
  bool run_first(PendingTurn turn);
  // The agent has returned from its turn; with `hold`, the prompts queued meanwhile wait for
  // the user to send again (they were meant for what the turn failed to do).
  void finished(bool hold = false);

  void question_opened(Question question);
  // A key or a paste reached the prompt field at `now`.
  void typed(Clock::time_point now) { last_typed_ = now; }
  // Whether the key for answer `choice` (0 for the key 1), pressed at `now`, answers the open
  // question (see the top): it must name one of its answers.
  [[nodiscard]] bool answer_counts(std::size_t choice, Clock::time_point now) const;
  // Answers the open question, if any, with answer `choice`, or cancels it (nullopt).
  void answer(std::optional<std::size_t> choice);

  // Ctrl+C: interrupts a running turn (a second Ctrl+C while it stops quits), else quits. An
  // open question is cancelled.
  CtrlC interrupt_or_quit();

  [[nodiscard]] bool busy() const { return busy_; }
  [[nodiscard]] bool interrupting() const { return interrupting_; }
  [[nodiscard]] std::size_t queued() const { return queue_.size(); }
  // Queued prompts wait for the user to send again (after an interrupt).
  [[nodiscard]] bool holding() const { return holding_ && !queue_.empty(); }
  [[nodiscard]] const std::optional<Question>& question() const { return question_; }

 private:
  void run(PendingTurn turn);

  Hooks hooks_;
  std::deque<PendingTurn> queue_;
  bool busy_ = false;
  bool interrupting_ = false;
  bool holding_ = false;
  std::optional<Question> question_;
  std::optional<Clock::time_point> last_typed_;
};

}  // namespace host::tui
