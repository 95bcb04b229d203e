#include "host/runtime/sse_parser.h"

#include <cstring>
#include <utility>

namespace host::runtime {

SseParser::SseParser(OnEvent on_event, std::size_t max_event_bytes)
    : on_event_(std::move(on_event)), max_event_bytes_(max_event_bytes) {}

bool SseParser::feed(std::string_view bytes) {
  std::size_t pos = 0;
  while (!stopped_ && pos < bytes.size()) {
    if (skip_lf_) {
      skip_lf_ = false;
      if (bytes[pos] == '\n') {
        ++pos;
        continue;
      }
    }
    // Lines end in LF, CR LF or CR alone.
    const char* start = bytes.data() + pos;
    const std::size_t rest = bytes.size() - pos;
    const auto* lf = static_cast<const char*>(std::memchr(start, '\n', rest));
    const std::size_t scan = lf == nullptr ? rest : static_cast<std::size_t>(lf - start);
    const auto* cr = static_cast<const char*>(std::memchr(start, '\r', scan));
    const char* end = cr != nullptr ? cr : lf;
    if (end == nullptr) {
      if (line_.size() + data_.size() + rest > max_event_bytes_) {
        too_large_ = stopped_ = true;
        break;
      }
      line_.append(start, rest);
      break;
    }
    const auto length = static_cast<std::size_t>(end - start);
    pos += length + 1;
    skip_lf_ = *end == '\r';
    if (line_.empty()) {
      line(std::string_view(start, length));
    } else {
      line_.append(start, length);
      line(line_);
      line_.clear();
    }
  }
  return !stopped_;
}

bool SseParser::line(std::string_view text) {
  if (text.empty()) {
    // A blank line ends the event; one without data lines is dispatched as nothing.
    if (has_data_) {
      has_data_ = false;
      if (!on_event_(data_)) stopped_ = true;
      data_.clear();
    }
    return !stopped_;
  }
  // Only the "data" field matters here; "event", "id", "retry" and comments (":") are skipped.
  constexpr std::string_view kData = "data";
  if (!text.starts_with(kData)) return true;
  std::string_view value = text.substr(kData.size());
  if (!value.empty()) {
    if (value.front() != ':') return true;  // another field whose name begins with "data"
    value.remove_prefix(1);
    if (value.starts_with(' ')) value.remove_prefix(1);
  }
  if (data_.size() + value.size() + 1 > max_event_bytes_) {
    too_large_ = stopped_ = true;
    return false;
  }
  if (has_data_) data_ += '\n';
  data_.append(value);
  has_data_ = true;
  return true;
}

}  // namespace host::runtime
