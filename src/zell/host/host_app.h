#pragma once
// The full-screen host application, as the system calls it. The system never creates or frees
// the application; the application implements this interface.

#include <memory>
#include <string_view>

#include "zell/host/config.h"

namespace termui {
class Message;
}

namespace zell::host {

struct Size {
  int width = 0;
  int height = 0;
};

class HostApp {
 public:
  virtual ~HostApp() = default;
  // Safe from any thread; the message belongs to the application once posted and is handled
  // on its UI thread.
  virtual void post_message(std::unique_ptr<termui::Message> message) = 0;
  // Terminal size in cells; readers guard the read and fall back to their own width.
  [[nodiscard]] virtual Size size() const = 0;
  // The loaded configuration; its runtime section is writable.
  virtual ZellConfig& zell_config() = 0;
  // Replaces the current screen by the installed screen of that name ("chat").
  virtual void switch_screen(std::string_view name) = 0;
  // Ends the application.
  virtual void exit() = 0;
};

}  // namespace zell::host
