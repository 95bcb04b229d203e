#include "host/runtime/sse_parser.h"

#include <cstring>
#include <utility>

namespace host::runtime {

namespace {

// The name and value of a field line ("name: value", "name:value" or a bare "name").
std::pair<std::string_view, std::string_view> field_of(std::string_view line) {
  const std::size_t colon = line.find(':');
  if (colon == std::string_view::npos) return {line, {}};
  std::string_view value = line.substr(colon + 1);
  if (value.starts_with(' ')) value.remove_prefix(1);
  return {line.substr(0, colon), value};
}

}  // namespace

SseParser::SseParser(OnEvent on_event, OnEvent on_error, std::size_t max_event_bytes)
    : on_event_(std::move(on_event)),
      on_error_(std::move(on_error)),
      max_event_bytes_(max_event_bytes) {}

std::optional<std::string> SseParser::unfinished_data() const {
  std::optional<std::string> data;
  if (has_data_) data = data_;
  if (const auto [name, value] = field_of(line_); !line_.empty() && name == "data") {
    data = data ? *data + "\n" + std::string(value) : std::string(value);
  }
  return data;
}

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
    if (!error_.empty()) {
      const std::string error = std::move(error_);
      error_.clear();
      if (on_error_ && !on_error_(error)) stopped_ = true;
    }
    if (has_data_ && !stopped_) {
      if (!on_event_(data_)) stopped_ = true;
    }
    has_data_ = false;
    data_.clear();
    return !stopped_;
  }
  // "data" and "error" matter here; "event", "id", "retry" and comments (":") are skipped.
  const auto [name, value] = field_of(text);
  if (name != "data" && name != "error") return true;
  std::string& into = name == "data" ? data_ : error_;
  if (data_.size() + error_.size() + value.size() + 1 > max_event_bytes_) {
    too_large_ = stopped_ = true;
    return false;
  }
  if (name == "error") {
    if (!error_.empty()) error_ += '\n';
    error_.append(value);
    return true;
  }
  if (has_data_) into += '\n';
  into.append(value);
  has_data_ = true;
  return true;
}

}  // namespace host::runtime
