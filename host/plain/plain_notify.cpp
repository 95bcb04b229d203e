#include "host/plain/plain_notify.h"

#include <utility>

namespace host {

termui::NotifyMethod plain_notify_method(std::string_view setting, bool stdout_is_terminal,
                                         const std::function<const char*(const char*)>& getenv) {
  if (!stdout_is_terminal) return termui::NotifyMethod::off;
  return termui::notify_method_named(setting).value_or(termui::detect_notify_method(getenv));
}

PlainNotifier::PlainNotifier(termui::NotifyMethod method, std::shared_ptr<zell::output::Writer> out,
                             Clock clock)
    : method_(method), out_(std::move(out)), clock_(std::move(clock)) {}

PlainNotifier::Ask PlainNotifier::timing(Ask ask) {
  return [this, ask = std::move(ask)](const std::string& text) {
    {
      const std::lock_guard lock(mutex_);
      turn_start_ = clock_();
      in_turn_ = true;
    }
    const runtime::TurnEnd end = ask(text);
    const bool long_turn = turn_is_long();
    {
      const std::lock_guard lock(mutex_);
      in_turn_ = false;
    }
    if (long_turn && end != runtime::TurnEnd::interrupted) {
      raise(end == runtime::TurnEnd::done ? "turn finished" : "turn failed");
    }
    return end;
  };
}

void PlainNotifier::question_asked(std::string_view what) {
  if (turn_is_long()) raise(what);
}

void PlainNotifier::question_answered() {
  const std::lock_guard lock(mutex_);
  turn_start_ = clock_();
}

bool PlainNotifier::turn_is_long() const {
  const std::lock_guard lock(mutex_);
  return in_turn_ && clock_() - turn_start_ >= LONG_TURN;
}

void PlainNotifier::raise(std::string_view what) {
  const std::string bytes = termui::notification_sequence(method_, "vellumine", what);
  if (bytes.empty()) return;
  out_->write(bytes);
  out_->flush();
}

}  // namespace host
