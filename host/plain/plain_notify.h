#pragma once
// Calling the user back in the plain presentation: a notification (OSC 9, OSC 777 or the bell,
// as the [ui] notify setting says) when a long turn ends or asks a question.
//
// The full screen raises one only while the terminal reports that it is not focused. The plain
// presentation cannot learn that: focus reports arrive on standard input, mixed with what the
// user types ahead during a turn, and reading them then would take that text from the line
// editor. So it judges by time instead: a user who has waited LONG_TURN for an answer has
// likely turned to something else; one who asked a moment ago is still reading along.

#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "host/runtime/http_agent.h"
#include "termui/notification.h"
#include "zell/output/terminal.h"

namespace host {

inline constexpr std::chrono::seconds LONG_TURN{10};

// The method for the setting's word ("auto", "bell" or "off"); `off` when standard output is
// not a terminal (the sequence would land in a file or a pipe).
[[nodiscard]] termui::NotifyMethod plain_notify_method(
    std::string_view setting, bool stdout_is_terminal,
    const std::function<const char*(const char*)>& getenv = [](const char* n) {
      return std::getenv(n);
    });

class PlainNotifier {
 public:
  using Clock = std::function<std::chrono::steady_clock::time_point()>;
  using Ask = std::function<runtime::TurnEnd(const std::string&)>;

  PlainNotifier(termui::NotifyMethod method, std::shared_ptr<zell::output::Writer> out,
                Clock clock = std::chrono::steady_clock::now);

  // `ask` timed: a turn that ran LONG_TURN or more and ended by itself (not by Ctrl+C: the user
  // is there) raises "turn finished" or "turn failed" after it.
  [[nodiscard]] Ask timing(Ask ask);

  // A question for the user (an approval) in the turn being timed: raised when the turn has
  // run LONG_TURN or more. Safe from any thread.
  void question_asked(std::string_view what);
  // The user answered it: they were there just now, so the turn is timed from here on.
  void question_answered();

 private:
  [[nodiscard]] bool turn_is_long() const;
  void raise(std::string_view what);

  termui::NotifyMethod method_;
  std::shared_ptr<zell::output::Writer> out_;
  Clock clock_;
  mutable std::mutex mutex_;
  std::chrono::steady_clock::time_point turn_start_;
  bool in_turn_ = false;
};

}  // namespace host
