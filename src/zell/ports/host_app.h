#pragma once
// The full-screen host application, as the system calls it. The system never creates or frees
// the application; the application implements this interface.
//
// The host application is also the framework's termui::App. The four members both declare
// (post_message, size, switch_screen, exit) have exactly the App's signatures, and the App's are
// virtual, so in a class deriving from both one declaration overrides the two at once: nothing
// is hidden and nothing is ambiguous. zell/ports/tui_host_app.h is that class, ready to derive
// from.

#include <memory>
#include <string_view>

#include "termui/geometry.h"
#include "zell/ports/agent_check.h"
#include "zell/ports/config.h"
#include "zell/ports/runtime_gateway.h"

namespace termui {
class Message;
}

namespace zell::ports {

using Size = termui::Size;

class HostApp {
 public:
  virtual ~HostApp() = default;
  // Safe from any thread; the message belongs to the application once posted and is handled
  // on its UI thread. Returns whether the message was queued.
  virtual bool post_message(std::unique_ptr<termui::Message> message) = 0;
  // Terminal size in cells; readers guard the read and fall back to their own width.
  [[nodiscard]] virtual Size size() const = 0;
  // Replaces the current screen by the installed screen of that name ("chat").
  virtual void switch_screen(std::string_view name) = 0;
  // Ends the application (the system always passes no code).
  virtual void exit(int code = 0) = 0;

  // The loaded configuration; its runtime section is writable.
  virtual ZellConfig& zell_config() = 0;
  // Where the configuration is saved.
  virtual ConfigStore& config_store() = 0;
  // Builds the runtime gateway for a runtime section.
  [[nodiscard]] virtual const RuntimeGatewayFactory& runtime_gateway_factory() const = 0;
  // Starts checking the host's own agent, when the chat is to talk to one; null when it talks
  // to the model runtime. Each call starts a new check. UI thread.
  [[nodiscard]] virtual std::unique_ptr<AgentCheck> check_agent() { return nullptr; }
};

}  // namespace zell::ports
