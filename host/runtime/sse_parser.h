#pragma once
// Server-sent events: the bytes of an event stream in, the data of each complete event out.
// Bytes may come split anywhere (inside a line, a line ending or a UTF-8 character); only whole
// events are handed on.

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace host::runtime {

class SseParser {
 public:
  // Receives the data of one event (its "data:" lines joined with "\n"); false stops the parser.
  using OnEvent = std::function<bool(std::string_view data)>;

  // An event larger than this is refused: a server that never ends an event must not be able
  // to fill the memory.
  static constexpr std::size_t kMaxEventBytes = 16 * 1024 * 1024;

  // `on_error` receives the value of an "error" field, which some servers send instead of a
  // data line to report a failure, when the event that holds it ends.
  explicit SseParser(OnEvent on_event, OnEvent on_error = {},
                     std::size_t max_event_bytes = kMaxEventBytes);

  // Parses `bytes`, handing on every event they complete. Returns false once the callback has
  // asked to stop or an event grew past the limit; later calls then do nothing.
  bool feed(std::string_view bytes);

  // True when bytes of an event that has not ended yet are waiting (a stream cut mid-event).
  [[nodiscard]] bool in_event() const noexcept {
    return !line_.empty() || has_data_ || !error_.empty();
  }
  [[nodiscard]] bool too_large() const noexcept { return too_large_; }
  // The data of the event that has not ended, as it would be if the stream ended it now (a last
  // line without its line break included); nothing when it has no data lines.
  [[nodiscard]] std::optional<std::string> unfinished_data() const;

 private:
  // One complete line, without its ending.
  bool line(std::string_view text);

  OnEvent on_event_;
  OnEvent on_error_;
  std::size_t max_event_bytes_;
  std::string line_;  // the start of a line whose end has not arrived
  std::string data_;  // the data lines of the current event
  bool has_data_ = false;
  std::string error_;     // the "error" field of the current event
  bool skip_lf_ = false;  // the last byte was a CR: a LF right after it ends no further line
  bool stopped_ = false;
  bool too_large_ = false;
};

}  // namespace host::runtime
