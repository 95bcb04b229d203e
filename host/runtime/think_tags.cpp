#include "host/runtime/think_tags.h"

#include <algorithm>

namespace host::runtime {

namespace {

constexpr std::string_view kOpen = "<think>";
constexpr std::string_view kClose = "</think>";

bool is_tag_blank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// The length of the longest end of `text` that is a proper start of `tag`.
std::size_t partial_tag_at_end(std::string_view text, std::string_view tag) {
  for (std::size_t n = std::min(text.size(), tag.size() - 1); n > 0; --n) {
    if (text.substr(text.size() - n) == tag.substr(0, n)) return n;
  }
  return 0;
}

}  // namespace

void ThinkTagSplitter::feed(std::string_view content) {
  switch (state_) {
    case State::opening:
      open(content);
      break;
    case State::inside:
      inside(content);
      break;
    case State::undecided:
      undecided(content);
      break;
    case State::answer:
      sink_.answer(content);
      break;
  }
}

void ThinkTagSplitter::open(std::string_view content) {
  held_.append(content);
  const std::string_view text = held_;
  std::size_t tag = 0;
  while (tag < text.size() && is_tag_blank(text[tag])) ++tag;
  const std::string_view rest = text.substr(tag);
  if (rest.size() < kOpen.size() && kOpen.starts_with(rest)) return;  // may still become a tag
  if (rest.starts_with(kOpen)) {
    state_ = State::inside;
    const std::string after(rest.substr(kOpen.size()));
    held_.clear();
    inside(after);
    return;
  }
  if (untagged_may_think_) {
    state_ = State::undecided;
    const std::string text = std::move(held_);
    held_.clear();
    undecided(text);
    return;
  }
  state_ = State::answer;
  const std::string answer = std::move(held_);
  held_.clear();
  sink_.answer(answer);
}

void ThinkTagSplitter::undecided(std::string_view content) {
  // Only the new bytes and the end of the old ones can complete the tag.
  const std::size_t from = held_.size() - std::min(held_.size(), kClose.size() - 1);
  held_.append(content);
  const std::size_t close = held_.find(kClose, from);
  if (close == std::string::npos) {
    sink_.undecided(held_);
    return;
  }
  saw_lone_close_ = true;
  state_ = State::answer;
  const std::string text = std::move(held_);
  held_.clear();
  if (close > 0) sink_.thinking(std::string_view(text).substr(0, close));
  const std::string_view after = std::string_view(text).substr(close + kClose.size());
  if (!after.empty()) sink_.answer(after);
}

void ThinkTagSplitter::inside(std::string_view content) {
  std::string joined;
  if (!held_.empty()) {
    joined = std::move(held_) + std::string(content);
    held_.clear();
    content = joined;
  }
  if (const std::size_t close = content.find(kClose); close != std::string_view::npos) {
    if (close > 0) sink_.thinking(content.substr(0, close));
    state_ = State::answer;
    const std::string_view after = content.substr(close + kClose.size());
    if (!after.empty()) sink_.answer(after);
    return;
  }
  const std::size_t keep = partial_tag_at_end(content, kClose);
  if (content.size() > keep) sink_.thinking(content.substr(0, content.size() - keep));
  held_.assign(content.substr(content.size() - keep));
}

void ThinkTagSplitter::finish() {
  if (held_.empty()) return;
  const std::string held = std::move(held_);
  held_.clear();
  if (state_ == State::inside) {
    sink_.thinking(held);
  } else {
    sink_.answer(held);
  }
  state_ = State::answer;
}

}  // namespace host::runtime
