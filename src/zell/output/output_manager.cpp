// Construction, the two callbacks, the host's hand-ins, and event emission.

#include "zell/output/output_manager.h"

#include "zell/errors.h"

namespace zell::output {

OutputManager::OutputManager() : OutputManager(OutputPorts{}) {}

OutputManager::OutputManager(OutputPorts ports) : _ports(std::move(ports)) {}

OutputManager::~OutputManager() {
  try {
    _stop_indicator();
  } catch (...) {
    // The erase could not be written (closed stream); the thread is stopped all the same.
  }
  if (_indicator_thread.joinable()) _indicator_thread.join();
  for (auto& [thread, run] : _retired_threads) {
    if (thread.joinable()) thread.join();
  }
}

void OutputManager::set_event_callback(EventCallback callback) {
  auto stored = callback ? std::make_shared<const EventCallback>(std::move(callback)) : nullptr;
  const std::lock_guard guard(_lock);
  _event_callback = std::move(stored);
}

void OutputManager::set_approval_callback(ApprovalCallback callback) {
  const std::lock_guard guard(_lock);
  _approval_callback = std::move(callback);
}

ApprovalCallback OutputManager::approval_callback() const {
  const std::lock_guard guard(_lock);
  return _approval_callback;
}

void OutputManager::set_status_line(std::string line) {
  const std::lock_guard guard(_lock);
  _status_line = std::move(line);
}

void OutputManager::set_input_field(std::shared_ptr<ports::InputField> field) {
  const std::lock_guard guard(_lock);
  _input_field = std::move(field);
}

std::string OutputManager::custom_stage() const {
  const std::lock_guard guard(_lock);
  return _custom_stage;
}

std::string OutputManager::status_line() const {
  const std::lock_guard guard(_lock);
  return _status_line;
}

std::string OutputManager::last_thinking_text() const {
  const std::lock_guard guard(_lock);
  return _last_thinking_text;
}

std::shared_ptr<const EventCallback> OutputManager::_callback() const {
  const std::lock_guard guard(_lock);
  return _event_callback;
}

void OutputManager::_emit_event(std::string_view event_type, Payload payload) {
  if (std::shared_ptr<const EventCallback> cb = _callback()) {
    _deliver(*cb, event_type, std::move(payload));
  }
}

void OutputManager::_deliver(const EventCallback& callback, std::string_view event_type,
                             Payload payload) {
  auto shared = std::make_shared<Payload>(std::move(payload));
  try {
    callback(std::string(event_type), std::move(shared));
  } catch (const Interrupt&) {
    throw;
  } catch (const ExitRequest&) {
    throw;
  } catch (...) {
    // A failing receiver must not change what the agent loop sees: the event counts as sent.
  }
}

}  // namespace zell::output
