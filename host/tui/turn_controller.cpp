#include "host/tui/turn_controller.h"

#include "unicode/text_ops.h"

namespace host::tui {

TurnController::Sent TurnController::send(std::string_view text) {
  const bool blank = unicode::is_blank(text);
  if (!blank) {
    PendingTurn turn{std::string(text), true, nullptr};
    if (busy_ || holding()) {
      queue_.push_back(std::move(turn));
      if (busy_) return Sent::queued;
    } else {
      run(std::move(turn));
      return Sent::started;
    }
  }
  if (busy_ || !holding()) return Sent::ignored;
  holding_ = false;
  run_next();
  return Sent::released;
}

void TurnController::run(PendingTurn turn) {
  busy_ = true;
  interrupting_ = false;
  hooks_.start(turn);
}

void TurnController::run_next() {
  if (busy_ || holding()) return;
  holding_ = false;
  if (!queue_.empty()) {
    PendingTurn next = std::move(queue_.front());
    queue_.pop_front();
    run(std::move(next));
  } else if (hooks_.next_scripted) {
    if (auto scripted = hooks_.next_scripted()) run(std::move(*scripted));
  }
}

bool TurnController::run_first(PendingTurn turn) {
  if (busy_) return false;
  run(std::move(turn));
  return true;
}

void TurnController::finished(bool hold) {
  busy_ = false;
  if (hold) holding_ = true;
  interrupting_ = false;
  question_.reset();  // the agent is gone: nobody waits for an answer
  run_next();
}

void TurnController::question_opened(Question question) {
  question_ = std::move(question);
}

bool TurnController::answer_counts(std::size_t choice, Clock::time_point now) const {
  if (!question_ || choice >= question_->answers()) return false;
  if (now - question_->opened < ANSWER_DELAY) return false;
  return !last_typed_ || now - *last_typed_ >= BURST_GAP;
}

void TurnController::answer(std::optional<std::size_t> choice) {
  if (!question_) return;
  const Question asked = std::move(*question_);
  question_.reset();
  hooks_.answer(choice, asked);
}

TurnController::CtrlC TurnController::interrupt_or_quit() {
  // A second Ctrl+C does not wait for the agent's next step.
  if (!busy_ || interrupting_) return CtrlC::quit;
  interrupting_ = true;
  holding_ = true;
  answer(std::nullopt);
  hooks_.interrupt();
  return CtrlC::interrupted;
}

}  // namespace host::tui
