#include "host/tui/vellumine_tui.h"

#include <chrono>
#include <exception>

#include "host/tui/chat_screen.h"
#include "zell/tui/bridge/messages.h"
#include "zell/tui/screens/preflight/preflight_screen.h"

namespace host::tui {
namespace {

// The plain presentation has no place on a full screen: the manager's terminal output goes
// nowhere, and its indicator (which only draws that output) sleeps between rare frames.
class DiscardWriter final : public zell::output::Writer {
 public:
  void write(std::string_view) override {}
  void flush() override {}
};

zell::output::OutputPorts silent_ports() {
  zell::output::OutputPorts ports;
  ports.out = std::make_shared<DiscardWriter>();
  ports.cols = [] { return 80; };
  ports.frame_period = std::chrono::hours(1);
  return ports;
}

}  // namespace

VellumineTUI::VellumineTUI(zell::ports::ZellConfig& config, zell::ports::ConfigStore& store,
                           zell::ports::RuntimeGatewayFactory gateways, TuiOptions options)
    : config_(config),
      saving_(store),
      gateways_(std::move(gateways)),
      options_(std::move(options)),
      manager_(silent_ports()),
      bridge_(*this) {
  for (ScriptTurn& t : split_turns(options_.script)) script_turns_.push_back(std::move(t));
  if (options_.http) http_agent_ = std::make_unique<runtime::HttpAgent>(manager_, *options_.http);
  if (options_.acp) acp_agent_ = std::make_unique<acp::AcpAgent>(manager_, *options_.acp);
  manager_.set_event_callback(
      [this](const std::string& type, std::shared_ptr<zell::Payload> payload) {
        if (events_.enter()) bridge_.on_event(type, std::move(payload));
      });
  manager_.set_approval_callback([this](std::string_view tool, std::string_view command) {
    return bridge_.request_approval(tool, command);
  });
  on<zell::tui::AgentEvent>([this](zell::tui::AgentEvent& e) {
    events_.leave();
    if (chat_) chat_->on_agent_event(e);
  });
  on<zell::tui::ApprovalRequest>([this](zell::tui::ApprovalRequest& r) {
    // Every request is answered: without a chat to ask in, the answer is no.
    if (chat_) {
      chat_->on_approval_request(r);
    } else {
      bridge_.set_approval(false);
    }
  });
  on<TurnFinished>([this](TurnFinished& f) {
    if (chat_) chat_->on_turn_finished(f);
  });
}

void VellumineTUI::SavingStore::save_config(const zell::ports::ZellConfig& config) {
  try {
    store.save_config(config);
    error.clear();
  } catch (const std::exception& e) {
    error = e.what();
    throw;
  }
}

VellumineTUI::~VellumineTUI() {
  shutdown();
}

void VellumineTUI::interrupt_turn() {
  worker_.interrupt();
  if (http_agent_) http_agent_->cancel();
  if (acp_agent_) acp_agent_->cancel();
}

void VellumineTUI::shutdown() {
  interrupt_turn();
  if (acp_agent_) acp_agent_->abandon();  // the worker does not wait for the agent's answer
  events_.close();
  bridge_.close();
  worker_.stop();
  if (acp_agent_) acp_agent_->stop();  // no agent process outlives the app
}

void VellumineTUI::on_mount() {
  install_screen("chat", [this] {
    auto screen = std::make_unique<ChatScreen>(*this);
    chat_ = screen.get();
    return screen;
  });
  if (options_.preflight) {
    push_screen(std::make_unique<zell::tui::screens::PreflightScreen>());
  } else {
    push_screen("chat");
  }
}

std::optional<PendingTurn> VellumineTUI::next_scripted_turn() {
  if (script_turns_.empty()) return std::nullopt;
  ScriptTurn t = std::move(script_turns_.front());
  script_turns_.pop_front();
  return PendingTurn{std::move(t.prompt), t.has_prompt,
                     std::make_shared<const std::vector<Step>>(std::move(t.steps))};
}

void VellumineTUI::start_turn(const PendingTurn& turn) {
  if (acp_agent_ && !turn.steps) {
    worker_.start([this, prompt = turn.prompt](StopSignal&) {
      std::string failure;
      std::optional<long long> tokens;
      try {
        tokens = acp_agent_->run_turn(prompt).completion_tokens;
      } catch (const std::exception& e) {
        failure = e.what();
      }
      post_message(std::make_unique<TurnFinished>(std::move(failure), tokens));
    });
    return;
  }
  if (http_agent_ && !turn.steps) {
    // The mode picked on the start-up screen applies from the next turn on.
    http_agent_->set_mode(config_.runtime.laptop_26b_runtime_mode);
    worker_.start([this, prompt = turn.prompt](StopSignal&) {
      std::string failure;
      std::optional<long long> tokens;
      try {
        // The agent ends every turn through the manager (done, or an error line), so the
        // transcript hears of errors and interruptions from its events.
        tokens = http_agent_->run_turn(prompt).completion_tokens;
      } catch (const std::exception& e) {
        failure = e.what();
      }
      post_message(std::make_unique<TurnFinished>(std::move(failure), tokens));
    });
    return;
  }
  auto steps =
      turn.steps
          ? turn.steps
          : std::make_shared<const std::vector<Step>>(demo_runtime_reply(options_.config_path));
  worker_.start([this, steps = std::move(steps)](StopSignal& stop) {
    std::string failure;
    try {
      ScriptedAgent agent(manager_, {}, AgentOptions{options_.speed, &stop},
                          std::make_shared<DiscardWriter>());
      agent.play(*steps);
    } catch (const std::exception& e) {
      failure = e.what();
    } catch (...) {
      failure = "the agent stopped on an unknown error";
    }
    post_message(std::make_unique<TurnFinished>(std::move(failure)));
  });
}

}  // namespace host::tui
