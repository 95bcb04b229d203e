#pragma once
// The working indicator's frame, composed apart from the thread that draws it.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace zell::output::indicator {

// "3s" under a minute (rounded half to even: 2.5 → 2s, 59.6 → 60s), else "1m15s" (no hours).
[[nodiscard]] std::string format_timer(double elapsed);

// The rotating stage word for the elapsed time: one of the manager's LABELS per six seconds.
[[nodiscard]] std::string_view rotating_label(double elapsed);

// "  " and max(24, min(cols − 4, 96)) dashes.
[[nodiscard]] std::string rule(long long cols);

// Green status text: glyph for `tick`, label (custom stage when non-empty), timer, and the
// ctrl+c hint after ten seconds.
[[nodiscard]] std::string status_text(long long tick, double elapsed, std::string_view stage);

struct FrameInputs {
  long long tick = 1;
  double elapsed = 0.0;
  std::string_view custom_stage;
  std::string_view typed;  // typed-ahead text
  std::size_t queued = 0;  // prompts waiting in the host's queue
  long long cols = 80;
  std::string_view status_line;
};

// The frame's writes, in order, each to be written on its own. Agent- and user-supplied texts
// (stage, typed text, status line) are shown with their controls made visible. The cursor ends
// at the first column of the status line.
[[nodiscard]] std::vector<std::string> frame_writes(const FrameInputs& in);

}  // namespace zell::output::indicator
