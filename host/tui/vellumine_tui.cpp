#include "host/tui/vellumine_tui.h"

#include <chrono>
#include <exception>
#include <filesystem>
#include <mutex>

#include "host/agent/demo_agent.h"
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
  [[nodiscard]] bool discards() const override { return true; }
};

zell::output::OutputPorts silent_ports() {
  zell::output::OutputPorts ports;
  ports.out = std::make_shared<DiscardWriter>();
  ports.cols = [] { return 80; };
  ports.frame_period = std::chrono::hours(1);
  ports.keep_chunks = false;  // the chat screen keeps the answer
  return ports;
}

// The model-server agent behind the runner's interface.
class HttpTurnAgent final : public Agent {
 public:
  HttpTurnAgent(zell::output::OutputManager& manager, runtime::HttpAgentOptions options)
      : agent_(manager, std::move(options)) {}
  TurnOutcome run_turn(std::string_view prompt, StopSignal&) override {
    // The agent ends every turn through the manager (done, or an error line), so the
    // transcript hears of errors and interruptions from its events.
    return {{}, agent_.run_turn(prompt).completion_tokens};
  }
  void cancel() override { agent_.cancel(); }
  void set_mode(std::string_view mode) override { agent_.set_mode(std::string(mode)); }
  void new_conversation() override { agent_.forget_conversation(); }

 private:
  runtime::HttpAgent agent_;
};

// A listing of the work folder's files is done.
class FilesListed final : public termui::Message {};

// What a check of the agent found, written by its thread, read by the start-up screen.
struct CheckResult {
  std::mutex mutex;
  std::optional<zell::ports::AgentHealth> health;
};

// The start-up screen's view of a check running on a thread the application owns (the screen
// may go first; the thread never outlives the agent).
class AcpCheck final : public zell::ports::AgentCheck {
 public:
  AcpCheck(std::string name, std::shared_ptr<CheckResult> found)
      : name_(std::move(name)), found_(std::move(found)) {}
  [[nodiscard]] std::string name() const override { return name_; }
  [[nodiscard]] std::optional<zell::ports::AgentHealth> result() override {
    const std::lock_guard lock(found_->mutex);
    return found_->health;
  }

 private:
  std::string name_;
  std::shared_ptr<CheckResult> found_;
};

}  // namespace

std::unique_ptr<zell::ports::AgentCheck> VellumineTUI::check_agent() {
  if (!acp_) return nullptr;
  // A check is asked for again only once the last one has answered, so this does not wait.
  if (check_thread_.joinable()) check_thread_.join();
  acp_->reset();
  auto found = std::make_shared<CheckResult>();
  check_thread_ = std::thread([agent = acp_, found] {
    zell::ports::AgentHealth health;
    try {
      const acp::AgentInfo& info = agent->start();
      health.ready = true;
      health.agent = info.name.empty() ? "The agent" : info.name;
      if (!info.version.empty()) health.agent += " " + info.version;
    } catch (const std::exception& e) {
      health.error = e.what();
    }
    const std::lock_guard lock(found->mutex);
    found->health = std::move(health);
  });
  const std::string command = options_.acp->command.empty() ? "" : options_.acp->command.front();
  return std::make_unique<AcpCheck>(std::filesystem::path(command).filename().string(),
                                    std::move(found));
}

std::unique_ptr<Agent> VellumineTUI::typed_agent() {
  if (options_.agent) return options_.agent(manager_);
  if (options_.acp) {
    acp::AcpOptions acp = *options_.acp;
    acp.live_entries = true;  // the transcript redraws tool calls and plans in place
    auto agent = std::make_unique<acp::AcpRunnerAgent>(
        manager_, std::move(acp),
        acp::choice_asker([this](std::string_view title, std::string_view detail,
                                 std::vector<std::string> labels) {
          return bridge_.request_choice(title, detail, std::move(labels));
        }));
    acp_ = agent.get();
    return agent;
  }
  if (options_.http) return std::make_unique<HttpTurnAgent>(manager_, *options_.http);
  return std::make_unique<DemoAgent>(manager_, options_.config_path, options_.speed,
                                     std::make_shared<DiscardWriter>());
}

