#include "host/tui/turn_tracker.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <variant>

#include "unicode/text_ops.h"

namespace host::tui {
namespace {

constexpr std::array<std::string_view, 3> GLYPHS{"·", "▲", "◆"};

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

void TurnTracker::on_event(const events::TypedEvent& event) {
  std::visit(
      events::Overloaded{[&](const events::ThinkingStart&) {
                           stage_.clear();
                           peek_.clear();
                           streaming_ = false;
                         },
                         [&](const events::ThinkingChunk& e) { take_count(e.tokens); },
                         [&](const events::ThinkingPeek& e) { peek_ = one_line(e.text); },
                         [&](const events::Stage& e) { stage_ = one_line(e.stage); },
                         [&](const events::StreamStart&) { streaming_ = true; },
                         [&](const events::Content& e) {
                           streaming_ = true;
                           take_count(e.tokens);
                         },
                         [&](const events::ToolStart& e) { tools_.push_back(e.name); },
                         [&](const events::ToolCall& e) {
                           if (e.first) tools_.push_back(e.name);
                         },
                         // The rest changes nothing the status line or the summary shows.
                         [](const events::ThinkingDone&) {}, [](const events::ToolResult&) {},
                         [](const events::Done&) {}, [](const events::Error&) {},
                         [](const events::Info&) {}, [](const events::UserMessage&) {},
                         [](const events::Problem&) {}, [](const events::Plan&) {}},
      event);
}

void TurnTracker::take_count(long long tokens) {
  if (tokens >= 0) tokens_ = tokens;
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
