#pragma once
// Turns the bytes a terminal sends into key, mouse and paste events. Bytes may arrive split
// anywhere: an unfinished escape sequence, UTF-8 character or paste is held until the rest
// comes. A lone ESC cannot be told apart from the start of a sequence, so it is held for
// ESC_TIMEOUT and then reported as the escape key by `flush`.

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "styled/color.h"
#include "termui/events.h"

namespace termui {

// An X11 colour value as terminals answer colour queries ("rgb:ffff/ffff/ffff", 1 to 4 hex
// digits a component; "rgba:" with a fourth ignored); nothing for any other form.
[[nodiscard]] std::optional<styled::Color> parse_x11_color(std::string_view value);

class InputParser {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr std::chrono::milliseconds ESC_TIMEOUT{50};
  // A paste whose end marker has not come after this long without bytes is delivered as it
  // is, so that a stray paste-start sequence cannot swallow every key typed after it.
  static constexpr std::chrono::milliseconds PASTE_TIMEOUT{1000};

  // Parses `bytes` after whatever is held; returns the events completed by them.
  std::vector<InputEvent> feed(std::string_view bytes, Clock::time_point now = Clock::now());

  // Resolves held bytes once ESC_TIMEOUT has passed since they arrived (or at once when
  // `force`): a lone ESC becomes the escape key, an unfinished sequence is dropped, an
  // unfinished UTF-8 character becomes U+FFFD. A paste in progress is kept until
  // PASTE_TIMEOUT has passed since the last bytes (or `force`), then delivered unfinished.
  std::vector<InputEvent> flush(Clock::time_point now = Clock::now(), bool force = false);

  // When `flush` has something to resolve: the moment held bytes time out.
  [[nodiscard]] std::optional<Clock::time_point> deadline() const;

  // The terminal's replies to mode queries (DECRPM, CSI ? mode ; value $ y) parsed since the
  // last call; they are never delivered as keys.
  struct ModeReport {
    int mode;
    int value;
  };
  [[nodiscard]] std::vector<ModeReport> take_mode_reports() { return std::move(mode_reports_); }
  // The terminal's answer to the keyboard protocol query (CSI ? flags u), once: the terminal
  // speaks the kitty keyboard protocol.
  [[nodiscard]] std::optional<int> take_keyboard_protocol() {
    return std::exchange(kitty_flags_, {});
  }

  // What the terminal says about itself rather than what the user types, parsed since the
  // last call and never delivered as keys: focus gained or lost (mode 1004: CSI I, CSI O) and
  // the answer to a background colour query (OSC 11 ; rgb:R/G/B).
  struct TerminalReport {
    enum class Kind { focus_in, focus_out, background };
    Kind kind;
    styled::Color color;  // for `background`
  };
  [[nodiscard]] std::vector<TerminalReport> take_terminal_reports() {
    return std::move(terminal_reports_);
  }

 private:
  enum class Step { done, incomplete };
  void parse(std::vector<InputEvent>& out, bool force);
  Step parse_escape(std::vector<InputEvent>& out, bool force);
  Step parse_csi(std::vector<InputEvent>& out, bool force);
  Step parse_osc(std::vector<InputEvent>& out, bool force);
  Step parse_text(std::vector<InputEvent>& out, bool force, bool alt);
  void parse_paste(std::vector<InputEvent>& out);

  std::string buf_;
  std::size_t pos_ = 0;
  bool in_paste_ = false;
  std::string paste_;
  Clock::time_point held_since_{};
  Clock::time_point last_bytes_{};
  std::vector<ModeReport> mode_reports_;
  std::optional<int> kitty_flags_;
  std::vector<TerminalReport> terminal_reports_;
};

}  // namespace termui
