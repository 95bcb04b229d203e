#pragma once
// A framework application that is the host application: the members termui::App and HostApp
// both declare are the App's, so the host derives from this and implements only the services
// (configuration, its store, the gateway factory). Screens and widgets of the system reach
// the host through `host_of(app())`.

#include <memory>
#include <stdexcept>
#include <string_view>

#include "termui/app.h"
#include "zell/ports/host_app.h"

namespace zell::ports {

class TuiHostApp : public termui::App, public HostApp {
 public:
  bool post_message(std::unique_ptr<termui::Message> message) override {
    return termui::App::post_message(std::move(message));
  }
  [[nodiscard]] Size size() const override { return termui::App::size(); }
  void switch_screen(std::string_view name) override { termui::App::switch_screen(name); }
  void exit(int code = 0) override { termui::App::exit(code); }
};

// The host application behind the App a screen or widget is mounted on. Throws
// std::logic_error when that App does not implement HostApp (a wiring mistake of the host).
[[nodiscard]] inline HostApp& host_of(termui::App& app) {
  if (auto* host = dynamic_cast<HostApp*>(&app)) return *host;
  throw std::logic_error("the application does not implement zell::ports::HostApp");
}

}  // namespace zell::ports
