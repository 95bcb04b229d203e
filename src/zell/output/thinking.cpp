// The thinking phase: start, chunks, peek, the finished text, and the stage word. None of
// these write to the terminal; the indicator shows what they change.

#include "unicode/utf8.h"
#include "zell/output/output_manager.h"

namespace zell::output {

void OutputManager::start_thinking(bool reset) {
  {
    const std::lock_guard guard(_lock);
    state.phase = Phase::THINKING;
    _custom_stage.clear();
    state.thinking_peek.clear();
    if (reset) {
      state.start_time = _ports.clock();
      state.tokens = 0;
      state.tool_actions.clear();
      state.content_chunks.clear();
    }
  }
  _emit_event("thinking_start", {{"reset", reset ? "true" : "false"}});
  _start_indicator();
}

void OutputManager::feed_thinking(std::string_view chunk) {
  long long tokens = 0;
  {
    const std::lock_guard guard(_lock);
    state.tokens += estimate_tokens(unicode::cp_count(chunk));
    tokens = state.tokens;
  }
  // The running count goes along, so that a listener shows it rather than counting again.
  _emit_lazy("thinking_chunk", [&] {
    return Payload{{"chunk", unicode::cp_prefix(chunk, 2000)}, {"tokens", std::to_string(tokens)}};
  });
}

void OutputManager::set_thinking_peek(std::string_view text) {
  std::string peek = unicode::cp_prefix(text, 120);
  {
    const std::lock_guard guard(_lock);
    state.thinking_peek = peek;
  }
  _emit_event("thinking_peek", {{"text", std::move(peek)}});
}

void OutputManager::thinking_done(std::string_view full_text) {
  {
    const std::lock_guard guard(_lock);
    _last_thinking_text = std::string(full_text);
  }
  _emit_lazy("thinking_done", [&] {
    return Payload{{"text", unicode::cp_prefix(full_text, 8000)}};
  });
}

void OutputManager::set_stage(std::string_view stage) {
  {
    const std::lock_guard guard(_lock);
    _custom_stage = std::string(stage);
  }
  _emit_lazy("stage", [&] { return Payload{{"stage", unicode::cp_prefix(stage, 120)}}; });
}

}  // namespace zell::output
