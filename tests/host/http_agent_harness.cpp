#include "host/http_agent_harness.h"

namespace host_test {

AgentHarness::AgentHarness(host::runtime::HttpAgentOptions options)
    : agent(manager, std::move(options)) {
  manager.set_event_callback([this](const std::string& type, std::shared_ptr<zell::Payload> p) {
    {
      const std::lock_guard lock(mutex_);
      if (type == "thinking_peek") shown_.peek = p->get("text");
      if (type == "thinking_done") ++shown_.thinking_blocks;
      if (type == "content") shown_.answer += p->get("chunk");
      if (type == "tool_start") shown_.tools += p->get("name") + " " + p->get("args");
      if (type == "tool_result") shown_.tools += " => " + p->get("result") + "\n";
    }
    cv_.notify_all();
  });
}

Shown AgentHarness::turn(const std::string& prompt) {
  {
    const std::lock_guard lock(mutex_);
    shown_ = {};
  }
  auto result = agent.run_turn(prompt);
  const std::lock_guard lock(mutex_);
  Shown shown = shown_;
  shown.result = std::move(result);
  shown.thinking = shown.thinking_blocks > 0 ? manager.last_thinking_text() : "";
  // Chunks longer than an event carries are checked through the state.
  shown.answer.clear();
  for (const auto& chunk : manager.state.content_chunks) shown.answer += chunk;
  shown.tokens = manager.state.tokens;
  return shown;
}

bool AgentHarness::wait_for_content() {
  std::unique_lock lock(mutex_);
  return cv_.wait_for(lock, std::chrono::seconds(10), [this] { return !shown_.answer.empty(); });
}

}  // namespace host_test
