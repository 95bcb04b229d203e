#include "zell/tui/bridge/tui_bridge.h"

#include "zell/errors.h"
#include "zell/tui/bridge/messages.h"

namespace zell::tui {

void TUIBridge::on_event(std::string_view event_type, std::shared_ptr<Payload> payload,
                         const Payload& named) {
  if (!payload) {
    payload = std::make_shared<Payload>(named);
  } else {
    for (const auto& [key, value] : named) payload->set(key, value);
  }
  try {
    std::lock_guard lock(post_mutex_);
    if (closed_.load()) return;
    tui_app.post_message(std::make_unique<AgentEvent>(std::string(event_type), std::move(payload)));
  } catch (const Interrupt&) {
    throw;
  } catch (const ExitRequest&) {
    throw;
  } catch (...) {
    // The event is dropped: a failure on the UI side must not reach the agent loop.
  }
}

void TUIBridge::on_event(std::string_view event_type, const Payload& named) {
  on_event(event_type, nullptr, named);
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
