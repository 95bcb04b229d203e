#pragma once
// The output manager's record of the current turn.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zell::output {

// Output phases, numbered from 1. Only `stream` and `end_answer` read the phase; every other
// operation sets it and accepts any phase.
enum class Phase : std::uint8_t {
  IDLE = 1,
  THINKING = 2,
  TOOL_CALL = 3,  // set when a tool call or a line ends the answer's paragraph
  STREAMING = 4,
  DONE = 5,
  ERROR = 6,
};

// One tool call of the turn; its index is its position in `OutputState::tool_actions`.
struct ToolAction {
  std::string name;
  std::string args;                // the whole argument text, not shortened
  std::string status = "running";  // then "done" or "error"
  std::string result;              // after noise filtering, whole
};

struct OutputState {
  Phase phase = Phase::IDLE;
  double start_time = 0.0;    // wall-clock seconds since the epoch; set by a reset start only
  std::string thinking_peek;  // at most 120 characters
  long long tokens = 0;       // running estimate: max(1, characters / 4) per chunk
  std::vector<ToolAction> tool_actions;
  std::vector<std::string> content_chunks;  // every streamed answer chunk, whole
  std::string error;
};

// The token estimate of one thinking or answer chunk: a quarter of its characters, at least 1.
[[nodiscard]] inline long long estimate_tokens(std::size_t chars) noexcept {
  return std::max<long long>(1, static_cast<long long>(chars / 4));
}

}  // namespace zell::output
