// The answer block: opening it, and streaming chunks into it with soft wrapping.

#include <algorithm>

#include "unicode/ascii_scan.h"
#include "unicode/text_ops.h"
#include "unicode/utf8.h"
#include "zell/output/output_manager.h"

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

bool OutputManager::end_answer() {
  if (state.phase != Phase::STREAMING) return false;
  {
    const std::lock_guard guard(_lock);
    state.phase = Phase::TOOL_CALL;
  }
  // A line the answer left empty (it ended with a line break) needs no other.
  if (_col_pos > 2) _write("\n");
  return true;
}

std::size_t OutputManager::_wrap_chunk(std::string_view chunk, long long wrap_at, long long& col) {
  std::string& out = _stream_buffer;  // reused: no allocation per chunk once it has grown
  out.clear();
  out.reserve(chunk.size() + chunk.size() / 8 + 8);
  std::size_t chars = 0;
  for (std::size_t pos = 0; pos < chunk.size();) {
    const auto byte = static_cast<unsigned char>(chunk[pos]);
    if (byte == '\n') {
      out += "\n  ";
      col = 2;
      ++pos;
      ++chars;
      continue;
    }
    if (col >= wrap_at) {
      out += "\n  ";
      col = 2;
    }
    if (byte >= 0x20 && byte < 0x7f) {
      // The common case: copy a run of printable ASCII up to the column limit in one go.
      const long long room = wrap_at > col ? wrap_at - col : 1;
      const std::size_t limit = std::min(chunk.size() - pos, static_cast<std::size_t>(room));
      const std::size_t run = unicode::ascii_run_end(chunk, pos, pos + limit, 0x20) - pos;
      out.append(chunk.data() + pos, run);
      pos += run;
      chars += run;
      col += static_cast<long long>(run);
      continue;
    }
    const unicode::Decoded d = unicode::decode_at(chunk, pos);
    unicode::append_visible(out, d.cp, chunk.substr(pos, d.len));
    pos += d.len;
    ++chars;
    ++col;
  }
  return chars;
}

void OutputManager::_emit_content(const EventCallback& callback, std::string_view chunk,
                                  long long tokens) {
  const std::string count = std::to_string(tokens);
  if (chunk.empty()) {
    _deliver(callback, "content", Payload{{"chunk", ""}, {"chars", "0"}, {"tokens", count}});
    return;
  }
  std::size_t start = 0;
  std::size_t chars = 0;
  for (std::size_t pos = 0; pos < chunk.size();) {
    pos += unicode::decode_at(chunk, pos).len;
    if (++chars == CONTENT_EVENT_CHARS || pos == chunk.size()) {
      _deliver(callback, "content",
               Payload{{"chunk", unicode::sanitize(chunk.substr(start, pos - start))},
                       {"chars", std::to_string(chars)},
                       {"tokens", count}});
      start = pos;
      chars = 0;
    }
  }
}

void OutputManager::stream(std::string_view chunk) {
  // Only this thread writes the phase, so reading it without the lock is race-free.
  if (state.phase != Phase::STREAMING) {
    start_streaming();
    _col_pos = 2;
  }
  // A hard break at the column limit: every character but a line feed takes one column, and
  // the last terminal column stays empty. The position carries over to the next chunk. The
  // wrapped text is built first because the same pass counts the characters; the column it
  // reaches is kept only once the "content" events are delivered, so an interrupt raised there
  // leaves the column where this chunk found it. A writer that discards everything (the full
  // screen's) is spared the wrapping.
  const bool shown = !_ports.out->discards();
  const long long wrap_at = static_cast<long long>(_ports.cols()) - 1;
  long long col = _col_pos;
  const std::size_t chars = shown ? _wrap_chunk(chunk, wrap_at, col) : unicode::cp_count(chunk);
  std::shared_ptr<const EventCallback> callback;
  long long tokens = 0;
  {
    const std::lock_guard guard(_lock);
    if (_ports.keep_chunks) state.content_chunks.emplace_back(chunk);
    state.tokens += estimate_tokens(chars);
    tokens = state.tokens;
    callback = _event_callback;  // taken here to spare this hot path a second lock
  }
  if (callback) _emit_content(*callback, chunk, tokens);
  if (!shown) return;
  _col_pos = col;
  _write(_stream_buffer);
  _flush();
}

}  // namespace zell::output
