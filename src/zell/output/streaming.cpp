// The answer block: opening it, and streaming chunks into it with soft wrapping.

#include <algorithm>
#include <cstdint>
#include <cstring>

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

namespace {

bool printable_ascii(unsigned char byte) {
  return byte >= 0x20 && byte < 0x7f;
}

// Whether all eight bytes of `w` are printable ASCII (0x20..0x7e): no high bit, no byte below
// 0x20, no DEL. Lets the common case scan a word at a time.
bool printable_ascii8(std::uint64_t w) {
  constexpr std::uint64_t ones = 0x0101010101010101ULL;
  constexpr std::uint64_t highs = 0x8080808080808080ULL;
  const std::uint64_t below_space = (w - 0x20 * ones) & ~w & highs;
  const std::uint64_t del = w ^ (0x7f * ones);
  const std::uint64_t is_del = (del - ones) & ~del & highs;
  return ((w & highs) | below_space | is_del) == 0;
}

// Length of the run of printable ASCII at the start of `s`, at most `limit` (<= s.size()).
std::size_t printable_run(std::string_view s, std::size_t limit) {
  std::size_t run = 0;
  while (run + 8 <= limit) {
    std::uint64_t w = 0;
    std::memcpy(&w, s.data() + run, 8);
    if (!printable_ascii8(w)) break;
    run += 8;
  }
  while (run < limit && printable_ascii(static_cast<unsigned char>(s[run]))) ++run;
  return run;
}

}  // namespace

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
    if (printable_ascii(byte)) {
      // The common case: copy a run of printable ASCII up to the column limit in one go.
      const long long room = wrap_at > col ? wrap_at - col : 1;
      const std::size_t limit = std::min(chunk.size() - pos, static_cast<std::size_t>(room));
      const std::size_t run = printable_run(chunk.substr(pos), limit);
      out.append(chunk.data() + pos, run);
      pos += run;
      chars += run;
      col += static_cast<long long>(run);
      continue;
    }
    const unicode::Decoded d = unicode::decode_at(chunk, pos);
    append_visible(out, d.cp, chunk.substr(pos, d.len));
    pos += d.len;
    ++chars;
    ++col;
  }
  return chars;
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
  // reaches is kept only once the "content" event is delivered, so an interrupt raised there
  // leaves the column where this chunk found it.
  const long long wrap_at = static_cast<long long>(_ports.cols()) - 1;
  long long col = _col_pos;
  const std::size_t chars = _wrap_chunk(chunk, wrap_at, col);
  std::shared_ptr<const EventCallback> callback;
  {
    const std::lock_guard guard(_lock);
    state.content_chunks.emplace_back(chunk);
    state.tokens += estimate_tokens(chars);
    callback = _event_callback;  // taken here to spare this hot path a second lock
  }
  if (callback) {
    _deliver(*callback, "content",
             Payload{{"chunk", unicode::cp_prefix(chunk, 2000)}, {"chars", std::to_string(chars)}});
  }
  _col_pos = col;
  _write(_stream_buffer);
  _flush();
}

}  // namespace zell::output
