// The answer block: opening it, and streaming chunks into it with soft wrapping.

#include "unicode/utf8.h"
#include "zell/output/output_manager.h"
#include "zell/output/visible.h"

namespace zell::output {

void OutputManager::start_streaming() {
  _stop_indicator();
  {
    const std::lock_guard guard(_lock);
    state.phase = Phase::STREAMING;
    _custom_stage.clear();
  }
  _emit_event("stream_start");
  _write("\r\x1b[K\n\n  ");
  _flush();
}

void OutputManager::stream(std::string_view chunk) {
  // Only this thread writes the phase, so reading it without the lock is race-free.
  if (state.phase != Phase::STREAMING) {
    start_streaming();
    _col_pos = 2;
  }
  const std::size_t chars = unicode::cp_count(chunk);
  {
    const std::lock_guard guard(_lock);
    state.content_chunks.emplace_back(chunk);
    state.tokens += estimate_tokens(chars);
  }
  _emit_lazy("content", [&] {
    return Payload{{"chunk", unicode::cp_prefix(chunk, 2000)}, {"chars", std::to_string(chars)}};
  });

  // A hard break at the column limit: every character but a line feed takes one column, and
  // the last terminal column stays empty. The position carries over to the next chunk.
  const long long wrap_at = static_cast<long long>(_ports.cols()) - 1;
  std::string out;
  out.reserve(chunk.size() + chunk.size() / 8 + 8);
  unicode::for_each_cp(chunk, [&](char32_t cp, std::size_t offset, std::size_t len) {
    if (cp == U'\n') {
      out += "\n  ";
      _col_pos = 2;
      return;
    }
    if (_col_pos >= wrap_at) {
      out += "\n  ";
      _col_pos = 2;
    }
    append_visible(out, cp, chunk.substr(offset, len));
    ++_col_pos;
  });
  _write(out);
  _flush();
}

}  // namespace zell::output