VellumineTUI::VellumineTUI(zell::ports::ZellConfig& config, zell::ports::ConfigStore& store,
                           zell::ports::RuntimeGatewayFactory gateways, TuiOptions options)
    : config_(config),
      saving_(store),
      gateways_(std::move(gateways)),
      options_(std::move(options)),
      manager_(silent_ports()),
      bridge_(*this),
      runner_(manager_, typed_agent(), options_.speed, std::make_shared<DiscardWriter>(),
              [this](TurnOutcome outcome) {
                post_message(
                    std::make_unique<TurnFinished>(std::move(outcome.failure), outcome.tokens));
              }),
      files_(work_folder(), [this] { post_message(std::make_unique<FilesListed>()); }) {
  for (ScriptTurn& t : split_turns(options_.script)) script_turns_.push_back(std::move(t));
  manager_.set_event_callback(
      [this](const std::string& type, std::shared_ptr<zell::Payload> payload) {
        // An event that joined one still waiting (or was dropped) takes no room in the window.
        if (events_.enter() && !bridge_.on_event(type, std::move(payload))) events_.leave();
      });
  manager_.set_approval_callback([this](std::string_view tool, std::string_view command) {
    return bridge_.request_approval(tool, command);
  });
  bridge_.join_content(true);
  on<zell::tui::AgentEvent>([this](zell::tui::AgentEvent& e) {
    events_.leave();
    bridge_.take(e);
    if (!chat_) return;
    // Decoded once, here: everything past this point takes the typed event.
    if (auto typed = events::decode(e.event_type, *e.payload)) chat_->on_agent_event(*typed);
  });
  on<zell::tui::ApprovalRequest>([this](zell::tui::ApprovalRequest& r) {
    // Every request is answered: without a chat to ask in, the answer is no.
    if (chat_) call_attention("approval needed: " + r.tool_name);
    if (chat_) {
      chat_->on_approval_request(r);
    } else {
      bridge_.set_approval(false);
    }
  });
  on<FilesListed>([this](FilesListed&) {
    if (chat_) chat_->on_files_listed();
  });
  on<TurnFinished>([this](TurnFinished& f) {
    // The start of a new conversation is no turn to call the user back for.
    if (!chat_ || !chat_->starting_conversation()) {
      call_attention(f.failure.empty() ? "turn finished" : "turn failed");
    }
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
  runner_.interrupt();
}

void VellumineTUI::shutdown() {
  interrupt_turn();  // also stops a start of the agent in progress
  files_.stop();
  if (check_thread_.joinable()) check_thread_.join();
  events_.close();
  bridge_.close();
  runner_.stop();
}

void VellumineTUI::call_attention(std::string_view what) {
  if (!terminal_focused()) notify(options_.look.notify, "vellumine", what);
}

void VellumineTUI::on_background_color(styled::Color background) {
  set_color_scheme(scheme_for(options_.look.theme, background));
}

void VellumineTUI::on_mount() {
  set_color_scheme(scheme_for(options_.look.theme, std::nullopt));
  set_hyperlinks(options_.look.hyperlinks);
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

std::vector<AgentCommand> VellumineTUI::agent_commands() const {
  return runner_.typed_agent().commands();
}

std::filesystem::path VellumineTUI::work_folder() const {
  if (!options_.work_folder.empty()) return options_.work_folder;
  std::error_code ec;
  return std::filesystem::current_path(ec);
}

void VellumineTUI::start_turn(const PendingTurn& turn) {
  runner_.start(turn, config_.runtime.laptop_26b_runtime_mode);
}

}  // namespace host::tui
