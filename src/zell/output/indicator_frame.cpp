#include "zell/output/indicator_frame.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>

#include "unicode/text_ops.h"
#include "zell/output/output_manager.h"

namespace zell::output::indicator {

namespace {

// Whole seconds as a truncating integer conversion would give them, kept in range for any
// clock value (a wall clock that jumps cannot make the conversion undefined).
long long whole_seconds(double elapsed) {
  if (!(std::fabs(elapsed) < 9.0e18)) return 0;
  return static_cast<long long>(elapsed);
}

long long floor_div(long long a, long long b) {
  const long long q = a / b;
  return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}

long long floor_mod(long long a, long long b) {
  return a - floor_div(a, b) * b;
}

}  // namespace

std::string format_timer(double elapsed) {
  if (elapsed < 60) return fmt::format("{:.0f}s", elapsed);
  if (!(elapsed < 9.0e18)) elapsed = 0;  // unreachable for a sane clock; keeps the casts defined
  const auto minutes = static_cast<long long>(std::floor(elapsed / 60));
  const auto seconds = static_cast<int>(std::floor(std::fmod(elapsed, 60)));
  return fmt::format("{}m{:02d}s", minutes, seconds);
}

std::string_view rotating_label(double elapsed) {
  const long long slot = floor_mod(floor_div(whole_seconds(elapsed), 6), 9);
  return OutputManager::LABELS[static_cast<std::size_t>(slot)];
}

std::string rule(long long cols) {
  const long long dashes = std::max(24LL, std::min(cols - 4, 96LL));
  std::string out = "  ";
  out.reserve(2 + 3 * static_cast<std::size_t>(dashes));
  for (long long i = 0; i < dashes; ++i) out += "─";
  return out;
}

std::string status_text(long long tick, double elapsed, std::string_view stage) {
  const std::string_view glyph = OutputManager::ICONS[static_cast<std::size_t>(floor_mod(tick, 3))];
  const std::string label =
      stage.empty() ? std::string(rotating_label(elapsed)) : unicode::visible_controls(stage);
  const std::string_view hint = elapsed > 10 ? " · ctrl+c to stop" : "";
  return fmt::format("\x1b[32m {} {}... ({})\x1b[0m{}", glyph, label, format_timer(elapsed), hint);
}

std::vector<std::string> frame_writes(const FrameInputs& in) {
  const std::string line_rule = "\n\x1b[2m" + rule(in.cols) + "\x1b[0m\x1b[K";
  std::vector<std::string> writes;
  writes.reserve(7);
  std::string status = "\r";
  status += status_text(in.tick, in.elapsed, in.custom_stage);
  status += "\x1b[K";
  writes.push_back(std::move(status));
  writes.push_back(line_rule);
  if (in.queued > 0) {
    writes.push_back(fmt::format("\n  › \x1b[2m({} queued)\x1b[0m\x1b[K", in.queued));
  } else if (!in.typed.empty()) {
    writes.push_back("\n  › " + unicode::visible_controls(in.typed) + "\x1b[K");
  } else {
    writes.push_back("\n\x1b[2m  › \x1b[0m\x1b[K");
  }
  writes.push_back(line_rule);
  if (!in.status_line.empty()) {
    writes.push_back("\n\x1b[2m  " + unicode::visible_controls(in.status_line) + "\x1b[0m\x1b[K");
  }
  writes.push_back("\x1b[?25l");
  writes.push_back(in.status_line.empty() ? "\x1b[3A\r" : "\x1b[4A\r");
  return writes;
}

}  // namespace zell::output::indicator
