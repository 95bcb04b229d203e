#include "zell/tui/bridge/tui_bridge.h"

#include <charconv>

#include "zell/errors.h"
#include "zell/tui/bridge/messages.h"

namespace zell::tui {
namespace {

// A joined chunk grows to this many bytes at most: the UI thread's work for one event stays
// bounded, and past it the worker waits for the UI thread as it did before joining.
constexpr std::size_t kJoinedChunkBytes = 64 * 1024;

std::optional<long long> count_of(const Payload& payload, std::string_view key) {
  const std::string* text = payload.find(key);
  if (!text) return 0;
  long long n = 0;
  const auto [end, error] = std::from_chars(text->data(), text->data() + text->size(), n);
  if (error != std::errc() || end != text->data() + text->size()) return std::nullopt;
  return n;
}

// A content event that a later one can join: nothing but the keys joining knows.
bool joinable(const Payload& payload) {
  for (const auto& [key, value] : payload) {
    if (key != "chunk" && key != "chars" && key != "tokens") return false;
  }
  return count_of(payload, "chars").has_value();
}

}  // namespace

bool TUIBridge::on_event(std::string_view event_type, std::shared_ptr<Payload> payload,
                         const Payload& named) {
  if (!payload) {
    payload = std::make_shared<Payload>(named);
  } else {
    for (const auto& [key, value] : named) payload->set(key, value);
  }
  try {
    std::lock_guard lock(post_mutex_);
    if (closed_.load()) return false;
    const bool content = join_content_ && event_type == "content" && joinable(*payload);
    if (content) {
      const std::shared_ptr<Payload> open = open_content_.lock();
      if (open && !joined_) {
        joined_ = true;
        joined_chunk_ = open->get("chunk");
        joined_chars_ = *count_of(*open, "chars");
      }
      const std::string* chunk = payload->find("chunk");
      const std::size_t more = chunk ? chunk->size() : 0;
      if (open && joined_chunk_.size() + more <= kJoinedChunkBytes) {
        if (chunk) joined_chunk_ += *chunk;
        joined_chars_ += *count_of(*payload, "chars");
        joined_tokens_ = payload->get("tokens");
        return false;
      }
    }
    // The open event is complete (full, or followed by another kind): nothing joins it now.
    settle(open_content_.lock().get());
    open_content_.reset();
    std::weak_ptr<Payload> posted = payload;
    tui_app.post_message(std::make_unique<AgentEvent>(std::string(event_type), std::move(payload)));
    if (content) open_content_ = std::move(posted);
    return true;
  } catch (const Interrupt&) {
    throw;
  } catch (const ExitRequest&) {
    throw;
  } catch (...) {
    // The event is dropped: a failure on the UI side must not reach the agent loop.
  }
  return false;
}

bool TUIBridge::on_event(std::string_view event_type, const Payload& named) {
  return on_event(event_type, nullptr, named);
}

void TUIBridge::take(const AgentEvent& event) {
  std::lock_guard lock(post_mutex_);
  if (open_content_.lock() != event.payload) return;
  open_content_.reset();
  settle(event.payload.get());
}

void TUIBridge::settle(Payload* open) {
  if (!std::exchange(joined_, false)) return;
  if (open) {
    open->set("chunk", std::move(joined_chunk_));
    open->set("chars", std::to_string(joined_chars_));
    if (!joined_tokens_.empty()) open->set("tokens", std::move(joined_tokens_));
  }
  joined_chunk_.clear();
  joined_tokens_.clear();
}

bool TUIBridge::request_approval(std::string_view tool_name, std::string_view command) {
  return request_choice(tool_name, command, {}) == std::optional<std::size_t>(0);
}

std::optional<std::size_t> TUIBridge::request_choice(std::string_view tool_name,
                                                     std::string_view command,
                                                     std::vector<std::string> options) {
  {
    std::lock_guard lock(post_mutex_);
    if (closed_.load()) return std::nullopt;
    // Cleared before posting, so that an answer given while nothing was pending never decides
    // this request.
    _approval_event.clear();
    _approval_result.store(kCancelled);
    tui_app.post_message(std::make_unique<ApprovalRequest>(
        std::string(tool_name), std::string(command), std::move(options)));
  }
  _approval_event.wait();
  const long long choice = _approval_result.load();
  if (choice < 0 || closed_.load()) return std::nullopt;
  return static_cast<std::size_t>(choice);
}

void TUIBridge::set_choice(std::optional<std::size_t> choice) {
  _approval_result.store(choice ? static_cast<long long>(*choice) : kCancelled);
  _approval_event.set();
}

void TUIBridge::close() {
  {
    std::lock_guard lock(post_mutex_);
    closed_.store(true);
  }
  _approval_result.store(kCancelled);
  _approval_event.set();
}

}  // namespace zell::tui
