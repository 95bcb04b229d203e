#include "host/tui/turn_tracker.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <charconv>

#include "unicode/text_ops.h"
#include "unicode/utf8.h"

namespace host::tui {
namespace {

constexpr std::array<std::string_view, 3> GLYPHS{"·", "▲", "◆"};

std::string_view value_of(const zell::Payload& payload, std::string_view key) {
  const std::string* v = payload.find(key);
  return v ? std::string_view(*v) : std::string_view();
}

long long chunk_tokens(long long chars) {
  return std::max(1LL, chars / 4);
}

// One line of agent text, safe to show: controls visible, line breaks as spaces.
std::string one_line(std::string_view text) {
  std::string line = unicode::visible_controls(text);
  std::replace(line.begin(), line.end(), '\n', ' ');
  std::replace(line.begin(), line.end(), '\t', ' ');
  return line;
}

}  // namespace

void TurnTracker::begin(Clock::time_point now) {
  *this = TurnTracker();
  started_ = now;
}

void TurnTracker::on_event(std::string_view type, const zell::Payload& payload) {
  if (type == "thinking_start") {
    stage_.clear();
    peek_.clear();
    streaming_ = false;
  } else if (type == "thinking_chunk") {
    tokens_ += chunk_tokens(static_cast<long long>(unicode::cp_count(value_of(payload, "chunk"))));
  } else if (type == "thinking_peek") {
    peek_ = one_line(value_of(payload, "text"));
  } else if (type == "stage") {
    stage_ = one_line(value_of(payload, "stage"));
  } else if (type == "stream_start") {
    streaming_ = true;
  } else if (type == "content") {
    streaming_ = true;
    const std::string_view chunk = value_of(payload, "chunk");
    answer_ += chunk;
    // The payload cuts long chunks; "chars" is the whole chunk's length.
    long long chars = 0;
    const std::string_view text = value_of(payload, "chars");
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), chars);
    if (ec != std::errc() || ptr != text.data() + text.size() || chars < 0) {
      chars = static_cast<long long>(unicode::cp_count(chunk));
    }
    tokens_ += chunk_tokens(chars);
  } else if (type == "tool_start") {
    tools_.emplace_back(value_of(payload, "name"));
  }
}

double TurnTracker::elapsed(Clock::time_point now) const {
  return std::max(0.0, std::chrono::duration<double>(now - started_).count());
}

std::string TurnTracker::activity() const {
  if (streaming_) return "writing";
  if (!stage_.empty()) return stage_;
  if (!peek_.empty()) return peek_;
  return "thinking";
}

std::string TurnTracker::status_text(Clock::time_point now, long long tick) const {
  const auto glyph = GLYPHS[static_cast<std::size_t>(std::max(0LL, tick) % 3)];
  std::string text = fmt::format("{} {} · {}", glyph, activity(), short_duration(elapsed(now)));
  if (tokens_ > 0) text += fmt::format(" · ~{} tokens", short_count(tokens_));
  return text;
}

std::string short_duration(double seconds) {
  const long long whole = static_cast<long long>(std::max(0.0, seconds));
  if (whole < 60) return fmt::format("{}s", whole);
  return fmt::format("{}m{:02}s", whole / 60, whole % 60);
}

std::string short_count(long long n) {
  if (n < 1000) return std::to_string(n);
  return fmt::format("{:.1f}k", static_cast<double>(n) / 1000.0);
}

}  // namespace host::tui
