#include "zell/tui/screens/preflight/preflight_screen.h"

#include <exception>
#include <stdexcept>
#include <string>

#include "styled/text.h"
#include "termui/widgets/container.h"
#include "termui/widgets/static.h"
#include "zell/ports/tui_host_app.h"
#include "zell/tui/screens/preflight/picker_text.h"

namespace zell::tui::screens {
namespace {

constexpr int FALLBACK_WIDTH = 80;

}  // namespace

PreflightScreen::PreflightScreen() {
  register_action("select_fast", [this] { action_select_fast(); });
  register_action("select_reasoning", [this] { action_select_reasoning(); });
  register_action("quit", [this] { action_quit(); });
}

std::vector<std::unique_ptr<termui::Widget>> PreflightScreen::compose() {
  std::vector<std::unique_ptr<termui::Widget>> widgets;
  widgets.push_back(std::make_unique<termui::Static>("", "picker-header"));
  widgets.push_back(std::make_unique<termui::Container>(
      "picker-center", std::make_unique<termui::Static>(MENU_TEXT, "picker-box")));
  return widgets;
}

PreflightScreen::~PreflightScreen() {
  poll_.stop();
}

void PreflightScreen::on_mount() {
  _update_header();
  _check_agent();
}

void PreflightScreen::_check_agent() {
  check_ = ports::host_of(app()).check_agent();
  if (!check_) return;
  has_agent_ = true;
  agent_.reset();
  agent_name_ = check_->name();
  poll_.stop();
  poll_ = app().set_interval(AGENT_POLL_SECONDS, [this] { _poll_agent(); });
  _show_agent();
}

void PreflightScreen::_poll_agent() {
  if (!check_) return;
  std::optional<ports::AgentHealth> health = check_->result();
  if (!health) return;
  poll_.stop();
  check_.reset();
  agent_ = std::move(health);
  if (agent_->ready) agent_name_ = agent_->agent;
  if (agent_->ready && open_when_ready_) {
    ports::host_of(app()).switch_screen("chat");  // this screen may be gone from here on
    return;
  }
  open_when_ready_ = false;
  _show_agent();
}

void PreflightScreen::_show_agent() {
  AgentState state;
  state.name = agent_name_;
  state.opening = open_when_ready_;
  if (agent_) {
    state.phase = agent_->ready ? AgentState::Phase::ready : AgentState::Phase::failed;
    state.error = agent_->error;
  }
  query_one<termui::Static>("#picker-box").update(agent_text(state));
}

void PreflightScreen::on_resize() {
  _update_header();
}

void PreflightScreen::_update_header() {
  int width = 0;
  try {
    width = ports::host_of(app()).size().width;
  } catch (const std::exception&) {
    width = 0;  // an unreadable size counts as none
  }
  if (width <= 0) width = FALLBACK_WIDTH;
  // One row that is never wrapped: a narrow terminal shows the start of the name.
  styled::Text line(header_line(width));
  line.set_no_wrap(true).set_overflow(styled::Overflow::crop);
  query_one<termui::Static>("#picker-header").update(std::move(line));
}

void PreflightScreen::_save() {
  ports::HostApp& host = ports::host_of(app());
  host.config_store().save_config(host.zell_config());
}

void PreflightScreen::_select_mode(std::string_view mode) {
  ports::HostApp& host = ports::host_of(app());
  host.zell_config().runtime.laptop_26b_runtime_mode = std::string(mode);
  auto& box = query_one<termui::Static>("#picker-box");

  std::vector<PickerProblem> problems;
  // A failed save is reported, but the check still runs: the mode applies for this run.
  std::string save_error;
  try {
    _save();
  } catch (const std::exception& e) {
    save_error = e.what();
    problems.push_back({"Could not save settings", save_error});
  }

  if (has_agent_) {
    // The agent, not the model server, answers in the chat.
    open_when_ready_ = true;
    if (agent_ && agent_->ready) {
      host.switch_screen("chat");  // this screen may be gone from here on
      return;
    }
    if (!check_) {
      _check_agent();  // the last one failed: again
    } else {
      _show_agent();
    }
    return;
  }

  ports::Health health;
  std::string check_error;
  try {
    const auto gateway = host.runtime_gateway_factory()(host.zell_config().runtime);
    if (!gateway) throw std::runtime_error("no runtime gateway for mode " + std::string(mode));
    health = gateway->healthcheck();
  } catch (const std::exception& e) {
    check_error = e.what();
    problems.push_back({"Health check failed", check_error});
    box.update(problem_text(problems, false));
    return;
  }

  if (health.ready) {
    host.switch_screen("chat");  // this screen may be gone from here on
    return;
  }
  problems.push_back({"Server not ready", health.details});
  box.update(problem_text(problems, true));
}

void PreflightScreen::action_select_fast() {
  _select_mode("turbo");
}

void PreflightScreen::action_select_reasoning() {
  _select_mode("turbo-think");
}

void PreflightScreen::action_quit() {
  ports::host_of(app()).exit();
}

}  // namespace zell::tui::screens
